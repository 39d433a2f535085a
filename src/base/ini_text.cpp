#include "base/ini_text.h"

#include <cstdint>

namespace vk605 {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

// The name of a section header line ("[name]", blanks allowed around it and around the name).
std::optional<std::string_view> SectionNameOf(std::string_view line) {
  std::string_view text = TrimBlanks(line);
  if (text.size() < 2 || text.front() != '[') return std::nullopt;
  std::size_t close = text.rfind(']');
  if (close == 0 || close == std::string_view::npos) return std::nullopt;
  return TrimBlanks(text.substr(1, close - 1));
}

struct KeyLine {
  std::string_view key;
  std::string_view value;
};

// A "key=value" line; comment lines (';' or '#') and lines without '=' are no keys.
std::optional<KeyLine> KeyLineOf(std::string_view line) {
  std::string_view text = TrimBlanks(line);
  if (text.empty() || text.front() == ';' || text.front() == '#' || text.front() == '[') return std::nullopt;
  std::size_t equals = text.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  return KeyLine{TrimBlanks(text.substr(0, equals)), TrimBlanks(text.substr(equals + 1))};
}

std::string JoinKeyLine(std::string_view key, std::string_view value) {
  std::string line;
  line.reserve(key.size() + 1 + value.size());
  line.append(key).append("=").append(value);
  return line;
}

}  // namespace

IniText::IniText(std::string_view text, SectionNames names, IniStyle style) : names_(names), style_(style) {
  if (style_ == IniStyle::kEdited && !text.empty() && text.find("\r\n") == std::string_view::npos) {
    line_end_ = "\n";
  }
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    byte_order_mark_ = kByteOrderMark;
    text.remove_prefix(kByteOrderMark.size());
  }
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines_.emplace_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
}

bool IniText::HasSection(std::string_view section) const {
  return FindSection(section).has_value();
}

std::optional<std::string> IniText::Find(std::string_view section, std::string_view key) const {
  std::optional<std::size_t> header = FindSection(section);
  if (!header) return std::nullopt;
  std::optional<std::size_t> line = FindKey(*header, key);
  if (!line) return std::nullopt;
  return std::string(KeyLineOf(lines_[*line])->value);
}

std::vector<IniEntry> IniText::Entries(std::string_view section) const {
  std::vector<IniEntry> entries;
  std::optional<std::size_t> header = FindSection(section);
  if (!header) return entries;
  std::size_t end = SectionEnd(*header);
  for (std::size_t i = *header + 1; i < end; ++i) {
    std::optional<KeyLine> line = KeyLineOf(lines_[i]);
    if (!line) continue;
    bool seen = false;
    for (const IniEntry& entry : entries) seen = seen || EqualNoCase(entry.key, line->key);
    if (!seen) entries.push_back({std::string(line->key), std::string(line->value)});
  }
  return entries;
}

void IniText::Set(std::string_view section, std::string_view key, std::string_view value) {
  std::optional<std::size_t> header = FindSection(section);
  if (!header) {
    if (style_ == IniStyle::kEdited && !lines_.empty() && !TrimBlanks(lines_.back()).empty()) {
      lines_.emplace_back();
    }
    lines_.push_back("[" + std::string(section) + "]");
    lines_.push_back(JoinKeyLine(key, value));
    return;
  }
  if (std::optional<std::size_t> line = FindKey(*header, key)) {
    // The stored spelling of the key stays, as the system's own profile functions keep it.
    std::string stored_key(KeyLineOf(lines_[*line])->key);
    lines_[*line] = JoinKeyLine(stored_key, value);
    return;
  }
  // A new key goes after the section's last non-blank line, so the blank lines that separate it from the
  // next section stay where they are.
  std::size_t insert_at = SectionEnd(*header);
  while (insert_at > *header + 1 && TrimBlanks(lines_[insert_at - 1]).empty()) --insert_at;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insert_at), JoinKeyLine(key, value));
}

std::string IniText::Serialise() const {
  std::size_t size = byte_order_mark_.size();
  for (const std::string& line : lines_) size += line.size() + line_end_.size();
  std::string text;
  text.reserve(size);
  text.append(byte_order_mark_);
  for (const std::string& line : lines_) text.append(line).append(line_end_);
  return text;
}

std::optional<std::size_t> IniText::FindSection(std::string_view section) const {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    std::optional<std::string_view> name = SectionNameOf(lines_[i]);
    if (name && SameSection(*name, section)) return i;
  }
  return std::nullopt;
}

std::optional<std::size_t> IniText::FindKey(std::size_t header, std::string_view key) const {
  std::string_view wanted = TrimBlanks(key);
  std::size_t end = SectionEnd(header);
  for (std::size_t i = header + 1; i < end; ++i) {
    std::optional<KeyLine> line = KeyLineOf(lines_[i]);
    if (line && EqualNoCase(line->key, wanted)) return i;
  }
  return std::nullopt;
}

std::size_t IniText::SectionEnd(std::size_t header) const {
  std::size_t i = header + 1;
  while (i < lines_.size() && !SectionNameOf(lines_[i])) ++i;
  return i;
}

bool IniText::SameSection(std::string_view stored, std::string_view wanted) const {
  wanted = TrimBlanks(wanted);
  if (names_ == SectionNames::kPlain) return EqualNoCase(stored, wanted);
  return EqualNoCase(NormaliseKeyPath(stored), NormaliseKeyPath(wanted));
}

int ProfileIntFromText(std::string_view value) {
  std::size_t i = 0;
  while (i < value.size() && static_cast<unsigned char>(value[i]) <= ' ') ++i;
  bool negative = false;
  if (i < value.size() && (value[i] == '-' || value[i] == '+')) {
    negative = value[i] == '-';
    ++i;
  }
  std::uint32_t result = 0;
  for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
    result = result * 10u + static_cast<std::uint32_t>(value[i] - '0');
  }
  if (negative) result = 0u - result;
  return static_cast<int>(result);
}

std::string NormaliseKeyPath(std::string_view path) {
  std::string result;
  result.reserve(path.size());
  bool pending_separator = false;
  for (char c : path) {
    if (c == '\\') {
      pending_separator = !result.empty();
      continue;
    }
    if (pending_separator) result.push_back('\\');
    pending_separator = false;
    result.push_back(c);
  }
  return result;
}

}  // namespace vk605
