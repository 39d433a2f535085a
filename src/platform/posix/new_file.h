#pragma once

#include <sys/types.h>

#include <string>

#include "platform/posix/unique_fd.h"

namespace vk605 {

// Opens path with flags, creating the file when it is missing. A file this call creates gets exactly mode,
// whatever the process's umask; an existing file keeps its own. flags must not hold O_CREAT, O_EXCL or
// O_TRUNC. An invalid descriptor with errno set on failure.
UniqueFd OpenOrCreateWithMode(const std::string& path, int flags, mode_t mode);

}  // namespace vk605
