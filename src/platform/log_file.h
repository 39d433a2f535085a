#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

namespace vk605 {

// An open trace file, read and written at explicit offsets. Closed when destroyed.
class LogFile {
 public:
  virtual ~LogFile() = default;

  // The file's length in bytes.
  virtual std::error_code Size(std::uint64_t& size) = 0;
  // The byte at offset, which lies before the end of the file.
  virtual std::error_code ReadByteAt(std::uint64_t offset, char& byte) = 0;
  // Writes all of bytes from offset on, over what is there and past the end.
  virtual std::error_code WriteAt(std::uint64_t offset, std::string_view bytes) = 0;
};

enum class LogFileOpen {
  kOpened,
  kFailed,         // missing directory, no rights, ...: may open at a later try
  kNoRegularFile,  // a FIFO, device or directory stands where the file should be
};

// Opens the trace file path for reading and writing, creating it when missing; file holds it when
// kOpened is returned and is null otherwise. Never waits: a FIFO without a reader or a device is refused
// as kNoRegularFile. On POSIX a new file gets mode 0600 whatever the umask, as the trace shows the
// instrument's traffic and is no one's business but its owner's; an existing file keeps its mode.
LogFileOpen OpenLogFileForAppend(const std::string& path, std::unique_ptr<LogFile>& file);

}  // namespace vk605
