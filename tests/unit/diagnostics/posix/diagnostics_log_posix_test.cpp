// What only POSIX systems show of the diagnostics log: the file's mode and targets that are no regular
// file.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "diagnostics/diagnostics_log.h"
#include "fakes/fake_clock.h"
#include "platform/file_text.h"
#include "platform/posix/child_process.h"
#include "platform/posix/scoped_umask.h"
#include "platform/temp_directory.h"

namespace vk605 {
namespace {

using ::vk605::testing::ExitCodeInChild;
using ::vk605::testing::PermissionsOf;
using ::vk605::testing::ReadBytes;
using ::vk605::testing::ScopedUmask;
using ::vk605::testing::TempDirectory;
using ::vk605::testing::WriteBytes;

class DiagnosticsLogPosixTest : public ::testing::Test {
 protected:
  DiagnosticsLogPosixTest() { clock_.SetLocal({2026, 12, 8, 10, 30, 0}); }

  TempDirectory directory_;
  std::string file_ = directory_.File("vk605.log");
  testing::FakeClock clock_;
};

// The trace shows the instrument's traffic; under a umask of 000 it was readable and writable by all.
TEST_F(DiagnosticsLogPosixTest, NewLogIsTheOwnersAloneUnderUmask000) {
  ScopedUmask umask(0);
  DiagnosticsLog log(clock_);
  log.StartLogFile(file_);
  log.LogLine("COMM_MEASURE");
  EXPECT_EQ(PermissionsOf(file_), 0600u);
  EXPECT_NE(ReadBytes(file_).find("10:30:00:  COMM_MEASURE\r\n\r\n\x1a"), std::string::npos);
}

TEST_F(DiagnosticsLogPosixTest, ExistingLogKeepsItsMode) {
  WriteBytes(file_, "older");
  ASSERT_EQ(::chmod(file_.c_str(), 0644), 0);
  ScopedUmask umask(0);
  DiagnosticsLog log(clock_);
  log.StartLogFile(file_);
  EXPECT_EQ(PermissionsOf(file_), 0644u);
  EXPECT_EQ(ReadBytes(file_).rfind("older\r\r\n\r\r\n", 0), 0u);
}

// A FIFO named as the log used to stall the library load in the first open for writing. The load's steps
// run in a child process so that a wait fails the test rather than hanging it; the child reports through
// its exit code: 0 when tracing ended up off, 2 when it stayed on.
TEST_F(DiagnosticsLogPosixTest, FifoAsTheLogSwitchesTracingOffWithoutWaiting) {
  ASSERT_EQ(::mkfifo(file_.c_str(), 0600), 0);
  std::optional<int> result = ExitCodeInChild([this] {
    DiagnosticsLog log(clock_);
    log.StartLogFile(file_);
    log.LogLine("COMM_MEASURE");
    const double spectrum[] = {1.5};
    log.LogSpectrum(spectrum, 1);
    return log.IsOn() || !log.FileName().empty() ? 2 : 0;
  });
  ASSERT_TRUE(result.has_value()) << "the log blocked on the FIFO";
  EXPECT_EQ(*result, 0);
  struct stat status {};
  ASSERT_EQ(::lstat(file_.c_str(), &status), 0);
  EXPECT_TRUE(S_ISFIFO(status.st_mode));
}

class RecordedNotices : public SystemNotices {
 public:
  void Note(std::string_view text) override { lines.emplace_back(text); }
  std::vector<std::string> lines;
};

// Whoever configured the trace learns once, from the system's log, why no trace appears; the entries that
// follow add nothing there.
TEST_F(DiagnosticsLogPosixTest, CharacterDeviceAsTheLogSwitchesTracingOffAndIsNotedOnce) {
  RecordedNotices notices;
  DiagnosticsLog log(clock_, notices);
  log.StartLogFile("/dev/null");
  EXPECT_FALSE(log.IsOn());
  EXPECT_EQ(log.FileName(), "");
  EXPECT_EQ(log.LogLine("COMM_MEASURE"), 0);
  EXPECT_EQ(log.LogLine("COMM_MEASURE"), 0);
  ASSERT_EQ(notices.lines.size(), 1u);
  EXPECT_EQ(
      notices.lines[0],
      "VK605 driver: the diagnostics log \"/dev/null\" is no regular file (a FIFO, device or directory); "
      "tracing is off");
}

// A log that merely cannot be opened now (a missing directory) may open later and is not noted.
TEST_F(DiagnosticsLogPosixTest, LogThatDoesNotOpenYetIsNotNoted) {
  RecordedNotices notices;
  DiagnosticsLog log(clock_, notices);
  log.StartLogFile(directory_.File("missing/vk605.log"));
  log.LogLine("COMM_MEASURE");
  EXPECT_TRUE(log.IsOn());
  EXPECT_TRUE(notices.lines.empty());
}

}  // namespace
}  // namespace vk605
