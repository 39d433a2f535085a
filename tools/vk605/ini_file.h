#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vk605::tool {

// The driver's INI files (VK605.INI, the per-instrument calibration file, the registry stand-in) read and
// edited line by line, so every line the tool does not change stays as it was. Section and key names
// compare case-insensitively, as the driver's profile functions do.
class IniFile {
 public:
  explicit IniFile(const std::string& content = {});

  std::optional<std::string> Get(const std::string& section, const std::string& key) const;
  void Set(const std::string& section, const std::string& key, const std::string& value);
  bool HasSection(const std::string& section) const;
  std::string Text() const;

 private:
  struct Line {
    std::string text;
    std::string section;  // the section this line belongs to (for a header: its own name)
    std::string key;      // empty unless a key=value line
  };
  std::vector<Line> lines_;
  std::string line_end_ = "\r\n";
};

}  // namespace vk605::tool
