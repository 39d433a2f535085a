#include "platform/registry.h"

#include <cstdlib>

#include "base/ini_text.h"
#include "platform/file_io.h"
#include "platform/posix/user_dirs.h"

namespace vk605 {

namespace {

// The registry stand-in: an INI file whose sections are key paths below HKEY_LOCAL_MACHINE. It is read
// afresh on every call, so tools and tests may change it while the driver is loaded.
class PosixRegistry : public Registry {
 public:
  bool KeyExists(std::string_view key_path) override {
    std::string content;
    if (ReadWholeFile(RegistryFile(), content)) return false;
    return IniText(content, SectionNames::kKeyPaths).HasSection(key_path);
  }

  std::optional<std::string> ReadString(std::string_view key_path, std::string_view value_name,
                                        std::size_t capacity) override {
    std::string content;
    if (ReadWholeFile(RegistryFile(), content)) return std::nullopt;
    std::optional<std::string> text = IniText(content, SectionNames::kKeyPaths).Find(key_path, value_name);
    if (!text || text->size() + 1 > capacity) return std::nullopt;
    return text;
  }

  bool WriteStringToExistingKey(std::string_view key_path, std::string_view value_name,
                                std::string_view text) override {
    std::string path = RegistryFile();
    std::string content;
    if (ReadWholeFile(path, content)) return false;
    IniText ini(content, SectionNames::kKeyPaths);
    if (!ini.HasSection(key_path)) return false;
    ini.Set(key_path, value_name, text);
    return !ReplaceFileAtomically(path, ini.Serialise());
  }

 private:
  static std::string RegistryFile() {
    const char* configured = std::getenv("VK605_REGISTRY");
    if (configured != nullptr && configured[0] != '\0') return configured;
    std::string config = ConfigHome();
    return config.empty() ? std::string() : config + "/vk605/registry.ini";
  }
};

}  // namespace

Registry& SystemRegistry() {
  static PosixRegistry registry;
  return registry;
}

}  // namespace vk605
