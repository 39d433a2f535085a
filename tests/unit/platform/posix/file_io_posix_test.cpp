// What only POSIX systems show of the atomic file replacement: permissions, links, FIFOs, write limits.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "platform/file_text.h"
#include "platform/posix/scoped_umask.h"
#include "platform/temp_directory.h"

namespace vk605 {
namespace {

using ::vk605::testing::ReadBytes;
using ::vk605::testing::ScopedUmask;
using ::vk605::testing::TempDirectory;
using ::vk605::testing::WriteBytes;

class FileIoPosixTest : public ::testing::Test {
 protected:
  TempDirectory directory_;
  std::string file_ = directory_.File("VK605.INI");
};

mode_t ModeOf(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0 ? status.st_mode : 0;
}

TEST_F(FileIoPosixTest, UnwritableDirectoryFailsAndKeepsTheOldFile) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may write into any directory";
  WriteBytes(file_, "old");
  ASSERT_EQ(::chmod(directory_.Path().c_str(), 0500), 0);
  std::error_code error = ReplaceFileAtomically(file_, "new");
  ASSERT_EQ(::chmod(directory_.Path().c_str(), 0700), 0);
  EXPECT_EQ(error, std::errc::permission_denied);
  EXPECT_EQ(ReadBytes(file_), "old");
  EXPECT_EQ(directory_.Entries(), std::vector<std::string>{"VK605.INI"});
}

// A write that fails halfway (here: beyond the process's file size limit, which binds root too) leaves the
// old file as it was and removes the partly written temporary file.
TEST_F(FileIoPosixTest, FailedWriteKeepsTheOldFileAndRemovesTheTemporaryFile) {
  WriteBytes(file_, "old");
  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct rlimit limited = saved;
  limited.rlim_cur = 1024;
  auto previous_handler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
  std::error_code error = ReplaceFileAtomically(file_, std::string(4096, 'n'));
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0);
  std::signal(SIGXFSZ, previous_handler);
  EXPECT_EQ(error, std::errc::file_too_large);
  EXPECT_EQ(ReadBytes(file_), "old");
  EXPECT_EQ(directory_.Entries(), std::vector<std::string>{"VK605.INI"});
}

TEST_F(FileIoPosixTest, ReplacedFileKeepsItsPermissions) {
  WriteBytes(file_, "old");
  ASSERT_EQ(::chmod(file_.c_str(), 0640), 0);
  EXPECT_FALSE(ReplaceFileAtomically(file_, "new"));
  EXPECT_EQ(ModeOf(file_) & 07777, 0640u);
  EXPECT_EQ(ReadBytes(file_), "new");
}

// A umask of 000 would otherwise leave a new settings file writable for everyone, a strict one unreadable
// for the other users of the instrument.
TEST_F(FileIoPosixTest, NewFileGets0644WhateverTheUmask) {
  for (mode_t mask : {mode_t{0}, mode_t{077}}) {
    std::string file = directory_.File("mask" + std::to_string(mask) + ".INI");
    {
      ScopedUmask umask(mask);
      ASSERT_FALSE(ReplaceFileAtomically(file, "[MAIN]\r\n"));
    }
    EXPECT_EQ(ModeOf(file) & 07777, 0644u) << "umask " << mask;
    EXPECT_EQ(ReadBytes(file), "[MAIN]\r\n");
  }
}

TEST_F(FileIoPosixTest, ReplacedFileKeepsItsPermissionsUnderUmask000) {
  WriteBytes(file_, "old");
  ASSERT_EQ(::chmod(file_.c_str(), 0600), 0);
  {
    ScopedUmask umask(0);
    EXPECT_FALSE(ReplaceFileAtomically(file_, "new"));
  }
  EXPECT_EQ(ModeOf(file_) & 07777, 0600u);
  EXPECT_EQ(ReadBytes(file_), "new");
}

TEST_F(FileIoPosixTest, SymbolicLinkStaysAndItsTargetIsReplaced) {
  std::string target = directory_.File("real.ini");
  WriteBytes(target, "old");
  ASSERT_EQ(::symlink(target.c_str(), file_.c_str()), 0);
  EXPECT_FALSE(ReplaceFileAtomically(file_, "new"));
  EXPECT_TRUE(S_ISLNK(ModeOf(file_)));
  EXPECT_EQ(ReadBytes(target), "new");
  EXPECT_EQ(directory_.Entries(), (std::vector<std::string>{"VK605.INI", "real.ini"}));
}

TEST_F(FileIoPosixTest, FifoInPlaceOfTheFileIsRefusedWithoutBlocking) {
  ASSERT_EQ(::mkfifo(file_.c_str(), 0600), 0);
  std::string content = "stale";
  std::error_code error = ReadWholeFile(file_, content);
  EXPECT_EQ(error, std::errc::invalid_argument);
  EXPECT_FALSE(IsMissingFile(error));
  EXPECT_EQ(content, "");
}

}  // namespace
}  // namespace vk605
