// The emulated-USB tests' main. umockdev's device emulation lives in its preload library, which has to
// be in the process from its start: it interposes open, ioctl, poll and the netlink socket calls of
// libusb and libudev, and only a library preloaded at start-up comes before libc for the driver that a
// host child later loads with dlopen. Running the program under umockdev-wrapper would do that from
// outside, but then every way of starting it (ctest, the test discovery, a developer by hand, a
// debugger) would have to remember; so the program re-executes itself once with the preload added to
// LD_PRELOAD. The forked host children inherit the preload and the testbed's UMOCKDEV_DIR, and their
// ioctls are answered by the emulated bridge on umockdev's thread of this process.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr char kPreload[] = "libumockdev-preload.so.0";
constexpr char kReexecMark[] = "VK605_USB_TEST_PRELOADED";

void Prepend(const char* name, const std::string& value, char separator) {
  const char* old = std::getenv(name);
  std::string joined = value;
  if (old != nullptr && old[0] != '\0') joined += separator + std::string(old);
  setenv(name, joined.c_str(), 1);
}

}  // namespace

int main(int argc, char** argv) {
  // RTLD_NOLOAD: only tells whether the preload is already in the process.
  if (dlopen(kPreload, RTLD_NOW | RTLD_NOLOAD) == nullptr) {
    if (std::getenv(kReexecMark) != nullptr) {
      std::fprintf(stderr, "umockdev's preload library %s could not be loaded\n", kPreload);
      return 1;
    }
    setenv(kReexecMark, "1", 1);
    Prepend("LD_PRELOAD", kPreload, ':');
    // AddressSanitizer wants its runtime first among the initial libraries; the preload comes before it
    // and does not allocate through it in a way the check protects.
    Prepend("ASAN_OPTIONS", "verify_asan_link_order=0", ':');
    execv("/proc/self/exe", argv);
    std::perror("re-executing under umockdev's preload");
    return 1;
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
