#pragma once

#include <stdlib.h>

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace vk605::sim::testing {

// Number of CR LF line ends in a reply, as the driver counts them.
inline std::size_t CountLineEnds(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t at = text.find("\r\n"); at != std::string_view::npos; at = text.find("\r\n", at + 2))
    ++count;
  return count;
}

// A fresh directory under /tmp, removed with its contents when the object goes.
class TempDirectory {
 public:
  TempDirectory() {
    std::string pattern = "/tmp/vk605-sim-test-XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;
  ~TempDirectory() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }

  bool IsValid() const { return !path_.empty(); }
  std::string File(std::string_view name) const { return path_ + "/" + std::string(name); }

 private:
  std::string path_;
};

}  // namespace vk605::sim::testing
