#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/private_profile.h"
#include "settings/current_settings_file.h"

namespace vk605 {

// Reads and writes one section of the current settings file. Every exchange either loads the key (with
// the caller's value as default) and writes the effective value straight back, or with save_only only
// writes it. Exchanges return 1 whatever the file system did.
class IniDocument {
 public:
  IniDocument(std::string section, CurrentSettingsFile& current, PrivateProfile& profile);
  ~IniDocument();
  IniDocument(const IniDocument&) = delete;
  IniDocument& operator=(const IniDocument&) = delete;

  // Makes path the current settings file until Close (an empty path does nothing).
  void Open(const std::string& path);
  void Close();
  void SetNumberFormat(const std::string& format);

  int ExchangeWord(const char* key, std::uint16_t* value, int save_only);
  int ExchangeInt(const char* key, std::int32_t* value, int save_only);
  int ExchangeString(const char* key, std::string* value, int save_only);
  // The caller's buffer holds capacity bytes; longer stored texts are truncated to fit.
  int ExchangeText(const char* key, char* buffer, std::size_t capacity, int save_only);
  int ExchangeDouble(const char* key, double* value, int save_only);
  // The key's text as a load takes it (up to its first line end), empty when the key is absent; writes
  // nothing.
  std::string ReadText(const char* key);

 private:
  std::string section_;
  std::string number_format_ = "%3.2f";
  std::vector<std::string> saved_files_;
  CurrentSettingsFile& current_;
  PrivateProfile& profile_;
};

}  // namespace vk605
