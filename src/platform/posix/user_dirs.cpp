#include "platform/posix/user_dirs.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace vk605 {

namespace {

// An absolute directory named by an environment variable; relative values are ignored as the XDG base
// directory rules ask.
std::string AbsoluteFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || value[0] != '/') return {};
  return value;
}

std::string HomeDirectory() {
  std::string home = AbsoluteFromEnvironment("HOME");
  if (!home.empty()) return home;
  std::vector<char> buffer(16384);
  struct passwd entry {};
  struct passwd* found = nullptr;
  if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
      found->pw_dir == nullptr || found->pw_dir[0] != '/') {
    return {};
  }
  return found->pw_dir;
}

bool IsDirectory(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// True when path is a real directory (no symbolic link) owned by this user that no one else may write
// into, so no other user can place or replace lock files in it.
bool IsPrivateDirectory(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == ::geteuid() &&
         (status.st_mode & 022) == 0;
}

}  // namespace

std::string ConfigHome() {
  std::string config = AbsoluteFromEnvironment("XDG_CONFIG_HOME");
  if (!config.empty()) return config;
  std::string home = HomeDirectory();
  return home.empty() ? std::string() : home + "/.config";
}

std::string PrivateRuntimeDirectory() {
  std::vector<std::string> candidates;
  std::string runtime = AbsoluteFromEnvironment("XDG_RUNTIME_DIR");
  if (!runtime.empty()) candidates.push_back(runtime + "/vk605");
  candidates.push_back("/tmp/vk605-" + std::to_string(::geteuid()));
  return FirstPrivateDirectory(candidates);
}

std::string FirstPrivateDirectory(const std::vector<std::string>& candidates) {
  for (const std::string& directory : candidates) {
    // A directory someone else made (or may write into) is left alone: its lock files could be theirs.
    if (MakeDirectories(directory, 0700) && IsPrivateDirectory(directory)) return directory;
  }
  return {};
}

bool MakeDirectories(const std::string& path, mode_t mode) {
  if (path.empty()) return false;
  for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    std::string part = path.substr(0, slash);
    if (::mkdir(part.c_str(), mode) != 0 && errno != EEXIST && !IsDirectory(part)) return false;
    if (slash == std::string::npos) break;
  }
  return IsDirectory(path);
}

}  // namespace vk605
