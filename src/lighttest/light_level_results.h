#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vk605 {

struct LightLevelTestEntry {
  virtual ~LightLevelTestEntry() = default;
  std::string first_name;
  std::string second_name;
  std::string third_name;
  std::uint32_t values[6] = {};  // values[2] is the full-scale value
  std::int32_t category = 0;
  std::int32_t first_reading = 0;
  std::int32_t second_reading = 0;
  std::int32_t failed = 0;
};

struct LightLevelTestGroup {
  std::int32_t first_value = 0;
  std::int32_t second_value = 0;
  std::vector<std::int32_t> values;
  std::vector<std::unique_ptr<LightLevelTestEntry>> entries;
};

// Driver-wide light-level test results. This instrument never adds a group; the formatting is kept for
// the results exports.
class LightLevelTestResults {
 public:
  // Returns -1: the instrument does not perform the test.
  int PerformTest(const void* data, const char* text, int value);
  // Writes one line per entry into out (untouched when there is no group). Returns 0.
  int Results(char* out, std::size_t capacity) const;
  // Appends failed entries to the text in out, prefixed by the heading, or the no-failure text.
  int Errors(char* out, std::size_t capacity) const;
  void AddGroup(std::unique_ptr<LightLevelTestGroup> group) { groups_.push_back(std::move(group)); }

 private:
  std::vector<std::unique_ptr<LightLevelTestGroup>> groups_;
};

}  // namespace vk605
