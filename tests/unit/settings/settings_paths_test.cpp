#include "settings/settings_paths.h"

#include <string>

#include <gtest/gtest.h>

#include "fakes/fake_private_profile.h"

namespace vk605 {
namespace {

struct DirectoryCase {
  PathStyle style;
  std::string module_path;
  std::string directory;
};

class ModuleDirectoryTest : public ::testing::TestWithParam<DirectoryCase> {};

TEST_P(ModuleDirectoryTest, TakesTheDirectoryPart) {
  EXPECT_EQ(ModuleDirectoryOf(GetParam().module_path, GetParam().style), GetParam().directory);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, ModuleDirectoryTest,
    ::testing::Values(DirectoryCase{PathStyle::kWindows, "C:\\VK605.DLL", "C:\\"},
                      DirectoryCase{PathStyle::kWindows, "C:\\Program Files\\Orvanta\\VK605.DLL",
                                    "C:\\Program Files\\Orvanta"},
                      DirectoryCase{PathStyle::kWindows, "C:VK605.DLL", "C:\\"},
                      DirectoryCase{PathStyle::kWindows, "C:\\dir\\", "C:\\dir"},
                      DirectoryCase{PathStyle::kWindows, "\\\\server\\share\\VK605.DLL", "\\\\server\\share"},
                      DirectoryCase{PathStyle::kWindows, "\\VK605.DLL", ""},
                      DirectoryCase{PathStyle::kWindows, "VK605.DLL", "VK605.DLL"},
                      DirectoryCase{PathStyle::kWindows, "C:\\dir/VK605.DLL", "C:\\"}));

INSTANTIATE_TEST_SUITE_P(Posix, ModuleDirectoryTest,
                         ::testing::Values(DirectoryCase{PathStyle::kPosix, "/usr/lib/vk605/libvk605.so",
                                                         "/usr/lib/vk605"},
                                           DirectoryCase{PathStyle::kPosix, "/libvk605.so", "/"},
                                           DirectoryCase{PathStyle::kPosix, "libvk605.so", "."},
                                           DirectoryCase{PathStyle::kPosix, "./libvk605.so", "."},
                                           DirectoryCase{PathStyle::kPosix, "C:\\VK605.DLL", "."}));

TEST(SettingsPathsTest, SeparatorIsAlwaysInserted) {
  EXPECT_EQ(SettingsFilePath("C:\\", "VK605", '\\'), "C:\\\\VK605.INI");
  EXPECT_EQ(SettingsFilePath("C:\\dir", "A1234", '\\'), "C:\\dir\\A1234.INI");
  EXPECT_EQ(SettingsFilePath("/", "VK605", '/'), "//VK605.INI");
}

TEST(SettingsPathsTest, MainFileInTheRootOfDriveCIsCreatedUnderTheDoubleBackslashPath) {
  testing::FakePrivateProfile profile;
  std::string directory = ModuleDirectoryOf("C:\\VK605.DLL", PathStyle::kWindows);
  EXPECT_EQ(LocateMainSettingsFile(directory, '\\', profile), "C:\\\\VK605.INI");
  EXPECT_TRUE(profile.Exists("C:\\\\VK605.INI"));
  EXPECT_EQ(profile.creations, 1);
}

TEST(SettingsPathsTest, ExistingMainFileIsUsedWithoutCreatingItAgain) {
  testing::FakePrivateProfile profile;
  profile.WriteString("MAIN", "PORT", "COM3:", "/opt/vk605/VK605.INI");
  EXPECT_EQ(LocateMainSettingsFile("/opt/vk605", '/', profile), "/opt/vk605/VK605.INI");
  EXPECT_EQ(profile.creations, 0);
  EXPECT_EQ(profile.Value("/opt/vk605/VK605.INI", "MAIN", "PORT"), "COM3:");
}

TEST(SettingsPathsTest, MainFileNeitherReadableNorCreatableGivesNoPath) {
  testing::FakePrivateProfile profile;
  profile.SetUnwritable("/ro/VK605.INI");
  EXPECT_EQ(LocateMainSettingsFile("/ro", '/', profile), "");
}

TEST(SettingsPathsTest, CalibrationFileIsNamedAfterTheSerialNumber) {
  testing::FakePrivateProfile profile;
  EXPECT_EQ(LocateCalibrationFile("C:\\DRV", "A1234", '\\', profile), "C:\\DRV\\A1234.INI");
  EXPECT_TRUE(profile.Exists("C:\\DRV\\A1234.INI"));
}

// A calibration record among the port settings of VK605.INI would be read back by any instrument
// without a serial number: no serial number means no calibration file at all.
TEST(SettingsPathsTest, EmptySerialNumberGivesNoCalibrationFile) {
  testing::FakePrivateProfile profile;
  EXPECT_EQ(LocateCalibrationFile("C:\\DRV", "", '\\', profile), "");
  EXPECT_FALSE(profile.Exists("C:\\DRV\\VK605.INI"));
  EXPECT_EQ(profile.creations, 0);
}

TEST(SettingsPathsTest, SerialNumberNamingTheMainFileGivesNoCalibrationFile) {
  testing::FakePrivateProfile profile;
  EXPECT_EQ(LocateCalibrationFile("C:\\DRV", "VK605", '\\', profile), "");
  EXPECT_EQ(LocateCalibrationFile("/opt/vk605", "vk605", '/', profile), "");
  EXPECT_EQ(LocateCalibrationFile("C:\\DRV", "VK6051", '\\', profile), "C:\\DRV\\VK6051.INI");
  EXPECT_EQ(profile.creations, 1);
}

TEST(SettingsPathsTest, UncreatableSerialFileGivesNoCalibrationFile) {
  testing::FakePrivateProfile profile;
  profile.SetUnwritable("C:\\DRV\\A1234.INI");
  EXPECT_EQ(LocateCalibrationFile("C:\\DRV", "A1234", '\\', profile), "");
  EXPECT_FALSE(profile.Exists("C:\\DRV\\VK605.INI"));
}

}  // namespace
}  // namespace vk605
