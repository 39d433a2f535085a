#include "lighttest/whiteness_parameters.h"

#include <gtest/gtest.h>

#include "fakes/fake_private_profile.h"

namespace vk605 {
namespace {

constexpr const char* kWhitenessMainFile = "/opt/vk605/VK605.INI";

class WhitenessParametersTest : public ::testing::Test {
 protected:
  WhitenessParametersTest() { current_.Set(kWhitenessMainFile); }

  static void ExpectDefaults(const WhitenessParameters& p) {
    EXPECT_DOUBLE_EQ(p.phi, 15.0);
    EXPECT_DOUBLE_EQ(p.d, 0.0008);
    EXPECT_DOUBLE_EQ(p.bandwidth, 1.0);
    EXPECT_DOUBLE_EQ(p.p, -1868.322);
    EXPECT_DOUBLE_EQ(p.q, -3695.69);
    EXPECT_DOUBLE_EQ(p.c, 1809.441);
    EXPECT_DOUBLE_EQ(p.m, -1001.223);
    EXPECT_DOUBLE_EQ(p.n, 748.366);
    EXPECT_DOUBLE_EQ(p.k, 68.261);
  }

  CurrentSettingsFile current_;
  testing::FakePrivateProfile profile_;
};

TEST_F(WhitenessParametersTest, OtherGeometriesGetTheDefaultsAndLeaveTheFileAlone) {
  WhitenessParameters out;
  out.phi = 99.0;
  EXPECT_EQ(LoadWhitenessParameters(0, current_, profile_, out), -1);
  ExpectDefaults(out);
  EXPECT_TRUE(profile_.calls.empty());
}

TEST_F(WhitenessParametersTest, GeometryOneWritesEveryDefaultWithFourDecimals) {
  profile_.WriteString("MAIN", "PORT", "COM1:", kWhitenessMainFile);
  WhitenessParameters out;
  EXPECT_EQ(LoadWhitenessParameters(1, current_, profile_, out), 0);
  ExpectDefaults(out);
  EXPECT_EQ(profile_.Dump(kWhitenessMainFile),
            "[MAIN]\r\nPORT=COM1:\r\nPHI=15.0000\r\nD=0.0008\r\nBandwidth=1.0000\r\nP=-1868.3220\r\n"
            "Q=-3695.6900\r\nC=1809.4410\r\nm=-1001.2230\r\nn=748.3660\r\nk=68.2610\r\n");
  EXPECT_EQ(current_.Get(), kWhitenessMainFile);
}

TEST_F(WhitenessParametersTest, StoredValueKeepsItsPrecisionOnceAndIsRewrittenRounded) {
  profile_.WriteString("MAIN", "D", "0.00076", kWhitenessMainFile);
  WhitenessParameters out;
  LoadWhitenessParameters(1, current_, profile_, out);
  EXPECT_DOUBLE_EQ(out.d, 0.00076);
  EXPECT_EQ(profile_.Value(kWhitenessMainFile, "MAIN", "D"), "0.0008");
  LoadWhitenessParameters(1, current_, profile_, out);
  EXPECT_DOUBLE_EQ(out.d, 0.0008);
}

TEST_F(WhitenessParametersTest, NonNumericValueReadsAsZero) {
  profile_.WriteString("MAIN", "k", "sixty-eight", kWhitenessMainFile);
  WhitenessParameters out;
  LoadWhitenessParameters(1, current_, profile_, out);
  EXPECT_EQ(out.k, 0.0);
  EXPECT_EQ(profile_.Value(kWhitenessMainFile, "MAIN", "k"), "0.0000");
}

}  // namespace
}  // namespace vk605
