#include "platform/registry.h"

#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include "base/ini_text.h"
#include "platform/win32/windows_headers.h"

namespace vk605 {

namespace {

// An open registry key, closed when destroyed. Move-only.
class RegistryKey {
 public:
  RegistryKey(std::string_view path, REGSAM access) {
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, NormaliseKeyPath(path).c_str(), 0, access, &key_) !=
        ERROR_SUCCESS) {
      key_ = nullptr;
    }
  }
  ~RegistryKey() {
    if (key_ != nullptr) ::RegCloseKey(key_);
  }
  RegistryKey(RegistryKey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
  RegistryKey& operator=(RegistryKey&&) = delete;
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  bool IsOpen() const { return key_ != nullptr; }
  HKEY Get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

class Win32Registry : public Registry {
 public:
  bool KeyExists(std::string_view key_path) override { return RegistryKey(key_path, KEY_READ).IsOpen(); }

  std::optional<std::string> ReadString(std::string_view key_path, std::string_view value_name,
                                        std::size_t capacity) override {
    if (capacity == 0) return std::nullopt;
    RegistryKey key(key_path, KEY_READ);
    if (!key.IsOpen()) return std::nullopt;
    DWORD size = capacity < std::numeric_limits<DWORD>::max() ? static_cast<DWORD>(capacity)
                                                              : std::numeric_limits<DWORD>::max();
    std::vector<char> buffer(size);
    DWORD type = 0;
    // A value larger than the buffer fails with ERROR_MORE_DATA.
    if (::RegQueryValueExA(key.Get(), std::string(value_name).c_str(), nullptr, &type,
                           reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
      return std::nullopt;
    }
    // The stored data may or may not include its terminator.
    std::string text(buffer.data(), ::strnlen(buffer.data(), size));
    if (text.size() + 1 > capacity) return std::nullopt;
    return text;
  }

  bool WriteStringToExistingKey(std::string_view key_path, std::string_view value_name,
                                std::string_view text) override {
    RegistryKey key(key_path, KEY_WRITE);
    if (!key.IsOpen()) return false;
    std::string data(text);
    // The data length counts the characters only, without the terminator.
    return ::RegSetValueExA(key.Get(), std::string(value_name).c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(data.c_str()),
                            static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
  }
};

}  // namespace

Registry& SystemRegistry() {
  static Win32Registry registry;
  return registry;
}

}  // namespace vk605
