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

// Opens the trace file path for reading and writing, creating it when missing; null when it does not
// open. On POSIX a new file gets mode 0600 whatever the umask, as the trace shows the instrument's traffic
// and is no one's business but its owner's; an existing file keeps its mode.
std::unique_ptr<LogFile> OpenLogFileForAppend(const std::string& path);

}  // namespace vk605
