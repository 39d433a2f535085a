#pragma once

#include <optional>
#include <string>

namespace vk605 {

// Full path of the file this code was loaded from (the driver library, or a test executable).
std::string ModuleFilePath();

// The module handle hosts receive from InstrumentTranslationTarget (null where there is none).
void* ModuleHandle();

// The platform's resource loaders in the order LoadMenuA, CreateDialogIndirectParamA, PropertySheetA,
// LoadStringA; null entries where the platform has none.
void ResourceLoaders(void* out[4]);

// Directory for settings files: the module directory when files can be written there; otherwise the
// per-user configuration directory of the driver (POSIX), created on demand.
std::string SettingsDirectory(const std::string& module_directory);

// The product version recorded in the module's version resource (Windows) or compiled in (elsewhere).
std::optional<std::string> ProductVersion(const std::string& module_path);

// The separator used when joining a directory and a file name.
char PathSeparator();

}  // namespace vk605
