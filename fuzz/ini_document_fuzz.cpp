// The settings exchanges over a hostile settings file: every exchange loads a key and writes the
// effective value back, so a second load must give exactly what the first one gave, and a caller's text
// buffer is never overrun. Input: "file text\0section\0key\0capacity byte".
#include <cmath>
#include <cstring>
#include <string>

#include "fuzz_input.h"
#include "memory_profile.h"
#include "settings/current_settings_file.h"
#include "settings/ini_document.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using vk605::fuzz::Fail;
  std::vector<std::string_view> parts = vk605::fuzz::SplitInput(data, size, 4);
  const std::string file = "/settings/VK605.INI";
  vk605::fuzz::MemoryProfile profile;
  profile.files[file] = std::string(parts[0]);
  vk605::CurrentSettingsFile current;
  std::string section(parts[1]);
  std::string key(parts[2]);
  // Sections and keys are the driver's own names: one line, a key that is no comment or header.
  if (section.find_first_of("\r\n") != std::string::npos || key.find_first_of("\r\n=") != std::string::npos) {
    return 0;
  }
  std::size_t first_char = key.find_first_not_of(" \t\v\f");
  if (first_char != std::string::npos &&
      (key[first_char] == ';' || key[first_char] == '#' || key[first_char] == '[')) {
    return 0;
  }
  std::size_t capacity = parts[3].empty() ? 1 : static_cast<std::uint8_t>(parts[3][0]) % 64 + 1;

  vk605::IniDocument document(section, current, profile);
  document.Open(file);
  if (current.Get() != file) Fail("open did not make the file current");

  // A guard byte after the caller's buffer shows any overrun.
  char buffer[65 + 1];
  std::memset(buffer, 'x', sizeof buffer);
  buffer[0] = '\0';
  document.ExchangeText(key.c_str(), buffer, capacity, 0);
  if (buffer[capacity] != 'x' && capacity < sizeof buffer - 1) Fail("text exchange wrote past the buffer");
  if (std::memchr(buffer, '\0', capacity) == nullptr) Fail("text exchange left the buffer unterminated");
  // A text cut to the buffer may end in blanks (CR included), which the file does not keep after a value.
  auto without_trailing_blanks = [](std::string text) {
    while (!text.empty() && std::strchr(" \t\r\n\v\f", text.back()) != nullptr) text.pop_back();
    return text;
  };
  std::string first_text = without_trailing_blanks(buffer);
  document.ExchangeText(key.c_str(), buffer, capacity, 0);
  if (first_text != without_trailing_blanks(buffer)) Fail("text changed on the second load");

  std::int32_t number = 17;
  document.ExchangeInt(key.c_str(), &number, 0);
  std::int32_t number_again = -1;
  document.ExchangeInt(key.c_str(), &number_again, 0);
  if (number != number_again) Fail("integer changed on the second load");

  std::uint16_t word = 3;
  document.ExchangeWord(key.c_str(), &word, 0);
  std::uint16_t word_again = 0;
  document.ExchangeWord(key.c_str(), &word_again, 0);
  if (word != word_again) Fail("word changed on the second load");

  std::string text = "default";
  document.ExchangeString(key.c_str(), &text, 0);
  std::string text_again = "other";
  document.ExchangeString(key.c_str(), &text_again, 0);
  if (text != text_again) Fail("string changed on the second load");

  double value = 0.5;
  document.ExchangeDouble(key.c_str(), &value, 0);
  double value_again = 0.25;
  document.ExchangeDouble(key.c_str(), &value_again, 0);
  // The file holds the value rounded to the number format; a second load reads that rounding.
  if (std::isfinite(value) && std::isfinite(value_again) && std::fabs(value - value_again) > 0.0051 &&
      std::fabs(value - value_again) > std::fabs(value) * 1e-12) {
    Fail("double moved by more than its rounding on the second load");
  }

  document.Close();
  if (current.Get() != "VK605") Fail("close did not restore the current file");
  return 0;
}
