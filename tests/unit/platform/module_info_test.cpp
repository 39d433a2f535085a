#include "platform/module_info.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace vk605 {
namespace {

// The settings files are found beside the module, so its path must be absolute and name this program
// (the tests link the platform code statically).
TEST(ModuleInfo, ModuleFilePathIsThisProgramAbsolute) {
  std::filesystem::path path(ModuleFilePath());
  EXPECT_TRUE(path.is_absolute()) << path;
  EXPECT_TRUE(std::filesystem::is_regular_file(path)) << path;
  EXPECT_NE(path.filename().string().find("test"), std::string::npos) << path;
}

TEST(ModuleInfo, ModuleHandleIsSet) {
  EXPECT_NE(ModuleHandle(), nullptr);
}

}  // namespace
}  // namespace vk605
