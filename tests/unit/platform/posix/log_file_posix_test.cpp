// What only POSIX systems show of the trace file: the mode of a new file.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/file_text.h"
#include "platform/log_file.h"
#include "platform/posix/scoped_umask.h"
#include "platform/temp_directory.h"

namespace vk605 {
namespace {

using ::vk605::testing::ReadBytes;
using ::vk605::testing::ScopedUmask;
using ::vk605::testing::TempDirectory;
using ::vk605::testing::WriteBytes;

class LogFilePosixTest : public ::testing::Test {
 protected:
  TempDirectory directory_;
  std::string file_ = directory_.File("vk605.log");
};

mode_t ModeOf(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : 0;
}

TEST_F(LogFilePosixTest, NewFileIs0600UnderUmask000) {
  ScopedUmask umask(0);
  ASSERT_NE(OpenLogFileForAppend(file_), nullptr);
  EXPECT_EQ(ModeOf(file_), 0600u);
}

TEST_F(LogFilePosixTest, NewFileIs0600UnderAUmaskThatTakesOwnerRights) {
  ScopedUmask umask(0277);
  std::unique_ptr<LogFile> file = OpenLogFileForAppend(file_);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(ModeOf(file_), 0600u);
  EXPECT_FALSE(file->WriteAt(0, "entry"));
  file.reset();
  EXPECT_EQ(ReadBytes(file_), "entry");
}

TEST_F(LogFilePosixTest, ExistingFileKeepsItsMode) {
  WriteBytes(file_, "older");
  ASSERT_EQ(::chmod(file_.c_str(), 0644), 0);
  ScopedUmask umask(0);
  std::unique_ptr<LogFile> file = OpenLogFileForAppend(file_);
  ASSERT_NE(file, nullptr);
  EXPECT_FALSE(file->WriteAt(5, " newer"));
  file.reset();
  EXPECT_EQ(ModeOf(file_), 0644u);
  EXPECT_EQ(ReadBytes(file_), "older newer");
}

}  // namespace
}  // namespace vk605
