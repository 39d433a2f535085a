#include "platform/private_profile.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdint>

#include "base/ini_text.h"
#include "platform/file_io.h"
#include "platform/posix/new_file.h"
#include "platform/posix/unique_fd.h"

namespace vk605 {

namespace {

// Longest text a profile read returns, as the system's 4096-byte read buffer holds it with its terminator.
constexpr std::size_t kMaxProfileText = 4095;

// Private-profile files kept by the driver itself, with the semantics of the Windows profile functions.
// Every call reads the file afresh, so other programs may edit it between calls.
class PosixPrivateProfile : public PrivateProfile {
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
    if (text.size() > kMaxProfileText) text.resize(kMaxProfileText);
    return text;
  }

  bool WriteString(std::string_view section, std::string_view key, std::string_view text,
                   const std::string& file) override {
    if (IsOversized(file)) return false;
    std::string content;
    // A file that exists but cannot be read is not overwritten: its other settings would be lost.
    std::error_code read_error = ReadWholeFile(file, content);
    if (read_error && !IsMissingFile(read_error)) return false;
    IniText ini(content);
    ini.Set(section, key, text);
    std::string updated = ini.Serialise();
    // The settings code writes every value it loads straight back; a file that already holds exactly
    // that text is left alone instead of being replaced (and flushed to disk) once more.
    if (!read_error && updated == content) return true;
    return !ReplaceFileAtomically(file, updated);
  }

  bool IsOversized(const std::string& file) override {
    struct stat status {};
    return ::stat(file.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
           static_cast<std::uintmax_t>(status.st_size) > kMaxSettingsFileSize;
  }

  bool CanOpenForReading(const std::string& file) override {
    UniqueFd fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat status {};
    // A directory opens for reading here but is no profile file (and does not open on Windows).
    return fd.IsValid() && ::fstat(fd.Get(), &status) == 0 && !S_ISDIR(status.st_mode);
  }

  // 0644 like every settings file the driver creates (see ReplaceFileAtomically).
  bool CreateEmpty(const std::string& file) override {
    return OpenOrCreateWithMode(file, O_WRONLY | O_NONBLOCK | O_CLOEXEC, 0644).IsValid();
  }

 private:
  std::optional<std::string> Lookup(std::string_view section, std::string_view key, const std::string& file) {
    if (IsOversized(file)) return std::nullopt;
    std::string content;
    if (ReadWholeFile(file, content)) return std::nullopt;
    return IniText(content).Find(section, key);
  }
};

}  // namespace

PrivateProfile& SystemPrivateProfile() {
  static PosixPrivateProfile profile;
  return profile;
}

}  // namespace vk605
