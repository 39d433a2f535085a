#include "atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tool_error.h"

namespace vk605::tool {

namespace {

std::string Describe(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

}  // namespace

std::string TemporarySibling(const std::string& path) {
  return path + ".tmp-" + std::to_string(::getpid());
}

void RenameInto(const std::string& temporary, const std::string& path) {
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::string message = Describe("cannot replace", path);
    std::remove(temporary.c_str());
    throw ToolError(ExitCode::kFailure, message);
  }
}

void WriteFileAtomically(const std::string& path, const std::string& content) {
  std::string temporary = TemporarySibling(path);
  int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw ToolError(ExitCode::kFailure, Describe("cannot write", path));
  std::size_t written = 0;
  while (written < content.size()) {
    ssize_t n = ::write(fd, content.data() + written, content.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      std::string message = Describe("cannot write", path);
      ::close(fd);
      std::remove(temporary.c_str());
      throw ToolError(ExitCode::kFailure, message);
    }
    written += static_cast<std::size_t>(n);
  }
  if (::fsync(fd) != 0 || ::close(fd) != 0) {
    std::string message = Describe("cannot write", path);
    std::remove(temporary.c_str());
    throw ToolError(ExitCode::kFailure, message);
  }
  RenameInto(temporary, path);
}

bool ReadWholeFile(const std::string& path, std::string& content) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream text;
  text << in.rdbuf();
  content = text.str();
  return true;
}

}  // namespace vk605::tool
