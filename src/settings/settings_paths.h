#pragma once

#include <string>
#include <string_view>

#include "platform/private_profile.h"

namespace vk605 {

// Directory part of a module path. Windows style: the last '\' or ':' ends the directory ("C:" becomes
// "C:\", "C:\dir\" becomes "C:\dir"). POSIX style: the last '/' ("/" stays "/").
enum class PathStyle { kWindows, kPosix };
std::string ModuleDirectoryOf(std::string_view module_path, PathStyle style);

// directory + separator + base name + ".INI"; the separator is always inserted.
std::string SettingsFilePath(std::string_view directory, std::string_view base_name, char separator);

// The main settings file VK605.INI in directory: the path when it can be opened or created, else empty.
std::string LocateMainSettingsFile(const std::string& directory, char separator, PrivateProfile& profile);

// The calibration file of an instrument: <serial>.INI in directory when it can be opened or created.
// Empty (no file) for an empty serial number, for one that names the main settings file, and when the
// file can be neither opened nor created: a calibration record never lands among the port settings.
std::string LocateCalibrationFile(const std::string& directory, const std::string& serial_number,
                                  char separator, PrivateProfile& profile);

}  // namespace vk605
