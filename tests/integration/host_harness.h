#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "vk605/vk605.h"

namespace vk605::host {

// A fresh directory per test, removed afterwards.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& content);
// VK605.INI in directory with section MAIN naming the port, plus any further lines of that section.
void WriteDriverIni(const std::filesystem::path& directory, const std::string& port,
                    const std::string& more_lines = "");
// The reflectance the driver delivers for a percentage the instrument sends: the reading, parsed in
// single precision, times 0.01.
inline double Percent(float value) {
  return static_cast<double>(value) * 0.01;
}
// Key/value pairs of one INI section (keys upper-cased).
std::map<std::string, std::string> IniSection(const std::filesystem::path& path, const std::string& section);

// A serial port name that names no device on this platform.
std::string MissingPortName();

// The driver library loaded like a host loads it: copied into its own directory and opened with dlopen
// (LoadLibraryA on Windows).
class Driver {
 public:
  explicit Driver(const std::filesystem::path& directory);
  ~Driver();  // does not unload: Unload() runs the driver's exit sequence on purpose
  // The export of that name as the declared function pointer type; VK605_EXPORT supplies both from
  // vk605.h. The name is looked up as the platform exports it (decorated where the export table says).
  template <typename FunctionPointer>
  FunctionPointer Export(const char* name) const {
    static_assert(
        std::is_pointer_v<FunctionPointer> && std::is_function_v<std::remove_pointer_t<FunctionPointer>>,
        "an export is a function");
    void* symbol = Symbol(name);
    if (symbol == nullptr) {
      std::fprintf(stderr, "missing export %s\n", name);
      std::_Exit(90);
    }
    return reinterpret_cast<FunctionPointer>(symbol);
  }
  void Unload();
  const std::filesystem::path& Directory() const { return directory_; }

 private:
  void* Symbol(const char* name) const;

  std::filesystem::path directory_;
  void* handle_ = nullptr;
};

// Message boxes and dialogs of the driver, answered from a script inside the child process.
struct UiScript {
  struct Box {
    std::string text;
    std::string caption;
    unsigned type;
  };
  std::vector<Box> boxes;
  std::deque<int> answers;
  int default_answer = 7;  // IDNO
  std::vector<std::string> dialog_events;
  int press_after_polls = 0;
  int press_after_ms = 0;  // the button is pressed this long after the dialog opened
  int polls = 0;
  std::chrono::steady_clock::time_point opened{};
};
UiScript& Script();
// Installs the scripted handler in the loaded driver.
void InstallScriptedUi(const Driver& driver);

// Runs body in a child process, like a host application of its own, with the environment pointing the
// driver's registry and per-user files into dir. The child's failures are reported through its exit
// status; body uses Check() to record them.
// Registry values for the driver are prepared in dir/registry.ini, the POSIX driver's registry file; on
// Windows the child writes them to the machine's registry first (a profiling component registered there
// by its library path is registered as a COM server through its DllRegisterServer).
// On Windows there is no fork: the child is this test program started again for the current test only;
// it replays the test up to this call (TempDir and SimProcess then name the parent's directory and
// simulator) and runs body there. A test with several hosts must therefore not stop (ASSERT) on the
// results of an earlier host before a later one.
int RunHost(const TempDir& dir, const std::function<void()>& body);
void Check(bool condition, const std::string& what);
// The number of failed checks in this process.
int HostFailures();
// Ends the child without unloading the driver (skips the unload's fixed waits when a test does not need
// them).
[[noreturn]] void EndHostWithoutUnload();

}  // namespace vk605::host

// An export of the loaded driver with the type vk605.h declares for it, so a call that no longer matches
// the declaration fails to compile instead of passing arguments the driver does not expect.
#define VK605_EXPORT(driver, name) (driver).Export<decltype(&::name)>(#name)

#define HOST_CHECK(cond) \
  ::vk605::host::Check((cond), std::string(#cond) + " at line " + std::to_string(__LINE__))
#define HOST_CHECK_EQ(a, b)                                                                \
  do {                                                                                     \
    auto va_ = (a);                                                                        \
    auto vb_ = (b);                                                                        \
    std::ostringstream os_;                                                                \
    os_ << #a << " == " << #b << " (" << va_ << " vs " << vb_ << ") at line " << __LINE__; \
    ::vk605::host::Check(va_ == vb_, os_.str());                                           \
  } while (0)
