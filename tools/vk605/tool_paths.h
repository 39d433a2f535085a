#pragma once

#include <string>

namespace vk605::tool {

// Where the tool finds the driver and the simulator: the explicit path, else $VK605_DRIVER / $VK605_SIM,
// else beside the installed program, else the build tree this program was built in, else the loader's /
// the shell's search path.
std::string LocateDriver(const std::string& explicit_path);
std::string LocateSimulator(const std::string& explicit_path);

// The directory of this program.
std::string ProgramDirectory();

// $XDG_STATE_HOME/vk605 (default ~/.local/state/vk605), created on demand.
std::string StateDirectory();

// The driver's registry stand-in: $VK605_REGISTRY, else $XDG_CONFIG_HOME/vk605/registry.ini.
std::string RegistryFile();

// Where a driver loaded from library_path keeps VK605.INI and the calibration files: beside the library
// when that directory is writable, else $XDG_CONFIG_HOME/vk605.
std::string SettingsDirectory(const std::string& library_path);

// $XDG_CONFIG_HOME, else ~/.config.
std::string ConfigHome();

// Absolute form of a path given on the command line.
std::string Absolute(const std::string& path);

}  // namespace vk605::tool
