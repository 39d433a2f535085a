// The emulated-USB tests' main: the program runs under umockdev's preload (EnsureUmockdevPreload says
// why it re-executes itself rather than being started under umockdev-wrapper). The forked host children
// inherit the preload and the testbed's UMOCKDEV_DIR; their ioctls are answered by the emulated bridge on
// umockdev's thread of this process.
#include <gtest/gtest.h>

#include "emulated_usb_bridge.h"
#include "host_process.h"

// The host children are forked from this process, whose umockdev thread holds GLib allocations that
// only that thread's stack and thread-local storage point to. A child has no such thread, so the leak
// check at a child's end would report them; the driver itself allocates nothing through GLib.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libglib-2.0.so\n";
}

int main(int argc, char** argv) {
  if (!vk605::sim::EnsureUmockdevPreload(argv)) return 1;
  ::testing::InitGoogleTest(&argc, argv);
  vk605::host::StartHangWatch();
  return RUN_ALL_TESTS();
}
