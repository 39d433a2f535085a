#include "platform/file_io.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_text.h"
#include "platform/temp_directory.h"

namespace vk605 {
namespace {

using ::vk605::testing::ReadBytes;
using ::vk605::testing::TempDirectory;
using ::vk605::testing::WriteBytes;

// Bytes a text-mode or line-based writer would change: CR LF, a lone CR, a NUL and a byte above 0x7f.
const std::string kAwkwardBytes("[MAIN]\r\nPORT=COM1:\r\rX=\0\xff\n", 25);

class FileIoTest : public ::testing::Test {
 protected:
  TempDirectory directory_;
  std::string file_ = directory_.File("VK605.INI");
};

TEST_F(FileIoTest, ReadsEveryByte) {
  WriteBytes(file_, kAwkwardBytes);
  std::string content = "stale";
  EXPECT_FALSE(ReadWholeFile(file_, content));
  EXPECT_EQ(content, kAwkwardBytes);
}

TEST_F(FileIoTest, MissingFileIsToldApartAndLeavesNothing) {
  std::string content = "stale";
  std::error_code error = ReadWholeFile(file_, content);
  EXPECT_TRUE(error);
  EXPECT_TRUE(IsMissingFile(error));
  EXPECT_EQ(content, "");
}

TEST_F(FileIoTest, DirectoryIsRefusedAsNoFile) {
  std::string content = "stale";
  std::error_code error = ReadWholeFile(directory_.Path().string(), content);
  EXPECT_TRUE(error);
  EXPECT_FALSE(IsMissingFile(error));
  EXPECT_EQ(content, "");
}

TEST_F(FileIoTest, ReplaceCreatesTheFileWithExactBytesAndNoLeftovers) {
  EXPECT_FALSE(ReplaceFileAtomically(file_, kAwkwardBytes));
  EXPECT_EQ(ReadBytes(file_), kAwkwardBytes);
  EXPECT_EQ(directory_.Entries(), std::vector<std::string>{"VK605.INI"});
}

TEST_F(FileIoTest, ReplaceOverwritesALongerFileCompletely) {
  WriteBytes(file_, std::string(100000, 'x'));
  EXPECT_FALSE(ReplaceFileAtomically(file_, "[MAIN]\r\n"));
  EXPECT_EQ(ReadBytes(file_), "[MAIN]\r\n");
  EXPECT_EQ(directory_.Entries(), std::vector<std::string>{"VK605.INI"});
}

TEST_F(FileIoTest, ReplaceWithNothingLeavesAnEmptyFile) {
  WriteBytes(file_, "old");
  EXPECT_FALSE(ReplaceFileAtomically(file_, ""));
  EXPECT_TRUE(std::filesystem::is_regular_file(file_));
  EXPECT_EQ(std::filesystem::file_size(file_), 0u);
}

TEST_F(FileIoTest, FailedReplaceOverADirectoryKeepsItAndLeavesNoTemporaryFile) {
  std::filesystem::create_directory(file_);
  WriteBytes(directory_.File("VK605.INI/inside"), "kept");
  std::error_code error = ReplaceFileAtomically(file_, "new");
  EXPECT_TRUE(error);
  EXPECT_TRUE(std::filesystem::is_directory(file_));
  EXPECT_EQ(ReadBytes(directory_.File("VK605.INI/inside")), "kept");
  EXPECT_EQ(directory_.Entries(), std::vector<std::string>{"VK605.INI"});
}

TEST_F(FileIoTest, ReplaceInAMissingDirectoryFailsAndCreatesNothing) {
  std::error_code error = ReplaceFileAtomically(directory_.File("missing/VK605.INI"), "new");
  EXPECT_TRUE(error);
  EXPECT_TRUE(directory_.Entries().empty());
}

}  // namespace
}  // namespace vk605
