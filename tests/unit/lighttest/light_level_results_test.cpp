#include "lighttest/light_level_results.h"

#include <cstring>
#include <memory>
#include <string>

#include <gtest/gtest.h>

namespace vk605 {
namespace {

std::unique_ptr<LightLevelTestEntry> Entry(const char* a, const char* b, const char* c, std::int32_t first,
                                           std::int32_t second, std::uint32_t full_scale,
                                           std::int32_t category, std::int32_t failed) {
  auto entry = std::make_unique<LightLevelTestEntry>();
  entry->first_name = a;
  entry->second_name = b;
  entry->third_name = c;
  entry->values[2] = full_scale;
  entry->first_reading = first;
  entry->second_reading = second;
  entry->category = category;
  entry->failed = failed;
  return entry;
}

std::unique_ptr<LightLevelTestGroup> Group(std::unique_ptr<LightLevelTestEntry> a,
                                           std::unique_ptr<LightLevelTestEntry> b = nullptr) {
  auto group = std::make_unique<LightLevelTestGroup>();
  group->values = {1, 2};
  group->entries.push_back(std::move(a));
  if (b) group->entries.push_back(std::move(b));
  return group;
}

TEST(LightLevelTestResultsTest, TheInstrumentDoesNotPerformTheTest) {
  LightLevelTestResults results;
  EXPECT_EQ(results.PerformTest(nullptr, nullptr, 0), -1);
  EXPECT_EQ(results.PerformTest(&results, "white", 7), -1);
  char out[32] = "unchanged";
  results.Results(out, sizeof out);
  EXPECT_STREQ(out, "unchanged");
}

TEST(LightLevelTestResultsTest, EmptyListLeavesTheResultsBufferUntouched) {
  LightLevelTestResults results;
  char out[64];
  std::memset(out, 0x5A, sizeof out);
  EXPECT_EQ(results.Results(out, sizeof out), 0);
  for (char c : out) ASSERT_EQ(c, 0x5A);
}

TEST(LightLevelTestResultsTest, EmptyListGivesTheEmptyNoFailureText) {
  LightLevelTestResults results;
  char out[64] = "previous text";
  EXPECT_EQ(results.Errors(out, sizeof out), 0);
  EXPECT_STREQ(out, "");
}

TEST(LightLevelTestResultsTest, PassedEntryLineWithCategoryOne) {
  LightLevelTestResults results;
  results.AddGroup(Group(Entry("X", "Y", "Z", 50, 75, 200, 1, 0)));
  char out[128];
  EXPECT_EQ(results.Results(out, sizeof out), 0);
  EXPECT_STREQ(out, "X; Y; Z; 25.00; 37.50; ; \n");
}

TEST(LightLevelTestResultsTest, OtherCategoriesPrintNoCategoryLabel) {
  LightLevelTestResults results;
  results.AddGroup(Group(Entry("R", "G", "B", -1, 1000, 8, 3, 1), Entry("a", "b", "c", 0, 0, 1, -1, 0)));
  results.AddGroup(Group(Entry("d", "e", "f", 1, 2, 4, 0, 0)));
  char out[256];
  results.Results(out, sizeof out);
  EXPECT_STREQ(out, "R; G; B; -12.50; 12500.00; \na; b; c; 0.00; 0.00; \nd; e; f; 25.00; 50.00; ; \n");
}

TEST(LightLevelTestResultsTest, FullScaleZeroReadsAsZeroPercent) {
  LightLevelTestResults results;
  results.AddGroup(Group(Entry("X", "Y", "Z", 50, 75, 0, 2, 0)));
  char out[128];
  results.Results(out, sizeof out);
  EXPECT_STREQ(out, "X; Y; Z; 0.00; 0.00; ; \n");
}

TEST(LightLevelTestResultsTest, ResultsAreCutToTheCapacity) {
  LightLevelTestResults results;
  results.AddGroup(Group(Entry("X", "Y", "Z", 50, 75, 200, 1, 0)));
  char out[16];
  std::memset(out, '#', sizeof out);
  results.Results(out, 10);
  EXPECT_STREQ(out, "X; Y; Z; ");
  EXPECT_EQ(out[10], '#');
}

TEST(LightLevelTestResultsTest, FailedEntriesAreAppendedToTheCallersText) {
  LightLevelTestResults results;
  results.AddGroup(Group(Entry("X", "Y", "Z", 1, 1, 1, 0, 1), Entry("ok", "ok", "ok", 1, 1, 1, 0, 0)));
  results.AddGroup(Group(Entry("U", "V", "W", 1, 1, 1, 0, 2)));
  char out[64] = "before\n";
  EXPECT_EQ(results.Errors(out, sizeof out), 0);
  EXPECT_STREQ(out, "before\nX; Y; Z\nU; V; W\n");
}

TEST(LightLevelTestResultsTest, NoFailedEntryReplacesTheCallersText) {
  LightLevelTestResults results;
  results.AddGroup(Group(Entry("ok", "ok", "ok", 1, 1, 1, 0, 0)));
  char out[64] = "before\n";
  results.Errors(out, sizeof out);
  EXPECT_STREQ(out, "");
}

TEST(LightLevelTestResultsTest, ErrorsAreCutToTheCapacity) {
  LightLevelTestResults results;
  results.AddGroup(Group(Entry("first", "second", "third", 1, 1, 1, 0, 1)));
  char out[12];
  std::memset(out, '#', sizeof out);
  std::memcpy(out, "ab", 3);
  results.Errors(out, 8);
  EXPECT_STREQ(out, "abfirst");
  EXPECT_EQ(out[8], '#');
}

}  // namespace
}  // namespace vk605
