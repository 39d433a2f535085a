#include "platform/module_info.h"

#include <cstring>
#include <vector>

#include "platform/win32/windows_headers.h"

namespace vk605 {

namespace {

// An object inside this module: its address names the module that holds this code.
const char module_anchor = 0;

// Longest path the ANSI functions can return.
constexpr DWORD kMaxPath = 32768;

HMODULE ThisModule() {
  HMODULE module = nullptr;
  ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       &module_anchor, &module);
  return module;
}

void* ProcAddress(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  return reinterpret_cast<void*>(::GetProcAddress(module, name));
}

}  // namespace

std::string ModuleFilePath() {
  HMODULE module = ThisModule();
  for (DWORD size = MAX_PATH; size <= kMaxPath; size *= 2) {
    std::vector<char> buffer(size);
    DWORD length = ::GetModuleFileNameA(module, buffer.data(), size);
    if (length == 0) return {};
    // A full buffer means the path was cut short.
    if (length < size) return std::string(buffer.data(), length);
  }
  return {};
}

void* ModuleHandle() {
  return ThisModule();
}

void ResourceLoaders(void* out[4]) {
  HMODULE user32 = ::GetModuleHandleA("user32.dll");
  // Loaded once and kept: hosts call the address handed out at any later time.
  static HMODULE comctl32 = ::LoadLibraryA("comctl32.dll");
  out[0] = ProcAddress(user32, "LoadMenuA");
  out[1] = ProcAddress(user32, "CreateDialogIndirectParamA");
  out[2] = ProcAddress(comctl32, "PropertySheetA");
  out[3] = ProcAddress(user32, "LoadStringA");
}

std::string SettingsDirectory(const std::string& module_directory) {
  return module_directory;
}

std::optional<std::string> ProductVersion(const std::string& module_path) {
  DWORD ignored = 0;
  DWORD size = ::GetFileVersionInfoSizeA(module_path.c_str(), &ignored);
  if (size == 0) return std::nullopt;
  std::vector<char> data(size);
  if (!::GetFileVersionInfoA(module_path.c_str(), 0, size, data.data())) return std::nullopt;
  void* value = nullptr;
  UINT length = 0;
  if (!::VerQueryValueA(data.data(), "\\StringFileInfo\\040904b0\\ProductVersion", &value, &length) ||
      value == nullptr) {
    return std::nullopt;
  }
  const char* text = static_cast<const char*>(value);
  return std::string(text, ::strnlen(text, length));
}

char PathSeparator() {
  return '\\';
}

}  // namespace vk605
