// The registry stand-in over a hostile registry file: reads honour the caller's capacity, and a value
// written into an existing key reads back. Input: "file text\0key path\0value name\0text".
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_input.h"
#include "platform/registry.h"

namespace {

std::string RegistryPath() {
  static const std::string path = [] {
    const char* tmp = std::getenv("TMPDIR");
    std::string p = std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") + "/vk605-registry-fuzz-" +
                    std::to_string(::getpid()) + ".ini";
    ::setenv("VK605_REGISTRY", p.c_str(), 1);
    return p;
  }();
  return path;
}

bool WriteFile(const std::string& path, std::string_view text) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fclose(file) == 0 && ok;
}

std::string_view Trim(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n\v\f";
  std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using vk605::fuzz::Fail;
  std::vector<std::string_view> parts = vk605::fuzz::SplitInput(data, size, 4);
  std::string path = RegistryPath();
  if (!WriteFile(path, parts[0])) Fail("cannot write the registry file");
  vk605::Registry& registry = vk605::SystemRegistry();
  std::string_view key = parts[1], name = parts[2], text = parts[3];

  for (std::size_t capacity : {std::size_t{0}, std::size_t{1}, std::size_t{16}, std::size_t{4096}}) {
    std::optional<std::string> value = registry.ReadString(key, name, capacity);
    if (value && value->size() + 1 > capacity) Fail("read returned a text larger than the capacity");
  }
  bool existed = registry.ReadString(key, name, 1 << 20).has_value();
  bool written = registry.WriteStringToExistingKey(key, name, text);
  if (existed && !written) Fail("writing an existing value failed");

  // Names and texts of one line, with a value name that stands alone as a key, read back as written.
  bool one_line =
      (std::string(key) + std::string(name) + std::string(text)).find_first_of("\r\n") == std::string::npos;
  std::string_view trimmed_name = Trim(name);
  bool plain_name =
      trimmed_name.find('=') == std::string_view::npos &&
      (trimmed_name.empty() || (trimmed_name[0] != ';' && trimmed_name[0] != '#' && trimmed_name[0] != '['));
  if (written && one_line && plain_name) {
    std::optional<std::string> back = registry.ReadString(key, name, 1 << 20);
    if (!back || *back != Trim(text)) Fail("a written value does not read back");
  }
  return 0;
}
