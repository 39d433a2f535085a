#include "platform/private_profile.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/win32/windows_headers.h"

namespace vk605 {
namespace {

// A directory of its own under the system's temporary directory, removed with its files at the end.
class Win32ProfileDirectory {
 public:
  Win32ProfileDirectory() {
    char base[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, base);
    path_ = std::string(base) + "vk605-profile-" + std::to_string(::GetCurrentProcessId());
    ::CreateDirectoryA(path_.c_str(), nullptr);
  }
  ~Win32ProfileDirectory() {
    WIN32_FIND_DATAA found{};
    HANDLE search = ::FindFirstFileA((path_ + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        std::string file = path_ + "\\" + name;
        ::SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA(file.c_str());
      } while (::FindNextFileA(search, &found));
      ::FindClose(search);
    }
    ::RemoveDirectoryA(path_.c_str());
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// The replacement used to carry the temporary copy's attributes: a hidden settings file came back visible.
TEST(Win32PrivateProfile, WriteKeepsTheFilesAttributes) {
  Win32ProfileDirectory directory;
  std::string file = directory.Path() + "\\VK605.INI";
  PrivateProfile& profile = SystemPrivateProfile();
  ASSERT_TRUE(profile.WriteString("MAIN", "PORT", "COM1:", file));
  ASSERT_TRUE(::SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_TRUE(profile.WriteString("MAIN", "PORT", "COM2:", file));
  EXPECT_EQ(profile.GetString("MAIN", "PORT", "", file), "COM2:");
  DWORD attributes = ::GetFileAttributesA(file.c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(attributes & FILE_ATTRIBUTE_HIDDEN, 0u);
}

TEST(Win32PrivateProfile, OversizedFileIsNeitherReadNorWritten) {
  Win32ProfileDirectory directory;
  std::string file = directory.Path() + "\\VK605.INI";
  std::string content = "[MAIN]\r\nPORT=COM3:\r\n" + std::string(kMaxSettingsFileSize, ';');
  HANDLE handle =
      ::CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ::WriteFile(handle, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  ::CloseHandle(handle);
  PrivateProfile& profile = SystemPrivateProfile();
  EXPECT_TRUE(profile.IsOversized(file));
  EXPECT_EQ(profile.GetString("MAIN", "PORT", "COM1:", file), "COM1:");
  EXPECT_EQ(profile.GetInt("MAIN", "PORT", 7, file), 7);
  EXPECT_FALSE(profile.WriteString("MAIN", "PORT", "COM2:", file));
  WIN32_FILE_ATTRIBUTE_DATA data{};
  ASSERT_TRUE(::GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(data.nFileSizeLow, content.size());
}

}  // namespace
}  // namespace vk605
