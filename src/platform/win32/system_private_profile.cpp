#include "platform/private_profile.h"

#include <vector>

#include "platform/win32/file_replace.h"
#include "platform/win32/unique_handle.h"

namespace vk605 {

namespace {

// The system's profile read buffer: 4095 characters and the terminator.
constexpr DWORD kProfileBuffer = 4096;

// Copies the current file (if any) to a new temporary file beside it, which the caller then changes and
// moves over the file; false when there is no such copy.
bool PrepareTemporaryCopy(const std::string& file, std::size_t separator, std::string& temp) {
  std::string directory = file.substr(0, separator + 1);
  char temp_name[MAX_PATH] = {};
  // Creates the temporary file empty under a name unique in that directory.
  if (::GetTempFileNameA(directory.c_str(), "vk6", 0, temp_name) == 0) return false;
  temp = temp_name;
  DWORD attributes = ::GetFileAttributesA(file.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return ::GetLastError() == ERROR_FILE_NOT_FOUND;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
  return ::CopyFileA(file.c_str(), temp.c_str(), FALSE) != 0;
}

// The system's private-profile functions, with writes made atomic: the change is made on a copy that then
// replaces the file in one move, so no reader ever sees a half-written settings file.
class Win32PrivateProfile : public PrivateProfile {
 public:
  int GetInt(std::string_view section, std::string_view key, int fallback, const std::string& file) override {
    if (IsOversized(file)) return fallback;
    UINT value = ::GetPrivateProfileIntA(std::string(section).c_str(), std::string(key).c_str(), fallback,
                                         file.c_str());
    return static_cast<int>(value);
  }

  std::string GetString(std::string_view section, std::string_view key, std::string_view fallback,
                        const std::string& file) override {
    if (IsOversized(file)) {
      std::string text(fallback);
      if (text.size() >= kProfileBuffer) text.resize(kProfileBuffer - 1);
      return text;
    }
    std::vector<char> buffer(kProfileBuffer);
    DWORD length = ::GetPrivateProfileStringA(std::string(section).c_str(), std::string(key).c_str(),
                                              std::string(fallback).c_str(), buffer.data(), kProfileBuffer,
                                              file.c_str());
    return std::string(buffer.data(), length < kProfileBuffer ? length : kProfileBuffer - 1);
  }

  bool WriteString(std::string_view section, std::string_view key, std::string_view text,
                   const std::string& file) override {
    if (IsOversized(file)) return false;
    std::string section_text(section);
    std::string key_text(key);
    std::string value(text);
    std::size_t separator = file.find_last_of("\\/");
    // A bare name lives in the Windows directory by the system's rule; only the system knows where to
    // place a copy, so that write goes straight to the file.
    if (separator == std::string::npos) {
      return ::WritePrivateProfileStringA(section_text.c_str(), key_text.c_str(), value.c_str(),
                                          file.c_str()) != 0;
    }
    DWORD attributes = ::GetFileAttributesA(file.c_str());
    std::string temp;
    bool ready = PrepareTemporaryCopy(file, separator, temp);
    // No temporary file beside it (only the file itself is writable): the file is changed in place, the
    // one way the setting can still be stored.
    if (temp.empty() && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      return ::WritePrivateProfileStringA(section_text.c_str(), key_text.c_str(), value.c_str(),
                                          file.c_str()) != 0;
    }
    bool done =
        ready &&
        ::WritePrivateProfileStringA(section_text.c_str(), key_text.c_str(), value.c_str(), temp.c_str()) &&
        MoveFileOver(WidePath(temp), WidePath(file)) == ERROR_SUCCESS;
    if (!done && !temp.empty()) ::DeleteFileA(temp.c_str());
    // The replacement carries the file's own attributes (hidden, system, archive), not the copy's.
    if (done && attributes != INVALID_FILE_ATTRIBUTES) ::SetFileAttributesA(file.c_str(), attributes);
    return done;
  }

  bool IsOversized(const std::string& file) override {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &data)) return false;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
    ULONGLONG size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return size > kMaxSettingsFileSize;
  }

  bool CanOpenForReading(const std::string& file) override {
    UniqueHandle handle(::CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return handle.IsValid();
  }

  bool CreateEmpty(const std::string& file) override {
    UniqueHandle handle(::CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return handle.IsValid();
  }
};

}  // namespace

PrivateProfile& SystemPrivateProfile() {
  static Win32PrivateProfile profile;
  return profile;
}

}  // namespace vk605
