#include "ini_file.h"

#include <sstream>

#include "text_format.h"

namespace vk605::tool {

namespace {

bool SameName(const std::string& a, const std::string& b) {
  return Lower(Trim(a)) == Lower(Trim(b));
}

}  // namespace

IniFile::IniFile(const std::string& content) {
  if (!content.empty() && content.find("\r\n") == std::string::npos) line_end_ = "\n";
  std::istringstream in(content);
  std::string text;
  std::string section;
  while (std::getline(in, text)) {
    if (!text.empty() && text.back() == '\r') text.pop_back();
    std::string trimmed = Trim(text);
    Line line{text, section, {}};
    if (!trimmed.empty() && trimmed.front() == '[' && trimmed.back() == ']') {
      section = trimmed.substr(1, trimmed.size() - 2);
      line.section = section;
    } else if (!trimmed.empty() && trimmed.front() != ';' && trimmed.find('=') != std::string::npos) {
      line.key = Trim(trimmed.substr(0, trimmed.find('=')));
    }
    lines_.push_back(std::move(line));
  }
}

std::optional<std::string> IniFile::Get(const std::string& section, const std::string& key) const {
  for (const Line& line : lines_) {
    if (!line.key.empty() && SameName(line.section, section) && SameName(line.key, key)) {
      return Trim(line.text.substr(line.text.find('=') + 1));
    }
  }
  return std::nullopt;
}

bool IniFile::HasSection(const std::string& section) const {
  for (const Line& line : lines_) {
    if (line.key.empty() && SameName(line.section, section) && Trim(line.text).rfind('[', 0) == 0)
      return true;
  }
  return false;
}

void IniFile::Set(const std::string& section, const std::string& key, const std::string& value) {
  std::size_t insert_at = lines_.size();
  bool found_section = false;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (!SameName(lines_[i].section, section)) continue;
    if (!lines_[i].key.empty() && SameName(lines_[i].key, key)) {
      lines_[i].text = lines_[i].key + "=" + value;
      return;
    }
    found_section = true;
    // New keys go after the section's last non-empty line.
    if (!Trim(lines_[i].text).empty()) insert_at = i + 1;
  }
  if (!found_section) {
    if (!lines_.empty() && !Trim(lines_.back().text).empty()) lines_.push_back({"", "", {}});
    lines_.push_back({"[" + section + "]", section, {}});
    insert_at = lines_.size();
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insert_at),
                Line{key + "=" + value, section, key});
}

std::string IniFile::Text() const {
  std::string out;
  for (const Line& line : lines_) out += line.text + line_end_;
  return out;
}

}  // namespace vk605::tool
