#pragma once

#include <sys/types.h>

#include <string>

namespace vk605 {

// The user's configuration base directory ($XDG_CONFIG_HOME, else ~/.config); empty when the user has no
// home directory.
std::string ConfigHome();

// The driver's per-user directory for lock files ($XDG_RUNTIME_DIR/vk605, else /tmp/vk605-<uid>), created
// with mode 0700 when missing. Empty when it cannot be created, or when it is not this user's own or others
// may write into it.
std::string PrivateRuntimeDirectory();

// Creates the directory and its missing parents with the given mode; true when it exists afterwards.
bool MakeDirectories(const std::string& path, mode_t mode);

}  // namespace vk605
