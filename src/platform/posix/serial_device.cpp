#include "platform/serial_device.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "platform/posix/serial_device_handle.h"
#include "platform/posix/serial_device_path.h"
#include "platform/posix/serial_device_termios.h"
#include "platform/posix/unique_fd.h"

namespace vk605 {

namespace {

// Raw mode with the line settings the terminal has now; the port's own settings follow when it is
// configured.
bool MakeRaw(int fd) {
  termios attributes{};
  if (::tcgetattr(fd, &attributes) != 0) return false;
  LineSettings current;
  ReadLineSettings(attributes, current);
  ApplyLineSettings(current, attributes);
  return ::tcsetattr(fd, TCSANOW, &attributes) == 0;
}

class PosixSerialDevices final : public SerialDevices {
 public:
  std::unique_ptr<SerialHandle> Open(const std::string& name) override {
    std::string path = SerialDevicePath(name);
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.IsValid() || !::isatty(fd.Get())) return nullptr;
    // The lock keeps out every other open of the driver, root's included; TIOCEXCL keeps out other
    // programs. TIOCEXCL comes last, so a failed open leaves the terminal as it was.
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) return nullptr;
    if (!MakeRaw(fd.Get())) return nullptr;
    if (::ioctl(fd.Get(), TIOCEXCL) != 0) return nullptr;
    return std::make_unique<PosixSerialHandle>(std::move(fd));
  }
};

}  // namespace

SerialDevices& SystemSerialDevices() {
  static PosixSerialDevices devices;
  return devices;
}

}  // namespace vk605
