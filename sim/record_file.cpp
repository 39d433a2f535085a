#include "record_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "command_text.h"
#include "file_descriptor.h"

namespace vk605::sim {

namespace {

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    done += static_cast<std::size_t>(written);
  }
  return true;
}

}  // namespace

bool RecordFile::Write(const std::vector<std::string>& commands, std::string& error) const {
  std::string text;
  for (const std::string& command : commands) text += EscapeText(command) + "\n";
  const std::string temporary = path_ + ".tmp";
  UniqueFd fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (!fd.IsValid() || !WriteAll(fd.Get(), text)) {
    error = "cannot write " + temporary + ": " + std::strerror(errno);
    return false;
  }
  fd.Reset();
  if (std::rename(temporary.c_str(), path_.c_str()) != 0) {
    error = "cannot rename " + temporary + " to " + path_ + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace vk605::sim
