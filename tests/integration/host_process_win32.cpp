// The host side of the harness on Windows: a child host is this test program started again for the
// current test, the driver is loaded with LoadLibraryA.
// Lean: the full windows.h declares printer functions (SetPort) that clash with the driver's exports.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "host_harness.h"

namespace vk605::host {
namespace {

constexpr const char* kChildRunVariable = "VK605_HOST_RUN";   // which RunHost of the test to run
constexpr const char* kParentVariable = "VK605_HOST_PARENT";  // the parent's process id
constexpr const char* kOrvantaKey = "Software\\Orvanta";
constexpr const char* kComponentClassKey = "Software\\Classes\\CalveraSrv.ProfileV1";

std::string Environment(const char* name) {
  char value[256] = {};
  DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
  return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

bool IsChild() {
  return !Environment(kChildRunVariable).empty();
}

// Counts calls within the current test, so the child replays the parent's sequence exactly.
class PerTestCounter {
 public:
  int Next() {
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    if (test != test_) {
      test_ = test;
      count_ = 0;
    }
    return ++count_;
  }

 private:
  const testing::TestInfo* test_ = nullptr;
  int count_ = 0;
};

PerTestCounter g_temp_dirs;
PerTestCounter g_host_runs;

// A path of the build machine ("/work/build/...") as Wine sees it.
std::string WindowsPath(std::string path) {
  if (!path.empty() && path.front() == '/') path = "Z:" + path;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

[[noreturn]] void EndChild() {
  std::fflush(stdout);
  std::fflush(stderr);
  // TerminateProcess skips the driver's detach, as _Exit after fork does on POSIX.
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(std::min(HostFailures(), 80)));
  std::abort();
}

int StartChild(int run) {
  const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string command =
      std::string("\"") + self + "\" --gtest_filter=" + test->test_suite_name() + "." + test->name();
  SetEnvironmentVariableA(kChildRunVariable, std::to_string(run).c_str());
  SetEnvironmentVariableA(kParentVariable, std::to_string(GetCurrentProcessId()).c_str());
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                      &startup, &process);
  SetEnvironmentVariableA(kChildRunVariable, nullptr);
  SetEnvironmentVariableA(kParentVariable, nullptr);
  if (!started) return 99;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 99;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

}  // namespace

TempDir::TempDir() {
  const std::string parent = IsChild() ? Environment(kParentVariable) : std::to_string(GetCurrentProcessId());
  path_ = std::filesystem::temp_directory_path() /
          ("vk605-host-" + parent + "-" + std::to_string(g_temp_dirs.Next()));
  if (!IsChild()) {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  if (IsChild()) return;  // the parent's directory
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string MissingPortName() {
  return "COM42";
}

Driver::Driver(const std::filesystem::path& directory) : directory_(directory) {
  std::filesystem::path copy = directory / "VK605.dll";
  std::filesystem::copy_file(WindowsPath(VK605_LIBRARY_PATH), copy,
                             std::filesystem::copy_options::overwrite_existing);
  handle_ = LoadLibraryA(copy.string().c_str());
  if (handle_ == nullptr) {
    std::fprintf(stderr, "LoadLibraryA failed: %lu\n", GetLastError());
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 91);
  }
}

Driver::~Driver() = default;

void* Driver::Symbol(const char* name) const {
  // VK605.def exports the two gloss functions only under their decorated names.
  const std::string plain = name;
  const std::string exported = plain == "DisableGloss"  ? "?DisableGloss@@YAJXZ"
                               : plain == "EnableGloss" ? "?EnableGloss@@YAJXZ"
                                                        : plain;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), exported.c_str()));
}

void Driver::Unload() {
  if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
  handle_ = nullptr;
}

void EndHostWithoutUnload() {
  EndChild();
}

namespace {

// A profiling component that the registry file names by its library path is registered the Windows way:
// the library's own DllRegisterServer writes its COM class.
void RegisterComponent(const std::string& library) {
  HMODULE module = LoadLibraryA(WindowsPath(library).c_str());
  auto reg = module == nullptr ? nullptr
                               : reinterpret_cast<HRESULT(__stdcall*)()>(
                                     reinterpret_cast<void*>(GetProcAddress(module, "DllRegisterServer")));
  if (reg == nullptr || reg() != S_OK) Check(false, "registering the profiling component " + library);
  if (module != nullptr) FreeLibrary(module);
}

// The registry values a test prepared in dir/registry.ini (the POSIX driver's registry file), written to
// the machine's registry under HKEY_LOCAL_MACHINE.
void SeedRegistry(const TempDir& dir) {
  std::istringstream in(ReadFile(dir / "registry.ini"));
  std::string line;
  std::string section;
  HKEY key = nullptr;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
      if (key != nullptr) RegCloseKey(key);
      key = nullptr;
      section = line.substr(1, line.size() - 2);
      if (section == kComponentClassKey) continue;
      RegCreateKeyExA(HKEY_LOCAL_MACHINE, section.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
      continue;
    }
    std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string value = line.substr(equals + 1);
    if (section == kComponentClassKey && line.substr(0, equals) == "Library") {
      RegisterComponent(value);
      continue;
    }
    if (key == nullptr) continue;
    RegSetValueExA(key, line.substr(0, equals).c_str(), 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(value.c_str()), static_cast<DWORD>(value.size() + 1));
  }
  if (key != nullptr) RegCloseKey(key);
}

}  // namespace

int RunHost(const TempDir& dir, const std::function<void()>& body) {
  const int run = g_host_runs.Next();
  if (!IsChild()) {
    std::fflush(stdout);
    std::fflush(stderr);
    return StartChild(run);
  }
  if (std::to_string(run) != Environment(kChildRunVariable)) return 0;  // an earlier host of the test
  // The registry is the machine's: start each host without the driver's, the profiles' and the profiling
  // component's keys of an earlier one.
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kOrvantaKey);
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kComponentClassKey);
  SeedRegistry(dir);
  body();
  EndChild();
}

}  // namespace vk605::host
