#include "platform/module_info.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

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

// The handle is where the module's file is mapped: the loaded image begins with the same header bytes as
// the file named by ModuleFilePath (an ELF or a PE image alike).
TEST(ModuleInfo, ModuleHandleIsTheLoadedImageOfTheModuleFile) {
  const void* handle = ModuleHandle();
  ASSERT_NE(handle, nullptr);
  std::ifstream file(ModuleFilePath(), std::ios::binary);
  char header[4] = {};
  ASSERT_TRUE(file.read(header, sizeof header));
  EXPECT_EQ(std::memcmp(handle, header, sizeof header), 0);
  EXPECT_TRUE(std::memcmp(header,
                          "\x7f"
                          "ELF",
                          4) == 0 ||
              std::memcmp(header, "MZ", 2) == 0);
  EXPECT_EQ(ModuleHandle(), handle);
}

}  // namespace
}  // namespace vk605
