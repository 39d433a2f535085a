#include "platform/log_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_text.h"
#include "platform/temp_directory.h"

namespace vk605 {
namespace {

using ::vk605::testing::ReadBytes;
using ::vk605::testing::TempDirectory;
using ::vk605::testing::WriteBytes;

class LogFileTest : public ::testing::Test {
 protected:
  TempDirectory directory_;
  std::string file_ = directory_.File("vk605.log");
};

TEST_F(LogFileTest, MissingFileIsCreatedEmpty) {
  std::unique_ptr<LogFile> file;
  ASSERT_EQ(OpenLogFileForAppend(file_, file), LogFileOpen::kOpened);
  ASSERT_NE(file, nullptr);
  std::uint64_t size = 99;
  EXPECT_FALSE(file->Size(size));
  EXPECT_EQ(size, 0u);
  file.reset();
  EXPECT_EQ(directory_.Entries(), std::vector<std::string>{"vk605.log"});
  EXPECT_EQ(ReadBytes(file_), "");
}

TEST_F(LogFileTest, ExistingBytesAreReadAndWrittenAtOffsets) {
  WriteBytes(file_, std::string("older\x1a", 6));
  std::unique_ptr<LogFile> file;
  ASSERT_EQ(OpenLogFileForAppend(file_, file), LogFileOpen::kOpened);
  ASSERT_NE(file, nullptr);
  std::uint64_t size = 0;
  ASSERT_FALSE(file->Size(size));
  EXPECT_EQ(size, 6u);
  char byte = 0;
  EXPECT_FALSE(file->ReadByteAt(5, byte));
  EXPECT_EQ(byte, '\x1a');
  EXPECT_FALSE(file->ReadByteAt(0, byte));
  EXPECT_EQ(byte, 'o');
  // Over the last byte and past the end, with a CR LF and a NUL kept as they are.
  EXPECT_FALSE(file->WriteAt(5, std::string("\r\n\0x\x1a", 5)));
  ASSERT_FALSE(file->Size(size));
  EXPECT_EQ(size, 10u);
  file.reset();
  EXPECT_EQ(ReadBytes(file_), std::string("older\r\n\0x\x1a", 10));
}

TEST_F(LogFileTest, ReadingAtTheEndFails) {
  WriteBytes(file_, "ab");
  std::unique_ptr<LogFile> file;
  ASSERT_EQ(OpenLogFileForAppend(file_, file), LogFileOpen::kOpened);
  ASSERT_NE(file, nullptr);
  char byte = 'z';
  EXPECT_TRUE(file->ReadByteAt(2, byte));
}

TEST_F(LogFileTest, MissingDirectoryDoesNotOpenAndCreatesNothing) {
  std::unique_ptr<LogFile> file;
  EXPECT_EQ(OpenLogFileForAppend(directory_.File("missing/vk605.log"), file), LogFileOpen::kFailed);
  EXPECT_EQ(file, nullptr);
  EXPECT_TRUE(directory_.Entries().empty());
}

TEST_F(LogFileTest, DirectoryIsRefusedAsNoRegularFile) {
  std::string inner = directory_.File("vk605.log");
  ASSERT_TRUE(std::filesystem::create_directory(inner));
  std::unique_ptr<LogFile> file;
  EXPECT_EQ(OpenLogFileForAppend(inner, file), LogFileOpen::kNoRegularFile);
  EXPECT_EQ(file, nullptr);
  EXPECT_TRUE(std::filesystem::is_empty(inner));
}

}  // namespace
}  // namespace vk605
