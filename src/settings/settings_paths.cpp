#include "settings/settings_paths.h"

#include <algorithm>
#include <cctype>

namespace vk605 {

namespace {

constexpr const char* kMainBaseName = "VK605";

std::string WindowsDirectoryOf(std::string_view path) {
  std::size_t end = path.find_last_of("\\:");
  if (end == std::string_view::npos) return std::string(path);
  std::string directory(path.substr(0, end + 1));
  if (directory.back() == ':') {
    directory += '\\';  // "C:" names the current directory of the drive; its root is meant
  } else if (directory.size() < 2 || directory[directory.size() - 2] != ':') {
    directory.pop_back();  // "C:\dir\" -> "C:\dir", but "C:\" keeps its separator
  }
  return directory;
}

std::string PosixDirectoryOf(std::string_view path) {
  std::size_t end = path.find_last_of('/');
  // A bare file name was loaded from the working directory.
  if (end == std::string_view::npos) return ".";
  if (end == 0) return "/";
  return std::string(path.substr(0, end));
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}

bool OpensOrCreates(const std::string& path, PrivateProfile& profile) {
  return profile.CanOpenForReading(path) || profile.CreateEmpty(path);
}

}  // namespace

std::string ModuleDirectoryOf(std::string_view module_path, PathStyle style) {
  return style == PathStyle::kWindows ? WindowsDirectoryOf(module_path) : PosixDirectoryOf(module_path);
}

std::string SettingsFilePath(std::string_view directory, std::string_view base_name, char separator) {
  std::string path(directory);
  path += separator;
  path += base_name;
  path += ".INI";
  return path;
}

std::string LocateMainSettingsFile(const std::string& directory, char separator, PrivateProfile& profile) {
  std::string path = SettingsFilePath(directory, kMainBaseName, separator);
  return OpensOrCreates(path, profile) ? path : std::string();
}

std::string LocateCalibrationFile(const std::string& directory, const std::string& serial_number,
                                  char separator, PrivateProfile& profile) {
  // A serial number that is the model name alone (no serial line was read) names VK605.INI too; file
  // names compare without case on Windows.
  if (serial_number.empty() || SameIgnoringCase(serial_number, kMainBaseName)) return std::string();
  std::string path = SettingsFilePath(directory, serial_number, separator);
  return OpensOrCreates(path, profile) ? path : std::string();
}

}  // namespace vk605
