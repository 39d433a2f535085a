#include "platform/log_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/errno_error.h"
#include "platform/posix/new_file.h"
#include "platform/posix/unique_fd.h"

namespace vk605 {

namespace {

class PosixLogFile : public LogFile {
 public:
  explicit PosixLogFile(UniqueFd fd) : fd_(std::move(fd)) {}

  std::error_code Size(std::uint64_t& size) override {
    struct stat status {};
    if (::fstat(fd_.Get(), &status) != 0) return ErrnoError();
    size = static_cast<std::uint64_t>(status.st_size);
    return {};
  }

  std::error_code ReadByteAt(std::uint64_t offset, char& byte) override {
    for (;;) {
      ssize_t got = ::pread(fd_.Get(), &byte, 1, static_cast<off_t>(offset));
      if (got == 1) return {};
      if (got == 0) return std::make_error_code(std::errc::invalid_argument);
      if (errno != EINTR) return ErrnoError();
    }
  }

  std::error_code WriteAt(std::uint64_t offset, std::string_view bytes) override {
    while (!bytes.empty()) {
      ssize_t written = ::pwrite(fd_.Get(), bytes.data(), bytes.size(), static_cast<off_t>(offset));
      if (written < 0) {
        if (errno == EINTR) continue;
        return ErrnoError();
      }
      bytes.remove_prefix(static_cast<std::size_t>(written));
      offset += static_cast<std::uint64_t>(written);
    }
    return {};
  }

 private:
  UniqueFd fd_;
};

}  // namespace

// A path that already names something other than a regular file is refused before it is opened, as
// opening some devices acts on them (a serial port raises its modem lines). The open itself does not wait,
// so a FIFO put in place in between cannot stall the caller either, and the descriptor is checked again.
LogFileOpen OpenLogFileForAppend(const std::string& path, std::unique_ptr<LogFile>& file) {
  file.reset();
  struct stat status {};
  if (::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) return LogFileOpen::kNoRegularFile;
  UniqueFd fd = OpenOrCreateWithMode(path, O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
  if (!fd.IsValid()) return errno == EISDIR ? LogFileOpen::kNoRegularFile : LogFileOpen::kFailed;
  if (::fstat(fd.Get(), &status) != 0) return LogFileOpen::kFailed;
  if (!S_ISREG(status.st_mode)) return LogFileOpen::kNoRegularFile;
  // Blocking again for the writes that follow: a regular file never makes them wait anyway, and partial
  // non-blocking writes are not something the trace should have to handle.
  int flags = ::fcntl(fd.Get(), F_GETFL);
  if (flags < 0 || ::fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK) != 0) return LogFileOpen::kFailed;
  file = std::make_unique<PosixLogFile>(std::move(fd));
  return LogFileOpen::kOpened;
}

}  // namespace vk605
