#include <cstdio>
#include <cstdlib>

#include "fuzz_input.h"

namespace vk605::fuzz {

void Fail(const char* what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

}  // namespace vk605::fuzz
