#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace vk605 {

// The user's configuration base directory ($XDG_CONFIG_HOME, else ~/.config); empty when the user has no
// home directory.
std::string ConfigHome();

// The driver's per-user directory for lock files: $XDG_RUNTIME_DIR/vk605 (when that variable is set), else
// or when that one is unusable /tmp/vk605-<uid>; created with mode 0700 when missing. A directory that
// cannot be created, is not this user's own or that others may write into is passed over; empty when no
// candidate is left.
std::string PrivateRuntimeDirectory();

// The first of candidates that exists or can be created (mode 0700) as a private directory of this
// user's: a real directory, owned by the effective user, writable by no one else. Empty when none is.
std::string FirstPrivateDirectory(const std::vector<std::string>& candidates);

// Creates the directory and its missing parents with the given mode; true when it exists afterwards.
bool MakeDirectories(const std::string& path, mode_t mode);

}  // namespace vk605
