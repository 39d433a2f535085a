// The INI reader and writer: any file text is read and written back without loss, and a key written is
// read back, also after the file is written out and read again. Input: "file text\0section\0key\0value".
#include <string>

#include "base/ini_text.h"
#include "fuzz_input.h"

namespace {

bool HasLineEnd(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

std::string_view Trim(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n\v\f";
  std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// Names and values a caller can store and get back: one line, a key that is no comment, section header
// or "key=value" by itself.
bool Storable(std::string_view section, std::string_view key, std::string_view value) {
  if (HasLineEnd(section) || HasLineEnd(key) || HasLineEnd(value)) return false;
  std::string_view trimmed_key = Trim(key);
  if (trimmed_key.find('=') != std::string_view::npos) return false;
  if (!trimmed_key.empty() && (trimmed_key[0] == ';' || trimmed_key[0] == '#' || trimmed_key[0] == '[')) {
    return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using vk605::fuzz::Fail;
  std::vector<std::string_view> parts = vk605::fuzz::SplitInput(data, size, 4);
  std::string_view text = parts[0], section = parts[1], key = parts[2], value = parts[3];

  for (vk605::SectionNames names : {vk605::SectionNames::kPlain, vk605::SectionNames::kKeyPaths}) {
    vk605::IniText ini(text, names);
    std::string once = ini.Serialise();
    vk605::IniText again(once, names);
    if (again.Serialise() != once) Fail("writing back a read file changes it");
    if (ini.Find(section, key) != again.Find(section, key)) Fail("a value reads differently after a write");
    if (ini.HasSection(section) != again.HasSection(section)) Fail("a section vanished after a write");

    if (!Storable(section, key, value)) continue;
    ini.Set(section, key, value);
    std::optional<std::string> stored = ini.Find(section, key);
    if (!stored || *stored != Trim(value)) Fail("a written value does not read back");
    vk605::IniText reread(ini.Serialise(), names);
    stored = reread.Find(section, key);
    if (!stored || *stored != Trim(value)) Fail("a written value does not read back from the file");
  }
  vk605::ProfileIntFromText(text);
  vk605::NormaliseKeyPath(text);
  return 0;
}
