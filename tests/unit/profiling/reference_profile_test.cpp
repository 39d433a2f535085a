#include "reference_profile.h"

#include <gtest/gtest.h>

namespace vk605::reference {
namespace {

constexpr const char* kMinimal = "created = 2004-07-30 14:05:09\n";

TEST(ReferenceProfile, MinimalProfileIsIdentity) {
  std::optional<ReferenceProfile> profile = ParseReferenceProfile(kMinimal);
  ASSERT_TRUE(profile);
  EXPECT_DOUBLE_EQ(profile->created, 38198.0 + (14 * 3600 + 5 * 60 + 9) / 86400.0);
  float values[kPoints];
  for (int i = 0; i < kPoints; ++i) values[i] = static_cast<float>(i);
  bool corrected = false;
  EXPECT_EQ(CorrectSpectrum(*profile, false, values, 1, corrected), 0);
  EXPECT_TRUE(corrected);
  for (int i = 0; i < kPoints; ++i) EXPECT_EQ(values[i], static_cast<float>(i));
}

TEST(ReferenceProfile, GainOffsetPerTableAndSpecularOffset) {
  std::optional<ReferenceProfile> profile = ParseReferenceProfile(
      "# comment\r\ncreated=2004-07-30 14:05:09\r\n\r\nreflectance.360 = 2 -1\r\ntransmission.750 = 0.5 3\r\n"
      "specular-included-offset = 10\r\ndescription = some text\r\n");
  ASSERT_TRUE(profile);
  EXPECT_EQ(profile->description, "some text");
  float values[kPoints];
  bool corrected = false;
  for (float& v : values) v = 4.0f;
  EXPECT_EQ(CorrectSpectrum(*profile, false, values, 0, corrected), 0);
  EXPECT_EQ(values[0], 7.0f);
  EXPECT_EQ(values[39], 4.0f);
  for (float& v : values) v = 4.0f;
  EXPECT_EQ(CorrectSpectrum(*profile, true, values, 1, corrected), 0);
  EXPECT_EQ(values[0], 14.0f);
  EXPECT_EQ(values[39], 15.0f);
}

TEST(ReferenceProfile, RefuseAndFail) {
  std::optional<ReferenceProfile> refusing = ParseReferenceProfile(std::string(kMinimal) + "refuse = 1\n");
  ASSERT_TRUE(refusing);
  float values[kPoints] = {};
  bool corrected = true;
  EXPECT_EQ(CorrectSpectrum(*refusing, false, values, 0, corrected), 0);
  EXPECT_FALSE(corrected);
  std::optional<ReferenceProfile> failing =
      ParseReferenceProfile(std::string(kMinimal) + "fail = 0x80040203\n");
  ASSERT_TRUE(failing);
  EXPECT_EQ(CorrectSpectrum(*failing, true, values, 0, corrected), static_cast<std::int32_t>(0x80040203u));
  EXPECT_FALSE(corrected);
  ASSERT_TRUE(ParseReferenceProfile(std::string(kMinimal) + "fail = -2147467259\n"));
  EXPECT_EQ(ParseReferenceProfile(std::string(kMinimal) + "fail = -2147467259\n")->fail_status,
            static_cast<std::int32_t>(0x80004005u));
}

TEST(ReferenceProfile, InvalidTextsDoNotLoad) {
  EXPECT_FALSE(ParseReferenceProfile(""));
  EXPECT_FALSE(ParseReferenceProfile("description = no date\n"));
  EXPECT_FALSE(ParseReferenceProfile("created = 2004-02-30 10:00:00\n"));
  EXPECT_FALSE(ParseReferenceProfile("created = 2004-07-30 24:00:00\n"));
  EXPECT_FALSE(ParseReferenceProfile(std::string(kMinimal) + "reflectance.365 = 1 0\n"));
  EXPECT_FALSE(ParseReferenceProfile(std::string(kMinimal) + "reflectance.760 = 1 0\n"));
  EXPECT_FALSE(ParseReferenceProfile(std::string(kMinimal) + "reflectance.360 = 1\n"));
  EXPECT_FALSE(ParseReferenceProfile(std::string(kMinimal) + "reflectance.360 = 1 0 5\n"));
  EXPECT_FALSE(ParseReferenceProfile(std::string(kMinimal) + "colour = red\n"));
  EXPECT_FALSE(ParseReferenceProfile(std::string(kMinimal) + "no equals sign\n"));
  EXPECT_FALSE(ParseReferenceProfile(std::string(kMinimal) + "fail = 0x1FFFFFFFF\n"));
}

TEST(ReferenceProfile, MissingFileDoesNotLoad) {
  EXPECT_FALSE(LoadReferenceProfile("/nonexistent/vk605/profile.prf"));
}

}  // namespace
}  // namespace vk605::reference
