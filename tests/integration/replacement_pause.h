#pragma once

#include <filesystem>

namespace vk605::host {

// Where a host stops itself while the driver replaces a file: inside the new content (half of one write
// into the file or its replacement is done) or with the replacement complete just before the rename that
// puts it in place.
enum class PausePoint { kInsideContent, kBeforeRename };

// Arms this host process to stop itself with SIGSTOP the next time it reaches point while replacing
// target, after letting skip such moments pass, so the test can kill it exactly there. The test program
// defines write() and rename() (and exports them, see CMakeLists.txt), so the driver loaded with dlopen
// calls these, which hand every call on to the C library and stop only where armed.
void PauseInReplacement(const std::filesystem::path& target, PausePoint point, int skip);

// Removes the replacements of target a killed host left beside it ("." + name + ".<pid>.<n>.tmp") and
// returns how many there were: a host killed inside a replacement leaves one.
int RemoveLeftoverReplacements(const std::filesystem::path& target);

}  // namespace vk605::host
