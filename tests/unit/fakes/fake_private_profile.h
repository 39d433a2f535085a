#pragma once

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/private_profile.h"

namespace vk605::testing {

// In-memory private-profile files with the Windows reading rules: sections and keys compare
// case-insensitively, GetInt gives the fallback for an absent or empty value and 0 for a non-numeric
// one, GetString trims surrounding blanks. File paths compare exactly. Every read and write is recorded
// in calls as "read <file> [<section>] <key>" or "write <file> [<section>] <key>=<text>".
class FakePrivateProfile : public PrivateProfile {
 public:
  int GetInt(std::string_view section, std::string_view key, int fallback, const std::string& file) override {
    std::lock_guard<std::mutex> lock(mutex_);
    Record("read " + file + " [" + std::string(section) + "] " + std::string(key));
    std::optional<std::string> value = Find(file, section, key);
    if (!value) return fallback;
    std::string text = Trim(*value);
    if (text.empty()) return fallback;
    return ParseInt(text);
  }

  std::string GetString(std::string_view section, std::string_view key, std::string_view fallback,
                        const std::string& file) override {
    std::lock_guard<std::mutex> lock(mutex_);
    Record("read " + file + " [" + std::string(section) + "] " + std::string(key));
    std::optional<std::string> value = Find(file, section, key);
    if (!value) return std::string(fallback);
    std::string text = Trim(*value);
    if (text.size() > 4095) text.resize(4095);
    return text;
  }

  bool WriteString(std::string_view section, std::string_view key, std::string_view text,
                   const std::string& file) override {
    std::lock_guard<std::mutex> lock(mutex_);
    Record("write " + file + " [" + std::string(section) + "] " + std::string(key) + "=" + std::string(text));
    if (unwritable_.count(file) != 0 || oversized_.count(file) != 0) return false;
    Section& target = SectionOf(files_[file], section);
    for (auto& entry : target.keys) {
      if (Same(entry.first, key)) {
        entry.second = std::string(text);
        return true;
      }
    }
    target.keys.emplace_back(std::string(key), std::string(text));
    return true;
  }

  bool CanOpenForReading(const std::string& file) override {
    std::lock_guard<std::mutex> lock(mutex_);
    return files_.count(file) != 0 && unreadable_.count(file) == 0;
  }

  bool IsOversized(const std::string& file) override {
    std::lock_guard<std::mutex> lock(mutex_);
    return oversized_.count(file) != 0;
  }

  bool CreateEmpty(const std::string& file) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (unwritable_.count(file) != 0) return false;
    files_[file] = File{};
    ++creations;
    return true;
  }

  // ---- helpers for tests ----

  bool Exists(const std::string& file) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return files_.count(file) != 0;
  }

  // The raw stored value, ignoring the readable state.
  std::optional<std::string> Value(const std::string& file, std::string_view section,
                                   std::string_view key) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = files_.find(file);
    if (found == files_.end()) return std::nullopt;
    for (const auto& s : found->second.sections) {
      if (!Same(s.name, section)) continue;
      for (const auto& entry : s.keys) {
        if (Same(entry.first, key)) return entry.second;
      }
    }
    return std::nullopt;
  }

  // The file as "[SECTION]\r\nKEY=value\r\n..." in the order sections and keys were first written.
  std::string Dump(const std::string& file) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = files_.find(file);
    if (found == files_.end()) return {};
    std::string text;
    for (const auto& s : found->second.sections) {
      text += "[" + s.name + "]\r\n";
      for (const auto& entry : s.keys) text += entry.first + "=" + entry.second + "\r\n";
    }
    return text;
  }

  // Writes (and creating the file) fail for an unwritable path; reads of an unreadable path give the
  // fallbacks and it cannot be opened for reading.
  void SetUnwritable(const std::string& file) {
    std::lock_guard<std::mutex> lock(mutex_);
    unwritable_.insert(file);
  }
  // A file above the settings size limit: it exists, reads give the fallbacks, writes fail.
  void SetOversized(const std::string& file) {
    std::lock_guard<std::mutex> lock(mutex_);
    oversized_.insert(file);
    files_[file];
  }
  void SetUnreadable(const std::string& file) {
    std::lock_guard<std::mutex> lock(mutex_);
    unreadable_.insert(file);
  }

  std::vector<std::string> calls;
  int creations = 0;

 private:
  struct Section {
    std::string name;
    std::vector<std::pair<std::string, std::string>> keys;
  };
  struct File {
    std::vector<Section> sections;
  };

  static bool Same(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
             return std::tolower(static_cast<unsigned char>(x)) ==
                    std::tolower(static_cast<unsigned char>(y));
           });
  }

  static std::string Trim(const std::string& text) {
    std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    std::size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
  }

  // Decimal with optional sign; the digits that follow are read, wrapping to 32 bits like the platform.
  static int ParseInt(const std::string& text) {
    std::size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
    std::uint32_t value = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
      value = value * 10u + static_cast<std::uint32_t>(text[pos] - '0');
    }
    if (negative) value = 0u - value;
    return static_cast<int>(value);
  }

  std::optional<std::string> Find(const std::string& file, std::string_view section,
                                  std::string_view key) const {
    if (unreadable_.count(file) != 0 || oversized_.count(file) != 0) return std::nullopt;
    auto found = files_.find(file);
    if (found == files_.end()) return std::nullopt;
    for (const auto& s : found->second.sections) {
      if (!Same(s.name, section)) continue;
      for (const auto& entry : s.keys) {
        if (Same(entry.first, key)) return entry.second;
      }
    }
    return std::nullopt;
  }

  static Section& SectionOf(File& file, std::string_view name) {
    for (auto& s : file.sections) {
      if (Same(s.name, name)) return s;
    }
    file.sections.push_back(Section{std::string(name), {}});
    return file.sections.back();
  }

  void Record(std::string call) { calls.push_back(std::move(call)); }

  mutable std::mutex mutex_;
  std::map<std::string, File> files_;
  std::set<std::string> unwritable_;
  std::set<std::string> unreadable_;
  std::set<std::string> oversized_;
};

}  // namespace vk605::testing
