#pragma once

#include <map>
#include <string>

#include "base/ini_text.h"
#include "platform/private_profile.h"

namespace vk605::fuzz {

// Private-profile files held in memory and read and written through IniText with the rules of the
// system's own profile files, so fuzzing the settings code costs no file system calls.
class MemoryProfile : public PrivateProfile {
 public:
  int GetInt(std::string_view section, std::string_view key, int fallback, const std::string& file) override {
    std::optional<std::string> value = Lookup(section, key, file);
    if (!value || value->empty()) return fallback;
    return ProfileIntFromText(*value);
  }
  std::string GetString(std::string_view section, std::string_view key, std::string_view fallback,
                        const std::string& file) override {
    std::optional<std::string> value = Lookup(section, key, file);
    std::string text = value ? std::move(*value) : std::string(fallback);
    if (text.size() > 4095) text.resize(4095);
    return text;
  }
  bool WriteString(std::string_view section, std::string_view key, std::string_view text,
                   const std::string& file) override {
    IniText ini(files[file]);
    ini.Set(section, key, text);
    files[file] = ini.Serialise();
    return true;
  }
  bool CanOpenForReading(const std::string& file) override { return files.count(file) != 0; }
  bool CreateEmpty(const std::string& file) override {
    files[file].clear();
    return true;
  }

  std::map<std::string, std::string> files;

 private:
  std::optional<std::string> Lookup(std::string_view section, std::string_view key, const std::string& file) {
    auto found = files.find(file);
    if (found == files.end()) return std::nullopt;
    return IniText(found->second).Find(section, key);
  }
};

}  // namespace vk605::fuzz
