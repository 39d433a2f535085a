#include "platform/posix/new_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

namespace vk605 {

UniqueFd OpenOrCreateWithMode(const std::string& path, int flags, mode_t mode) {
  // Created exclusively, so the mode is set on a file this call made and on no other.
  UniqueFd created(::open(path.c_str(), flags | O_CREAT | O_EXCL, mode));
  if (created.IsValid()) {
    // open took the umask off the mode; a file system without permissions may refuse the change, and the
    // file is usable all the same.
    (void)::fchmod(created.Get(), mode);
    return created;
  }
  if (errno != EEXIST) return UniqueFd();
  // The file exists (or is a link to one that may not): opened as it is.
  return UniqueFd(::open(path.c_str(), flags | O_CREAT, mode));
}

}  // namespace vk605
