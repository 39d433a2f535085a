#include "output.h"

#include <cstdio>

namespace vk605::tool {

void Output::Text(const std::string& text) const {
  if (json_) return;
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

void Output::Object(const JsonObject& object) const {
  if (!json_) return;
  std::string line = object.Text() + "\n";
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
}

}  // namespace vk605::tool
