// What only POSIX systems show of the trace file: the mode of a new file, FIFOs and devices.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "platform/file_text.h"
#include "platform/log_file.h"
#include "platform/posix/child_process.h"
#include "platform/posix/scoped_umask.h"
#include "platform/temp_directory.h"

namespace vk605 {
namespace {

using ::vk605::testing::ExitCodeInChild;
using ::vk605::testing::PermissionsOf;
using ::vk605::testing::ReadBytes;
using ::vk605::testing::ScopedUmask;
using ::vk605::testing::TempDirectory;
using ::vk605::testing::WriteBytes;

class LogFilePosixTest : public ::testing::Test {
 protected:
  TempDirectory directory_;
  std::string file_ = directory_.File("vk605.log");
};

TEST_F(LogFilePosixTest, NewFileIs0600UnderUmask000) {
  ScopedUmask umask(0);
  std::unique_ptr<LogFile> file;
  ASSERT_EQ(OpenLogFileForAppend(file_, file), LogFileOpen::kOpened);
  EXPECT_EQ(PermissionsOf(file_), 0600u);
}

TEST_F(LogFilePosixTest, NewFileIs0600UnderAUmaskThatTakesOwnerRights) {
  ScopedUmask umask(0277);
  std::unique_ptr<LogFile> file;
  ASSERT_EQ(OpenLogFileForAppend(file_, file), LogFileOpen::kOpened);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(PermissionsOf(file_), 0600u);
  EXPECT_FALSE(file->WriteAt(0, "entry"));
  file.reset();
  EXPECT_EQ(ReadBytes(file_), "entry");
}

TEST_F(LogFilePosixTest, ExistingFileKeepsItsMode) {
  WriteBytes(file_, "older");
  ASSERT_EQ(::chmod(file_.c_str(), 0644), 0);
  ScopedUmask umask(0);
  std::unique_ptr<LogFile> file;
  ASSERT_EQ(OpenLogFileForAppend(file_, file), LogFileOpen::kOpened);
  ASSERT_NE(file, nullptr);
  EXPECT_FALSE(file->WriteAt(5, " newer"));
  file.reset();
  EXPECT_EQ(PermissionsOf(file_), 0644u);
  EXPECT_EQ(ReadBytes(file_), "older newer");
}

// Without a reader, opening a FIFO for writing waits until one comes: here the open returns at once. It
// runs in a child process so that a wait fails the test rather than hanging it.
TEST_F(LogFilePosixTest, FifoWithoutAReaderIsRefusedWithoutWaiting) {
  ASSERT_EQ(::mkfifo(file_.c_str(), 0600), 0);
  std::optional<int> result = ExitCodeInChild([this] {
    std::unique_ptr<LogFile> file;
    LogFileOpen opened = OpenLogFileForAppend(file_, file);
    return opened == LogFileOpen::kNoRegularFile && file == nullptr ? 0 : 1;
  });
  ASSERT_TRUE(result.has_value()) << "the open did not return";
  EXPECT_EQ(*result, 0);
}

TEST_F(LogFilePosixTest, FifoWithAReaderIsRefused) {
  ASSERT_EQ(::mkfifo(file_.c_str(), 0600), 0);
  int reader = ::open(file_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  std::unique_ptr<LogFile> file;
  EXPECT_EQ(OpenLogFileForAppend(file_, file), LogFileOpen::kNoRegularFile);
  EXPECT_EQ(file, nullptr);
  char byte = 0;
  EXPECT_EQ(::read(reader, &byte, 1), 0);  // nothing was written into the FIFO
  ::close(reader);
}

TEST_F(LogFilePosixTest, CharacterDeviceIsRefused) {
  std::unique_ptr<LogFile> file;
  EXPECT_EQ(OpenLogFileForAppend("/dev/null", file), LogFileOpen::kNoRegularFile);
  EXPECT_EQ(file, nullptr);
}

TEST_F(LogFilePosixTest, SymbolicLinkToARegularFileOpens) {
  std::string target = directory_.File("real.log");
  WriteBytes(target, "older");
  ASSERT_EQ(::symlink(target.c_str(), file_.c_str()), 0);
  std::unique_ptr<LogFile> file;
  ASSERT_EQ(OpenLogFileForAppend(file_, file), LogFileOpen::kOpened);
  EXPECT_FALSE(file->WriteAt(5, " newer"));
  file.reset();
  EXPECT_EQ(ReadBytes(target), "older newer");
}

}  // namespace
}  // namespace vk605
