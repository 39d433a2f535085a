#pragma once

#include <string>
#include <string_view>
#include <system_error>

namespace vk605 {

// Reads a whole regular file into content (cleared first; empty again on failure). The error is empty on
// success; IsMissingFile tells "there is no such file" from other failures. A directory, FIFO or device in
// place of the file is refused without blocking.
std::error_code ReadWholeFile(const std::string& path, std::string& content);

// True when a ReadWholeFile error means the file does not exist (as opposed to existing but unreadable).
bool IsMissingFile(std::error_code error);

// Replaces the file by one holding content, atomically: a temporary file beside it is written, flushed to
// disk and moved over it, so a reader sees the old or the new content, never a part. An existing file keeps
// its permissions (on POSIX, a symbolic link stays and its target is replaced); on POSIX a new file gets
// mode 0644 whatever the umask. On any failure the old file is untouched, no temporary file is left
// behind, and the error tells why.
std::error_code ReplaceFileAtomically(const std::string& path, std::string_view content);

}  // namespace vk605
