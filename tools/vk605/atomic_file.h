#pragma once

#include <string>

namespace vk605::tool {

// Replaces path with content through a temporary file in the same directory and a rename, so readers see
// the old or the new file, never a part. Throws ToolError on failure.
void WriteFileAtomically(const std::string& path, const std::string& content);

// The whole file, or nothing when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& content);

// A temporary path beside path for writers that need a file name (cairo); RenameInto moves it over path.
std::string TemporarySibling(const std::string& path);
void RenameInto(const std::string& temporary, const std::string& path);

}  // namespace vk605::tool
