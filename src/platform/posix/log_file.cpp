#include "platform/log_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/new_file.h"
#include "platform/posix/unique_fd.h"

namespace vk605 {

namespace {

std::error_code LastError() {
  return std::error_code(errno, std::system_category());
}

class PosixLogFile : public LogFile {
 public:
  explicit PosixLogFile(UniqueFd fd) : fd_(std::move(fd)) {}

  std::error_code Size(std::uint64_t& size) override {
    struct stat status {};
    if (::fstat(fd_.Get(), &status) != 0) return LastError();
    size = static_cast<std::uint64_t>(status.st_size);
    return {};
  }

  std::error_code ReadByteAt(std::uint64_t offset, char& byte) override {
    for (;;) {
      ssize_t got = ::pread(fd_.Get(), &byte, 1, static_cast<off_t>(offset));
      if (got == 1) return {};
      if (got == 0) return std::make_error_code(std::errc::invalid_argument);
      if (errno != EINTR) return LastError();
    }
  }

  std::error_code WriteAt(std::uint64_t offset, std::string_view bytes) override {
    while (!bytes.empty()) {
      ssize_t written = ::pwrite(fd_.Get(), bytes.data(), bytes.size(), static_cast<off_t>(offset));
      if (written < 0) {
        if (errno == EINTR) continue;
        return LastError();
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

std::unique_ptr<LogFile> OpenLogFileForAppend(const std::string& path) {
  UniqueFd fd = OpenOrCreateWithMode(path, O_RDWR | O_CLOEXEC, 0600);
  if (!fd.IsValid()) return nullptr;
  return std::make_unique<PosixLogFile>(std::move(fd));
}

}  // namespace vk605
