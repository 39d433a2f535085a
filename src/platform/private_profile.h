#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vk605 {

// Settings files are a few kilobytes; a larger one is no settings file the driver wrote, and reading or
// rewriting it would cost the host time and memory for nothing.
inline constexpr std::size_t kMaxSettingsFileSize = 1024 * 1024;

// The private-profile (INI file) operations settings go through. Sections and keys compare
// case-insensitively; lines the driver does not own are kept; every write replaces the file atomically.
// A file above kMaxSettingsFileSize is neither read nor written.
class PrivateProfile {
 public:
  virtual ~PrivateProfile() = default;
  // The integer after the key (decimal, optional sign; a non-numeric text reads as 0), or fallback when the
  // key is absent or its value empty.
  virtual int GetInt(std::string_view section, std::string_view key, int fallback,
                     const std::string& file) = 0;
  // The key's text with surrounding blanks removed, at most 4095 characters, or fallback when absent.
  virtual std::string GetString(std::string_view section, std::string_view key, std::string_view fallback,
                                const std::string& file) = 0;
  // Sets the key, creating file, section and key as needed. False when the file cannot be written.
  virtual bool WriteString(std::string_view section, std::string_view key, std::string_view text,
                           const std::string& file) = 0;
  // True when the file exists and can be opened for reading.
  virtual bool CanOpenForReading(const std::string& file) = 0;
  // Creates the file empty; true on success.
  virtual bool CreateEmpty(const std::string& file) = 0;
  // True when the file is larger than kMaxSettingsFileSize. Such a file is left alone: reads give the
  // fallbacks and writes fail without touching it.
  virtual bool IsOversized(const std::string& file) {
    (void)file;
    return false;
  }
};

PrivateProfile& SystemPrivateProfile();

}  // namespace vk605
