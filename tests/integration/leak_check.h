#pragma once

namespace vk605::host {

// In AddressSanitizer builds: runs LeakSanitizer now and reports whether it found memory nobody can reach
// any more (it prints the report). Hosts end with _Exit, which skips the sanitizer's own check at exit,
// so each host asks before it ends. Always false in other builds.
bool FoundLeaks();

}  // namespace vk605::host
