#include "platform/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <memory>

#include "platform/posix/errno_error.h"
#include "platform/posix/unique_fd.h"

namespace vk605 {

namespace {

std::string DirectoryOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::error_code WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t written = ::write(fd, data.data(), data.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return ErrnoError();
    }
    data.remove_prefix(static_cast<std::size_t>(written));
  }
  return {};
}

// A new file beside path under a name no other writer uses (process id and a counter, created
// exclusively). Owner-only until WriteTemporary gives it its final mode.
UniqueFd CreateTemporaryBeside(const std::string& path, std::string& temp_path, std::error_code& error) {
  static std::atomic<unsigned> counter{0};
  std::string prefix = DirectoryOf(path) + "/." + BaseNameOf(path) + ".";
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp_path = prefix + std::to_string(::getpid()) + "." + std::to_string(counter.fetch_add(1)) + ".tmp";
    int fd = ::open(temp_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) return UniqueFd(fd);
    error = ErrnoError();
    if (errno != EEXIST) break;
  }
  temp_path.clear();
  return UniqueFd();
}

void SyncDirectoryOf(const std::string& path) {
  UniqueFd directory(::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  // Only makes the rename durable sooner; the replacement itself is already complete.
  if (directory.IsValid()) (void)::fsync(directory.Get());
}

// The replacement keeps the mode of the file it replaces. A new file gets 0644 whatever the process's
// umask, so the settings files are writable by their owner only even under a umask of 000; a file system
// without permissions may refuse that change for a new file, which is then used as it is.
std::error_code WriteTemporary(int fd, const std::string& target, std::string_view content) {
  constexpr mode_t kNewFileMode = 0644;
  struct stat target_status {};
  if (::stat(target.c_str(), &target_status) == 0) {
    if (::fchmod(fd, target_status.st_mode & 07777) != 0) return ErrnoError();
  } else {
    (void)::fchmod(fd, kNewFileMode);
  }
  if (std::error_code error = WriteAll(fd, content)) return error;
  if (::fsync(fd) != 0) return ErrnoError();
  return {};
}

// A settings file that is a symbolic link is replaced where the link points, so the link stays.
std::string LinkTarget(const std::string& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return path;
  std::unique_ptr<char, decltype(&::free)> resolved(::realpath(path.c_str(), nullptr), &::free);
  return resolved ? std::string(resolved.get()) : path;
}

}  // namespace

std::error_code ReadWholeFile(const std::string& path, std::string& content) {
  content.clear();
  // Non-blocking, so a FIFO in place of the file cannot stall the caller; it is then refused as no
  // regular file.
  UniqueFd file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!file.IsValid()) return ErrnoError();
  struct stat status {};
  if (::fstat(file.Get(), &status) != 0) return ErrnoError();
  if (S_ISDIR(status.st_mode)) return std::make_error_code(std::errc::is_a_directory);
  if (!S_ISREG(status.st_mode)) return std::make_error_code(std::errc::invalid_argument);
  char chunk[65536];
  for (;;) {
    ssize_t got = ::read(file.Get(), chunk, sizeof chunk);
    if (got == 0) return {};
    if (got < 0) {
      if (errno == EINTR) continue;
      std::error_code error = ErrnoError();
      content.clear();
      return error;
    }
    content.append(chunk, static_cast<std::size_t>(got));
  }
}

bool IsMissingFile(std::error_code error) {
  return error == std::errc::no_such_file_or_directory;
}

std::error_code ReplaceFileAtomically(const std::string& link_or_path, std::string_view content) {
  std::string path = LinkTarget(link_or_path);
  std::string temp_path;
  std::error_code error;
  UniqueFd temp = CreateTemporaryBeside(path, temp_path, error);
  if (!temp.IsValid()) return error;
  error = WriteTemporary(temp.Get(), path, content);
  if (!temp.Close() && !error) error = ErrnoError();
  if (!error && ::rename(temp_path.c_str(), path.c_str()) != 0) error = ErrnoError();
  if (error) {
    ::unlink(temp_path.c_str());
    return error;
  }
  SyncDirectoryOf(path);
  return {};
}

}  // namespace vk605
