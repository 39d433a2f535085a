#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vk605 {

// How section names of an INI text compare with the names asked for.
enum class SectionNames {
  kPlain,     // case-insensitive, blanks around the name ignored
  kKeyPaths,  // also backslash runs collapsed and outer backslashes ignored (registry key paths)
};

// How the text is written back.
enum class IniStyle {
  kProfile,  // as the driver's profile writes: CR LF line ends, a new section right after the last line
  kEdited,   // as a text editor keeps a file: its own line ends (LF when it has lines but no CR LF), and a
             // blank line between the last line and a new section
};

// One key of a section as stored: the key's spelling and its value with surrounding blanks removed.
struct IniEntry {
  std::string key;
  std::string value;
  bool operator==(const IniEntry&) const = default;
};

// The text of an INI file as lines, with private-profile semantics: sections and keys compare
// case-insensitively, the first of duplicate sections or keys is the one read and written, and every line
// that is not the key being written (comments, blank lines, other keys, unreadable text) is kept as it is.
// Reads accept LF and CR LF line ends; the text is written back in the given style.
class IniText {
 public:
  explicit IniText(std::string_view text, SectionNames names = SectionNames::kPlain,
                   IniStyle style = IniStyle::kProfile);

  bool HasSection(std::string_view section) const;
  // The key's value with surrounding blanks removed; empty when the section or the key is missing.
  std::optional<std::string> Find(std::string_view section, std::string_view key) const;
  // Every key of the section in the order of the text, each once (the first of duplicates, as Find reads
  // it); empty when the section is missing.
  std::vector<IniEntry> Entries(std::string_view section) const;
  // Replaces the key's value in place (keeping the key's stored spelling), or adds the key at the end of
  // its section, or adds the section at the end of the text.
  void Set(std::string_view section, std::string_view key, std::string_view value);
  std::string Serialise() const;

 private:
  std::optional<std::size_t> FindSection(std::string_view section) const;
  std::optional<std::size_t> FindKey(std::size_t header, std::string_view key) const;
  std::size_t SectionEnd(std::size_t header) const;
  bool SameSection(std::string_view stored, std::string_view wanted) const;

  std::string byte_order_mark_;
  std::vector<std::string> lines_;
  SectionNames names_;
  IniStyle style_;
  std::string_view line_end_ = "\r\n";
};

// The integer a private-profile read gives for a stored value: leading blanks and one sign skipped, then
// the decimal digits up to the first other character, accumulated modulo 2^32; no digits read as 0.
int ProfileIntFromText(std::string_view value);

// A registry key path with runs of backslashes collapsed and leading and trailing backslashes removed.
std::string NormaliseKeyPath(std::string_view path);

}  // namespace vk605
