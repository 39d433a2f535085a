#include "tool_paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace vk605::tool {

namespace fs = std::filesystem;

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

std::string HomeDirectory() {
  std::string home = Environment("HOME");
  if (!home.empty()) return home;
  const passwd* entry = ::getpwuid(::getuid());
  return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "";
}

bool IsFile(const std::string& path) {
  std::error_code error;
  return !path.empty() && fs::is_regular_file(path, error);
}

std::string SearchPath(const std::string& name) {
  std::string path = Environment("PATH");
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    std::string candidate = path.substr(start, end - start) + "/" + name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return {};
}

}  // namespace

std::string ProgramDirectory() {
  std::error_code error;
  fs::path self = fs::read_symlink("/proc/self/exe", error);
  return error ? std::string(".") : self.parent_path().string();
}

std::string LocateDriver(const std::string& explicit_path) {
  if (!explicit_path.empty()) return Absolute(explicit_path);
  std::string configured = Environment("VK605_DRIVER");
  if (!configured.empty()) return Absolute(configured);
  std::string installed = ProgramDirectory() + "/" + VK605_RELATIVE_LIBRARY;
  if (IsFile(installed)) return fs::weakly_canonical(installed).string();
  if (IsFile(VK605_BUILD_DRIVER)) return VK605_BUILD_DRIVER;
  return "libvk605.so";  // the dynamic loader's search path
}

std::string LocateSimulator(const std::string& explicit_path) {
  if (!explicit_path.empty()) return Absolute(explicit_path);
  std::string configured = Environment("VK605_SIM");
  if (!configured.empty()) return Absolute(configured);
  std::string beside = ProgramDirectory() + "/vk605-sim";
  if (IsFile(beside)) return beside;
  if (IsFile(VK605_BUILD_SIMULATOR)) return VK605_BUILD_SIMULATOR;
  std::string found = SearchPath("vk605-sim");
  return found.empty() ? "vk605-sim" : found;
}

std::string ConfigHome() {
  std::string config = Environment("XDG_CONFIG_HOME");
  if (!config.empty() && config.front() == '/') return config;
  std::string home = HomeDirectory();
  return home.empty() ? std::string() : home + "/.config";
}

std::string StateDirectory() {
  std::string state = Environment("XDG_STATE_HOME");
  if (state.empty() || state.front() != '/') state = HomeDirectory() + "/.local/state";
  std::string directory = state + "/vk605";
  std::error_code error;
  fs::create_directories(directory, error);
  return directory;
}

std::string RegistryFile() {
  std::string configured = Environment("VK605_REGISTRY");
  if (!configured.empty()) return configured;
  std::string config = ConfigHome();
  return config.empty() ? std::string() : config + "/vk605/registry.ini";
}

std::string SettingsDirectory(const std::string& library_path) {
  std::string directory = fs::path(library_path).parent_path().string();
  if (!directory.empty() && ::access(directory.c_str(), W_OK | X_OK) == 0) return directory;
  std::string config = ConfigHome();
  return config.empty() ? directory : config + "/vk605";
}

std::string Absolute(const std::string& path) {
  std::error_code error;
  fs::path absolute = fs::absolute(path, error);
  return error ? path : absolute.lexically_normal().string();
}

}  // namespace vk605::tool
