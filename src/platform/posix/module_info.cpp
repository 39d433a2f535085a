#include "platform/module_info.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <memory>

#include "platform/posix/user_dirs.h"

#ifndef VK605_PRODUCT_VERSION
#error "VK605_PRODUCT_VERSION must be defined by the build"
#endif

namespace vk605 {

namespace {

// An object inside this module: its address tells dladdr which loaded file holds this code.
const char module_anchor = 0;

std::string CanonicalPath(const char* path) {
  std::unique_ptr<char, decltype(&::free)> resolved(::realpath(path, nullptr), &::free);
  return resolved ? std::string(resolved.get()) : std::string(path);
}

std::string ExecutablePath() {
  std::string buffer(PATH_MAX, '\0');
  ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) return {};
  buffer.resize(static_cast<std::size_t>(length));
  return buffer;
}

}  // namespace

std::string ModuleFilePath() {
  Dl_info info{};
  struct link_map* map = nullptr;
  if (::dladdr1(&module_anchor, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0) {
    return ExecutablePath();
  }
  // The main program's entry has no name of its own (dladdr then reports argv[0], which may be relative
  // to another directory or no path at all).
  if (map == nullptr || map->l_name == nullptr || map->l_name[0] == '\0') {
    std::string executable = ExecutablePath();
    if (!executable.empty() || info.dli_fname == nullptr) return executable;
    return CanonicalPath(info.dli_fname);
  }
  return CanonicalPath(map->l_name);
}

void* ModuleHandle() {
  Dl_info info{};
  if (::dladdr(&module_anchor, &info) == 0) return nullptr;
  return info.dli_fbase;
}

void ResourceLoaders(void* out[4]) {
  for (int i = 0; i < 4; ++i) out[i] = nullptr;
}

std::string SettingsDirectory(const std::string& module_directory) {
  // Creating a file needs both write and search rights on the directory.
  if (!module_directory.empty() &&
      ::faccessat(AT_FDCWD, module_directory.c_str(), W_OK | X_OK, AT_EACCESS) == 0) {
    return module_directory;
  }
  std::string config = ConfigHome();
  if (config.empty()) return module_directory;
  std::string directory = config + "/vk605";
  // A directory that cannot be created shows as failing settings writes, which the callers handle.
  (void)MakeDirectories(directory, 0700);
  return directory;
}

std::optional<std::string> ProductVersion(const std::string& /*module_path*/) {
  return VK605_PRODUCT_VERSION;
}

char PathSeparator() {
  return '/';
}

}  // namespace vk605
