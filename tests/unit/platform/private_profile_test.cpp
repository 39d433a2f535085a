#include "platform/private_profile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_text.h"
#include "platform/temp_directory.h"

namespace vk605 {
namespace {

using ::vk605::testing::ReadBytes;
using ::vk605::testing::TempDirectory;
using ::vk605::testing::WriteBytes;

class PrivateProfileTest : public ::testing::Test {
 protected:
  PrivateProfile& profile_ = SystemPrivateProfile();
  TempDirectory directory_;
  std::string file_ = directory_.File("VK605.INI");
};

struct GetIntCase {
  const char* line;  // the line under [MAIN], or null for no key at all
  int expected;
};

class PrivateProfileGetIntTest : public PrivateProfileTest,
                                 public ::testing::WithParamInterface<GetIntCase> {};

TEST_P(PrivateProfileGetIntTest, ReadsStoredTextAsTheSystemDoes) {
  std::string text = "[MAIN]\r\n";
  if (GetParam().line != nullptr) text += std::string(GetParam().line) + "\r\n";
  WriteBytes(file_, text);
  EXPECT_EQ(profile_.GetInt("MAIN", "KEY", 42, file_), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Values, PrivateProfileGetIntTest,
                         ::testing::Values(GetIntCase{nullptr, 42}, GetIntCase{"KEY=", 42},
                                           GetIntCase{"KEY=12", 12}, GetIntCase{"KEY= -1", -1},
                                           GetIntCase{"KEY=abc", 0}, GetIntCase{"KEY=7x", 7},
                                           GetIntCase{"key = 65536 ", 65536}));

TEST_F(PrivateProfileTest, MissingFileGivesFallbacks) {
  EXPECT_EQ(profile_.GetInt("MAIN", "BAUDRATE", 9600, file_), 9600);
  EXPECT_EQ(profile_.GetString("MAIN", "PORT", "COM1:", file_), "COM1:");
  EXPECT_FALSE(profile_.CanOpenForReading(file_));
}

TEST_F(PrivateProfileTest, GetStringTrimsAndFindsKeysWithoutCase) {
  WriteBytes(file_, "[Main]\nPort =  COM7:  \nEMPTY=\n");
  EXPECT_EQ(profile_.GetString("MAIN", "PORT", "COM1:", file_), "COM7:");
  EXPECT_EQ(profile_.GetString("MAIN", "EMPTY", "fallback", file_), "");
  EXPECT_EQ(profile_.GetString("MAIN", "ABSENT", "fallback", file_), "fallback");
}

TEST_F(PrivateProfileTest, GetStringReturnsAtMost4095Characters) {
  std::string long_value(5000, 'x');
  WriteBytes(file_, "[MAIN]\r\nLONG=" + long_value + "\r\n");
  EXPECT_EQ(profile_.GetString("MAIN", "LONG", "", file_), std::string(4095, 'x'));
}

TEST_F(PrivateProfileTest, FirstWriteCreatesFileWithSectionAndKey) {
  ASSERT_TRUE(profile_.WriteString("CALIBRATION", "HOURS", "4", file_));
  EXPECT_EQ(ReadBytes(file_), "[CALIBRATION]\r\nHOURS=4\r\n");
}

TEST_F(PrivateProfileTest, WriteThenReadRoundTrips) {
  ASSERT_TRUE(profile_.WriteString("MAIN", "PORT", "COM3:", file_));
  ASSERT_TRUE(profile_.WriteString("MAIN", "BAUDRATE", "19200", file_));
  ASSERT_TRUE(profile_.WriteString("MAIN", "PORT", "COM4:", file_));
  ASSERT_TRUE(profile_.WriteString("CALIBRATION", "HOURS", "-1", file_));
  EXPECT_EQ(profile_.GetString("MAIN", "PORT", "", file_), "COM4:");
  EXPECT_EQ(profile_.GetInt("MAIN", "BAUDRATE", 0, file_), 19200);
  EXPECT_EQ(profile_.GetInt("CALIBRATION", "HOURS", 0, file_), -1);
  EXPECT_EQ(ReadBytes(file_), "[MAIN]\r\nPORT=COM4:\r\nBAUDRATE=19200\r\n[CALIBRATION]\r\nHOURS=-1\r\n");
}

TEST_F(PrivateProfileTest, WriteKeepsLinesItDoesNotOwn) {
  WriteBytes(file_, "[MAIN]\r\n; operator note\r\nPORT=COM1:\r\nOTHER=keep me\r\n[WHITENESS]\r\nA=1\r\n");
  ASSERT_TRUE(profile_.WriteString("MAIN", "PORT", "COM2:", file_));
  EXPECT_EQ(ReadBytes(file_),
            "[MAIN]\r\n; operator note\r\nPORT=COM2:\r\nOTHER=keep me\r\n[WHITENESS]\r\nA=1\r\n");
}

TEST_F(PrivateProfileTest, WritesLeaveNoTemporaryFilesBehind) {
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(profile_.WriteString("MAIN", "COUNT", std::to_string(i), file_));
  }
  EXPECT_EQ(directory_.Entries(), std::vector<std::string>{"VK605.INI"});
  EXPECT_EQ(profile_.GetInt("MAIN", "COUNT", -5, file_), 4);
}

TEST_F(PrivateProfileTest, WriteIntoMissingDirectoryFails) {
  std::string file = directory_.File("missing") + "/VK605.INI";
  EXPECT_FALSE(profile_.WriteString("MAIN", "PORT", "COM1:", file));
  EXPECT_TRUE(directory_.Entries().empty());
}

TEST_F(PrivateProfileTest, CreateEmptyCreatesButNeverTruncates) {
  ASSERT_TRUE(profile_.CreateEmpty(file_));
  EXPECT_TRUE(profile_.CanOpenForReading(file_));
  EXPECT_EQ(ReadBytes(file_), "");
  WriteBytes(file_, "[MAIN]\r\nPORT=COM2:\r\n");
  ASSERT_TRUE(profile_.CreateEmpty(file_));
  EXPECT_EQ(ReadBytes(file_), "[MAIN]\r\nPORT=COM2:\r\n");
}

TEST_F(PrivateProfileTest, DirectoryIsNoProfileFile) {
  EXPECT_FALSE(profile_.CanOpenForReading(directory_.Path().string()));
  EXPECT_FALSE(profile_.CreateEmpty(directory_.Path().string()));
  EXPECT_FALSE(profile_.WriteString("MAIN", "PORT", "COM1:", directory_.Path().string()));
  EXPECT_EQ(profile_.GetInt("MAIN", "PORT", 3, directory_.Path().string()), 3);
}

TEST_F(PrivateProfileTest, CreateEmptyInMissingDirectoryFails) {
  EXPECT_FALSE(profile_.CreateEmpty(directory_.File("missing") + "/VK605.INI"));
}

}  // namespace
}  // namespace vk605
