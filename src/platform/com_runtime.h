#pragma once

namespace vk605 {

// Initialises COM for the calling thread; the outcome is not examined (nothing to do where there is no
// COM).
void InitializeComForThread();

// Starts OLE for the profiling component; false when it failed. Always true where there is no OLE.
bool InitializeOle();

}  // namespace vk605
