#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/file_text.h"
#include "platform/posix/scoped_umask.h"
#include "platform/private_profile.h"
#include "platform/temp_directory.h"

namespace vk605 {
namespace {

using ::vk605::testing::PermissionsOf;
using ::vk605::testing::ReadBytes;
using ::vk605::testing::ScopedUmask;
using ::vk605::testing::TempDirectory;
using ::vk605::testing::WriteBytes;

class PrivateProfilePosixTest : public ::testing::Test {
 protected:
  PrivateProfile& profile_ = SystemPrivateProfile();
  TempDirectory directory_;
  std::string file_ = directory_.File("VK605.INI");
};

TEST_F(PrivateProfilePosixTest, WriteKeepsTheFilePermissions) {
  WriteBytes(file_, "[MAIN]\r\nPORT=COM1:\r\n");
  ASSERT_EQ(::chmod(file_.c_str(), 0640), 0);
  ASSERT_TRUE(profile_.WriteString("MAIN", "PORT", "/dev/ttyUSB0", file_));
  struct stat status {};
  ASSERT_EQ(::stat(file_.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0640u);
}

// The driver creates VK605.INI and the calibration file empty when they are missing.
TEST_F(PrivateProfilePosixTest, CreateEmptyGives0644UnderUmask000) {
  ScopedUmask umask(0);
  ASSERT_TRUE(profile_.CreateEmpty(file_));
  EXPECT_EQ(PermissionsOf(file_), 0644u);
  EXPECT_EQ(ReadBytes(file_), "");
}

TEST_F(PrivateProfilePosixTest, CreateEmptyGives0644UnderAStrictUmask) {
  ScopedUmask umask(077);
  ASSERT_TRUE(profile_.CreateEmpty(file_));
  EXPECT_EQ(PermissionsOf(file_), 0644u);
}

TEST_F(PrivateProfilePosixTest, CreateEmptyLeavesAnExistingFileAndItsMode) {
  WriteBytes(file_, "[MAIN]\r\n");
  ASSERT_EQ(::chmod(file_.c_str(), 0640), 0);
  ScopedUmask umask(0);
  ASSERT_TRUE(profile_.CreateEmpty(file_));
  EXPECT_EQ(PermissionsOf(file_), 0640u);
  EXPECT_EQ(ReadBytes(file_), "[MAIN]\r\n");
}

TEST_F(PrivateProfilePosixTest, WriteToAMissingFileCreatesIt0644UnderUmask000) {
  ScopedUmask umask(0);
  ASSERT_TRUE(profile_.WriteString("CALIBRATION", "Date", "12/08/2026", file_));
  EXPECT_EQ(PermissionsOf(file_), 0644u);
  EXPECT_EQ(ReadBytes(file_), "[CALIBRATION]\r\nDate=12/08/2026\r\n");
}

// Loading a setting writes it straight back; when nothing changes the file is not replaced again.
TEST_F(PrivateProfilePosixTest, WritingTheStoredValueLeavesTheFileAlone) {
  WriteBytes(file_, "[MAIN]\r\nPORT=COM1:\r\n");
  struct stat before {};
  ASSERT_EQ(::stat(file_.c_str(), &before), 0);
  ASSERT_TRUE(profile_.WriteString("MAIN", "PORT", "COM1:", file_));
  struct stat after {};
  ASSERT_EQ(::stat(file_.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(ReadBytes(file_), "[MAIN]\r\nPORT=COM1:\r\n");
  // A different value replaces the file.
  ASSERT_TRUE(profile_.WriteString("MAIN", "PORT", "COM2:", file_));
  EXPECT_EQ(ReadBytes(file_), "[MAIN]\r\nPORT=COM2:\r\n");
}

// An operator may link the settings file to a shared location; the write goes there and the link stays.
TEST_F(PrivateProfilePosixTest, WriteThroughSymbolicLinkKeepsTheLink) {
  std::string target = directory_.File("shared.ini");
  WriteBytes(target, "[MAIN]\r\nPORT=COM1:\r\n");
  std::filesystem::create_symlink(target, file_);
  ASSERT_TRUE(profile_.WriteString("MAIN", "PORT", "COM2:", file_));
  EXPECT_TRUE(std::filesystem::is_symlink(file_));
  EXPECT_EQ(ReadBytes(target), "[MAIN]\r\nPORT=COM2:\r\n");
}

TEST_F(PrivateProfilePosixTest, FifoIsNoProfileFileAndDoesNotBlock) {
  ASSERT_EQ(::mkfifo(file_.c_str(), 0600), 0);
  EXPECT_EQ(profile_.GetInt("MAIN", "BAUDRATE", 9600, file_), 9600);
  EXPECT_EQ(profile_.GetString("MAIN", "PORT", "COM1:", file_), "COM1:");
  EXPECT_FALSE(profile_.WriteString("MAIN", "PORT", "COM2:", file_));
}

TEST_F(PrivateProfilePosixTest, UnreadableFileIsNotReplaced) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads any file";
  WriteBytes(file_, "[MAIN]\r\nPORT=COM1:\r\n");
  ASSERT_EQ(::chmod(file_.c_str(), 0200), 0);
  EXPECT_FALSE(profile_.WriteString("MAIN", "BAUDRATE", "9600", file_));
  ASSERT_EQ(::chmod(file_.c_str(), 0600), 0);
  EXPECT_EQ(ReadBytes(file_), "[MAIN]\r\nPORT=COM1:\r\n");
}

}  // namespace
}  // namespace vk605
