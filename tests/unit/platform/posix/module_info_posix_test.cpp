#include "platform/module_info.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/posix/scoped_environment.h"
#include "platform/temp_directory.h"

namespace vk605 {
namespace {

using ::vk605::testing::ScopedEnvironment;
using ::vk605::testing::TempDirectory;

class SettingsDirectoryTest : public ::testing::Test {
 protected:
  TempDirectory directory_;
  std::string config_ = directory_.File("config");
  ScopedEnvironment config_home_{"XDG_CONFIG_HOME", config_.c_str()};
};

TEST_F(SettingsDirectoryTest, WritableModuleDirectoryIsUsed) {
  EXPECT_EQ(SettingsDirectory(directory_.Path().string()), directory_.Path().string());
  EXPECT_FALSE(std::filesystem::exists(config_));
}

TEST_F(SettingsDirectoryTest, MissingModuleDirectoryFallsBackToCreatedConfigDirectory) {
  std::string settings = SettingsDirectory(directory_.File("gone"));
  EXPECT_EQ(settings, config_ + "/vk605");
  EXPECT_TRUE(std::filesystem::is_directory(settings));
}

TEST_F(SettingsDirectoryTest, ReadOnlyModuleDirectoryFallsBack) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may write into any directory";
  std::string read_only = directory_.File("readonly");
  ASSERT_EQ(::mkdir(read_only.c_str(), 0555), 0);
  EXPECT_EQ(SettingsDirectory(read_only), config_ + "/vk605");
}

TEST_F(SettingsDirectoryTest, WithoutConfigHomeFallsBackUnderHome) {
  ScopedEnvironment no_config("XDG_CONFIG_HOME", nullptr);
  ScopedEnvironment home("HOME", directory_.Path().c_str());
  EXPECT_EQ(SettingsDirectory(directory_.File("gone")), directory_.File(".config") + "/vk605");
  EXPECT_TRUE(std::filesystem::is_directory(directory_.File(".config") + "/vk605"));
}

TEST(ModuleInfoPosix, ModulePathIsCanonicalExecutable) {
  std::string path = ModuleFilePath();
  EXPECT_EQ(path, std::filesystem::canonical("/proc/self/exe").string());
}

// Without version resources the product version is the one the build compiled in, whatever the path.
TEST(ModuleInfoPosix, ProductVersionIsTheBuildsVersion) {
  EXPECT_EQ(ProductVersion(ModuleFilePath()), std::optional<std::string>(VK605_EXPECTED_PRODUCT_VERSION));
  EXPECT_EQ(ProductVersion("/nonexistent/VK605.DLL"),
            std::optional<std::string>(VK605_EXPECTED_PRODUCT_VERSION));
}

// The handle is the base of this program's mapping: the ELF header the loader mapped first.
TEST(ModuleInfoPosix, ModuleHandleIsTheBaseOfThisProgram) {
  Dl_info info{};
  ASSERT_NE(::dladdr(reinterpret_cast<void*>(&ModuleFilePath), &info), 0);
  EXPECT_EQ(ModuleHandle(), info.dli_fbase);
  EXPECT_EQ(std::memcmp(ModuleHandle(),
                        "\x7f"
                        "ELF",
                        4),
            0);
}

TEST(ModuleInfoPosix, NoResourceLoaders) {
  void* loaders[4] = {&loaders, &loaders, &loaders, &loaders};
  ResourceLoaders(loaders);
  for (void* loader : loaders) EXPECT_EQ(loader, nullptr);
}

}  // namespace
}  // namespace vk605
