#include "platform/registry.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/file_text.h"
#include "platform/posix/scoped_environment.h"
#include "platform/temp_directory.h"

namespace vk605 {
namespace {

using ::vk605::testing::ReadBytes;
using ::vk605::testing::ScopedEnvironment;
using ::vk605::testing::TempDirectory;
using ::vk605::testing::WriteBytes;

// The product key as the diagnostics log asks for it: "Software\Orvanta" + "\" + "\Spectrophotometers\VK605".
constexpr const char* kProductKeyPath = "Software\\Orvanta\\\\Spectrophotometers\\VK605";

class RegistryTest : public ::testing::Test {
 protected:
  TempDirectory directory_;
  std::string file_ = directory_.File("registry.ini");
  ScopedEnvironment registry_{"VK605_REGISTRY", file_.c_str()};
  Registry& registry_api_ = SystemRegistry();
};

TEST_F(RegistryTest, ReadsValueWhateverTheSeparatorRunsAndCase) {
  WriteBytes(file_,
             "[Software\\Orvanta\\Spectrophotometers\\VK605]\nDiagnosticsFileName=/var/log/vk605.log\n");
  EXPECT_EQ(registry_api_.ReadString(kProductKeyPath, "DiagnosticsFileName", 128), "/var/log/vk605.log");
  EXPECT_EQ(
      registry_api_.ReadString("SOFTWARE\\orvanta\\spectrophotometers\\vk605", "diagnosticsfilename", 128),
      "/var/log/vk605.log");
}

TEST_F(RegistryTest, SectionSpelledWithSeparatorRunsMatchesToo) {
  WriteBytes(file_, "[\\Software\\\\Orvanta\\Spectrophotometers\\VK605\\]\r\nDiagnosticsFileName=x.log\r\n");
  EXPECT_EQ(registry_api_.ReadString(kProductKeyPath, "DiagnosticsFileName", 128), "x.log");
}

TEST_F(RegistryTest, MissingFileKeyOrValueReadsEmpty) {
  EXPECT_FALSE(registry_api_.ReadString(kProductKeyPath, "DiagnosticsFileName", 128).has_value());
  WriteBytes(file_, "[Software\\Orvanta]\nDiagnosticsFileName=wrong-key.log\n");
  EXPECT_FALSE(registry_api_.ReadString(kProductKeyPath, "DiagnosticsFileName", 128).has_value());
  WriteBytes(file_, "[Software\\Orvanta\\Spectrophotometers\\VK605]\nOther=1\n");
  EXPECT_FALSE(registry_api_.ReadString(kProductKeyPath, "DiagnosticsFileName", 128).has_value());
}

TEST_F(RegistryTest, TextMustFitWithItsTerminator) {
  WriteBytes(file_, "[Software\\Orvanta\\Spectrophotometers\\VK605]\nDiagnosticsFileName=" +
                        std::string(127, 'a') + "\nLonger=" + std::string(128, 'b') + "\nEmpty=\n");
  EXPECT_EQ(registry_api_.ReadString(kProductKeyPath, "DiagnosticsFileName", 128), std::string(127, 'a'));
  EXPECT_FALSE(registry_api_.ReadString(kProductKeyPath, "Longer", 128).has_value());
  EXPECT_EQ(registry_api_.ReadString(kProductKeyPath, "Empty", 1), "");
  EXPECT_FALSE(registry_api_.ReadString(kProductKeyPath, "Empty", 0).has_value());
}

TEST_F(RegistryTest, FileIsReadAgainOnEveryCall) {
  WriteBytes(file_, "[Software\\Orvanta\\Spectrophotometers\\VK605]\nDiagnosticsFileName=one.log\n");
  EXPECT_EQ(registry_api_.ReadString(kProductKeyPath, "DiagnosticsFileName", 128), "one.log");
  WriteBytes(file_, "[Software\\Orvanta\\Spectrophotometers\\VK605]\nDiagnosticsFileName=two.log\n");
  EXPECT_EQ(registry_api_.ReadString(kProductKeyPath, "DiagnosticsFileName", 128), "two.log");
}

TEST_F(RegistryTest, WritesIntoExistingKeyKeepingOtherLines) {
  WriteBytes(
      file_,
      "; machine settings\n[software\\orvanta\\spectrophotometers\\vk605]\nDiagnosticsFileName=a.log\n");
  ASSERT_TRUE(registry_api_.WriteStringToExistingKey(kProductKeyPath, "CalveraID", "23"));
  EXPECT_EQ(
      ReadBytes(file_),
      "; machine settings\r\n[software\\orvanta\\spectrophotometers\\vk605]\r\nDiagnosticsFileName=a.log\r\n"
      "CalveraID=23\r\n");
  EXPECT_EQ(registry_api_.ReadString(kProductKeyPath, "CALVERAID", 3), "23");
  ASSERT_TRUE(registry_api_.WriteStringToExistingKey(kProductKeyPath, "calveraid", "24"));
  EXPECT_EQ(registry_api_.ReadString(kProductKeyPath, "CalveraID", 3), "24");
  EXPECT_EQ(directory_.Entries(), std::vector<std::string>{"registry.ini"});
}

TEST_F(RegistryTest, NeverCreatesKeyOrFile) {
  EXPECT_FALSE(registry_api_.WriteStringToExistingKey(kProductKeyPath, "CalveraID", "23"));
  EXPECT_TRUE(directory_.Entries().empty());
  WriteBytes(file_, "[Software\\Orvanta]\nX=1\n");
  EXPECT_FALSE(registry_api_.WriteStringToExistingKey(kProductKeyPath, "CalveraID", "23"));
  EXPECT_EQ(ReadBytes(file_), "[Software\\Orvanta]\nX=1\n");
}

TEST_F(RegistryTest, RegistryPathThatIsADirectoryIsMissing) {
  ScopedEnvironment directory_registry("VK605_REGISTRY", directory_.Path().c_str());
  EXPECT_FALSE(registry_api_.ReadString(kProductKeyPath, "DiagnosticsFileName", 128).has_value());
  EXPECT_FALSE(registry_api_.WriteStringToExistingKey(kProductKeyPath, "CalveraID", "23"));
}

TEST_F(RegistryTest, BinaryGarbageIsMissing) {
  std::string garbage;
  for (int i = 0; i < 70000; ++i) garbage.push_back(static_cast<char>((i * 37) % 256));
  WriteBytes(file_, garbage);
  EXPECT_FALSE(registry_api_.ReadString(kProductKeyPath, "DiagnosticsFileName", 128).has_value());
  EXPECT_FALSE(registry_api_.WriteStringToExistingKey(kProductKeyPath, "CalveraID", "23"));
}

TEST_F(RegistryTest, DefaultFileIsUnderTheConfigurationHome) {
  ScopedEnvironment no_registry("VK605_REGISTRY", nullptr);
  ScopedEnvironment config("XDG_CONFIG_HOME", directory_.Path().c_str());
  std::filesystem::create_directory(directory_.Path() / "vk605");
  WriteBytes(directory_.File("vk605/registry.ini"),
             "[Software\\Orvanta\\Spectrophotometers\\VK605]\nV=home\n");
  EXPECT_EQ(registry_api_.ReadString(kProductKeyPath, "V", 16), "home");
}

}  // namespace
}  // namespace vk605
