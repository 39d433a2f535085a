#pragma once

#include <string>
#include <string_view>

namespace vk605 {

enum class ReadOutcome {
  kRead,     // the file was read completely
  kMissing,  // there is no such file
  kFailed,   // it exists but is no regular file or cannot be read
};

// Reads a whole regular file into content (cleared first).
ReadOutcome ReadWholeFile(const std::string& path, std::string& content);

// Replaces the file by one holding content, atomically: a temporary file beside it is written, flushed to
// disk and renamed over it, so a reader sees the old or the new content, never a part. An existing file's
// permissions are kept. False (and the old file untouched) on any failure.
bool ReplaceFileAtomically(const std::string& path, std::string_view content);

}  // namespace vk605
