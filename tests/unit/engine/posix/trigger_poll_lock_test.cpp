// The trigger's acknowledgement poll and the system-wide lock, seen through the POSIX lock file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

#include "engine/command_engine.h"
#include "engine/instrument_script.h"
#include "platform/posix/scoped_environment.h"

namespace vk605 {
namespace {

using testing::EngineRig;
using testing::InstrumentScript;

// The acknowledgement polls wait up to 500 ms each without "UniCommMutex": another process waiting for
// the instrument is not held up poll after poll. (The exchanges around them still take it.)
TEST(TriggerPoll, PollsDoNotHoldTheSystemWideLock) {
  testing::TempDirectory runtime;
  testing::ScopedEnvironment environment("XDG_RUNTIME_DIR", runtime.Path().c_str());
  EngineRig rig;
  InstrumentScript script(rig);
  script.Connect();
  const std::string lock_file = runtime.File("vk605/UniCommMutex.lock");
  std::atomic<int> held_while_polling{-1};
  std::atomic<int> held_in_exchange{-1};
  auto held = [&lock_file] {
    int fd = ::open(lock_file.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return 0;
    int taken = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK ? 1 : 0;
    ::close(fd);
    return taken;
  };
  rig.devices.Reply("AT\r,", "LAV\r\n<00>\r\n", 10);  // the status query's read waits, inside Transact
  rig.devices.OnWaitForInput([&](const std::string& last_written) {
    if (last_written == "\r" && held_while_polling.load() < 0) {
      held_while_polling = held();
      rig.devices.Deliver("<00>\r\n");
    }
    if (last_written == "AT\r," && held_in_exchange.load() < 0) held_in_exchange = held();
  });
  double spectra[kSpectrumPoints] = {};
  char text[kTextBufferSize] = {};
  EXPECT_EQ(rig.engine.ReadHead(code::kTrigger, spectra, nullptr, text), 0u);
  EXPECT_EQ(held_while_polling.load(), 0);
  EXPECT_EQ(held_in_exchange.load(), 1);
}

}  // namespace
}  // namespace vk605
