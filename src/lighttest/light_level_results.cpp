#include "lighttest/light_level_results.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace vk605 {

namespace {

// String-table identifiers of the result labels.
constexpr int kFailedHeading = 1000;
constexpr int kPassed = 1001;
constexpr int kFailed = 1002;
constexpr int kFirstCategory = 1003;
constexpr int kNoFailure = 1006;

// The driver's string table holds no texts under the label identifiers, so every label reads as empty.
std::string Label(int /*id*/) {
  return {};
}

// Reading as a percentage of full scale. A full scale of 0 would divide by zero; such an item reads 0.
float Percentage(std::int32_t reading, std::uint32_t full_scale) {
  if (full_scale == 0) return 0.0f;
  return static_cast<float>(reading) / static_cast<float>(full_scale) * 100.0f;
}

std::string Printf(const char* format, const std::string& a, const std::string& b, const std::string& c) {
  int length = std::snprintf(nullptr, 0, format, a.c_str(), b.c_str(), c.c_str());
  if (length < 0) return {};
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  std::snprintf(text.data(), text.size(), format, a.c_str(), b.c_str(), c.c_str());
  text.resize(static_cast<std::size_t>(length));
  return text;
}

std::string ResultLine(const LightLevelTestEntry& entry) {
  float first = Percentage(entry.first_reading, entry.values[2]);
  double second = Percentage(entry.second_reading, entry.values[2]);
  std::string line = Printf("%s; %s; %s", entry.first_name, entry.second_name, entry.third_name);
  char numbers[128];
  std::snprintf(numbers, sizeof numbers, "; %.2f; %.2f", static_cast<double>(first), second);
  line += numbers;
  line += "; " + Label(entry.failed != 0 ? kFailed : kPassed);
  if (entry.category >= 0 && entry.category <= 2) line += "; " + Label(kFirstCategory + entry.category);
  line += "\n";
  return line;
}

// Copies text into out, cut so that the terminator fits in capacity bytes.
void CopyBounded(char* out, std::size_t capacity, std::string_view text) {
  std::size_t length = std::min(text.size(), capacity - 1);
  std::memmove(out, text.data(), length);
  out[length] = '\0';
}

}  // namespace

int LightLevelTestResults::PerformTest(const void* /*data*/, const char* /*text*/, int /*value*/) {
  return -1;
}

int LightLevelTestResults::Results(char* out, std::size_t capacity) const {
  if (out == nullptr || capacity == 0) return 0;
  std::string accumulated;
  // Every group prints its own entries, whether or not it carries values.
  for (const auto& group : groups_) {
    for (const auto& entry : group->entries) {
      if (entry) accumulated += ResultLine(*entry);
    }
    CopyBounded(out, capacity, accumulated);
  }
  return 0;
}

int LightLevelTestResults::Errors(char* out, std::size_t capacity) const {
  if (out == nullptr || capacity == 0) return 0;
  std::string text(out, std::find(out, out + capacity - 1, '\0'));
  bool any_failed = false;
  for (const auto& group : groups_) {
    for (const auto& entry : group->entries) {
      if (!entry || entry->failed == 0) continue;
      any_failed = true;
      text += Printf("%s; %s; %s\n", entry->first_name, entry->second_name, entry->third_name);
    }
  }
  CopyBounded(out, capacity, any_failed ? Label(kFailedHeading) + text : Label(kNoFailure));
  return 0;
}

}  // namespace vk605
