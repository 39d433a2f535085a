#include "profiling/profiling_client.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fakes/fake_profiling_alerts.h"
#include "fakes/fake_profiling_component.h"
#include "fakes/fake_registry.h"

namespace vk605 {
namespace {

using testing::FakeProfilingAlerts;
using testing::FakeProfilingComponents;
using testing::FakeRegistry;

constexpr const char* kFirstKey = "Software\\Orvanta\\Calvera\\Profiles\\VK605-1234";
constexpr const char* kSecondKey = "Software\\Orvanta\\Calvera 1.0\\Profiles\\VK605-1234";

class ProfilingClientTest : public ::testing::Test {
 protected:
  ProfilingClientTest() { registry_.SetValue(kFirstKey, "LocalFile", "/profiles/1234.prf"); }

  std::vector<std::string>& Calls() { return components_.script.calls; }

  FakeProfilingComponents components_;
  FakeRegistry registry_;
  FakeProfilingAlerts alerts_;
  ProfilingClient client_{components_, registry_, alerts_};
};

TEST_F(ProfilingClientTest, OpenLoadsTheRegisteredProfileInTheComponentOrder) {
  EXPECT_EQ(client_.Open("VK605-1234"), 0);
  EXPECT_EQ(Calls(), (std::vector<std::string>{"start", "load:/profiles/1234.prf", "loaded?", "description",
                                               "secondary"}));
  EXPECT_EQ(client_.IsProfileLoaded(), 1);
  EXPECT_EQ(client_.IsComponentRunning(), 1);
}

TEST_F(ProfilingClientTest, ProfileLoadedAnswerAloneAlsoCountsAsLoaded) {
  components_.script.load_answer = false;
  components_.script.loaded_answer = true;
  EXPECT_EQ(client_.Open("VK605-1234"), 0);
}

TEST_F(ProfilingClientTest, ProfileThatDoesNotLoadIs401) {
  components_.script.load_answer = false;
  EXPECT_EQ(client_.Open("VK605-1234"), 401);
  EXPECT_EQ(client_.IsProfileLoaded(), 0);
  EXPECT_EQ(client_.IsComponentRunning(), 1);
}

// A load call that fails is no "yes", even if its out value was left true.
TEST_F(ProfilingClientTest, FailingLoadCallIsNotALoadedProfile) {
  components_.script.load_status = static_cast<ComponentStatus>(0x80004005u);
  EXPECT_EQ(client_.Open("VK605-1234"), 401);
}

TEST_F(ProfilingClientTest, ComponentThatDoesNotStartIs401AndNotRunning) {
  components_.script.startable = false;
  EXPECT_EQ(client_.Open("VK605-1234"), 401);
  EXPECT_EQ(client_.IsComponentRunning(), 0);
  EXPECT_EQ(Calls(), (std::vector<std::string>{"start"}));
}

TEST_F(ProfilingClientTest, SerialWithoutProfileKeyIs401WithoutLoading) {
  EXPECT_EQ(client_.Open("VK605-9999"), 401);
  EXPECT_EQ(Calls(), (std::vector<std::string>{"start"}));
  EXPECT_EQ(client_.IsComponentRunning(), 1);
}

TEST_F(ProfilingClientTest, SecondKeyIsUsedWhenTheFirstIsMissing) {
  FakeRegistry registry;
  registry.SetValue(kSecondKey, "LocalFile", "/old/1234.prf");
  ProfilingClient client(components_, registry, alerts_);
  EXPECT_EQ(client.Open("VK605-1234"), 0);
  EXPECT_EQ(Calls().at(1), "load:/old/1234.prf");
}

// The first key that opens is the one read, even when it has no path and the second key has one.
TEST_F(ProfilingClientTest, FirstKeyWinsEvenWithoutItsValue) {
  FakeRegistry registry;
  registry.AddKey(kFirstKey);
  registry.SetValue(kSecondKey, "LocalFile", "/old/1234.prf");
  ProfilingClient client(components_, registry, alerts_);
  components_.script.load_answer = false;
  EXPECT_EQ(client.Open("VK605-1234"), 401);
  EXPECT_EQ(Calls().at(1), "load:");
}

TEST_F(ProfilingClientTest, PathOf128BytesWithTerminatorIsTooLongAndNotPassed) {
  registry_.SetValue(kFirstKey, "LocalFile", std::string(127, 'p'));
  EXPECT_EQ(client_.Open("VK605-1234"), 0);
  EXPECT_EQ(Calls().at(1), "load:" + std::string(127, 'p'));
  registry_.SetValue(kFirstKey, "LocalFile", std::string(128, 'p'));
  EXPECT_EQ(client_.Open("VK605-1234"), 0);
  EXPECT_EQ(Calls().back(), "secondary");
  EXPECT_EQ(Calls().at(Calls().size() - 4), "load:");
}

TEST_F(ProfilingClientTest, ApplyRoundsThroughSinglePrecisionPercent) {
  ASSERT_EQ(client_.Open("VK605-1234"), 0);
  double spectrum[40];
  for (int i = 0; i < 40; ++i) spectrum[i] = 0.123456789;
  EXPECT_EQ(client_.Apply(spectrum, 1, 0), 0);
  EXPECT_EQ(components_.script.received.at(0), static_cast<float>(12.3456789));
  for (double value : spectrum) EXPECT_EQ(value, static_cast<double>(static_cast<float>(12.3456789)) * 0.01);
  EXPECT_NE(spectrum[0], 0.123456789);
  EXPECT_EQ(Calls().back(), "reflectance:0");
}

TEST_F(ProfilingClientTest, SpecularFlagZeroMeansSpecularIncluded) {
  ASSERT_EQ(client_.Open("VK605-1234"), 0);
  double spectrum[40] = {};
  EXPECT_EQ(client_.Apply(spectrum, 0, 0), 0);
  EXPECT_EQ(Calls().back(), "reflectance:1");
}

TEST_F(ProfilingClientTest, CorrectionIsAppliedAndNegativesBecomeZero) {
  components_.script.correction = [](float* values) {
    values[0] = -3.0f;
    values[1] = 50.0f;
  };
  ASSERT_EQ(client_.Open("VK605-1234"), 0);
  double spectrum[40] = {};
  EXPECT_EQ(client_.Apply(spectrum, 1, 0), 0);
  EXPECT_EQ(spectrum[0], 0.0);
  EXPECT_EQ(spectrum[1], 50.0 * 0.01);
}

TEST_F(ProfilingClientTest, ModeOneUsesTheTransmissionCorrection) {
  ASSERT_EQ(client_.Open("VK605-1234"), 0);
  double spectrum[40] = {};
  EXPECT_EQ(client_.Apply(spectrum, 1, 1), 0);
  EXPECT_EQ(Calls().back(), "transmission:0");
}

TEST_F(ProfilingClientTest, OtherModesCallNothingButStillRoundAndClip) {
  ASSERT_EQ(client_.Open("VK605-1234"), 0);
  std::size_t calls = Calls().size();
  double spectrum[40];
  for (double& value : spectrum) value = -0.25;
  spectrum[5] = 0.123456789;
  EXPECT_EQ(client_.Apply(spectrum, 1, 2), 0);
  EXPECT_EQ(Calls().size(), calls);
  EXPECT_EQ(spectrum[0], 0.0);
  EXPECT_EQ(spectrum[5], static_cast<double>(static_cast<float>(12.3456789)) * 0.01);
}

TEST_F(ProfilingClientTest, RefusalIsFailureWithTheValuesStillCopiedBack) {
  components_.script.correct_answer = false;
  ASSERT_EQ(client_.Open("VK605-1234"), 0);
  double spectrum[40];
  for (double& value : spectrum) value = -0.5;
  EXPECT_EQ(client_.Apply(spectrum, 1, 0), 1);
  EXPECT_EQ(spectrum[0], 0.0);
  EXPECT_TRUE(alerts_.shown.empty());
}

TEST_F(ProfilingClientTest, FailingCallShowsTheErrorAndLeavesTheSpectrum) {
  components_.script.correct_status = static_cast<ComponentStatus>(0x80040205u);
  components_.script.correction = [](float* values) { values[0] = 99.0f; };
  ASSERT_EQ(client_.Open("VK605-1234"), 0);
  double spectrum[40];
  for (double& value : spectrum) value = -0.5;
  EXPECT_EQ(client_.Apply(spectrum, 1, 0), 1);
  for (double value : spectrum) EXPECT_EQ(value, -0.5);
  ASSERT_EQ(alerts_.shown.size(), 1u);
  EXPECT_EQ(alerts_.shown[0], "IDispatch error #5");
}

TEST_F(ProfilingClientTest, SystemMessageIsShownWithoutItsLineEnd) {
  components_.script.correct_status = static_cast<ComponentStatus>(0x80004005u);
  components_.script.system_message = "Unspecified error\r\n";
  ASSERT_EQ(client_.Open("VK605-1234"), 0);
  double spectrum[40] = {};
  EXPECT_EQ(client_.Apply(spectrum, 1, 0), 1);
  ASSERT_EQ(alerts_.shown.size(), 1u);
  EXPECT_EQ(alerts_.shown[0], "Unspecified error");
}

TEST_F(ProfilingClientTest, MissingTransmissionInterfaceIsAComponentError) {
  components_.script.has_transmission = false;
  ASSERT_EQ(client_.Open("VK605-1234"), 0);
  double spectrum[40];
  for (double& value : spectrum) value = 0.123456789;
  EXPECT_EQ(client_.Apply(spectrum, 1, 1), 1);
  EXPECT_EQ(spectrum[0], 0.123456789);
  ASSERT_EQ(alerts_.shown.size(), 1u);
  EXPECT_EQ(alerts_.shown[0], "Unknown error 0x80004002");
}

TEST_F(ProfilingClientTest, ApplyWithoutProfileLeavesTheSpectrumBitForBit) {
  components_.script.load_answer = false;
  EXPECT_EQ(client_.Open("VK605-1234"), 401);
  double spectrum[40];
  for (double& value : spectrum) value = -0.123456789;
  EXPECT_EQ(client_.Apply(spectrum, 1, 0), 0);
  for (double value : spectrum) EXPECT_EQ(value, -0.123456789);
}

TEST_F(ProfilingClientTest, CloseReleasesTheMainInterfaceAndForgetsTheProfile) {
  ASSERT_EQ(client_.Open("VK605-1234"), 0);
  EXPECT_EQ(client_.Close(), 0);
  EXPECT_EQ(Calls().back(), "release-main");
  EXPECT_EQ(client_.IsProfileLoaded(), 0);
  EXPECT_EQ(client_.IsComponentRunning(), 0);
}

TEST_F(ProfilingClientTest, SignatureWithTheCreationDate) {
  components_.script.date = 38198.0 + (14 * 3600 + 5 * 60 + 9) / 86400.0;  // 30 July 2004 14:05:09
  ASSERT_EQ(client_.Open("VK605-1234"), 0);
  char text[64];
  std::memset(text, 'x', sizeof(text));
  EXPECT_EQ(client_.Signature(text), 0);
  EXPECT_STREQ(text, "V2\rcreated=30-Jul-2004 14:05:09\r");
  EXPECT_EQ(std::strlen(text), 32u);
}

TEST_F(ProfilingClientTest, SignatureWithoutProfileIsV2) {
  components_.script.load_answer = false;
  EXPECT_EQ(client_.Open("VK605-1234"), 401);
  char text[64];
  std::memset(text, 'x', sizeof(text));
  EXPECT_EQ(client_.Signature(text), 0);
  EXPECT_STREQ(text, "V2");
  EXPECT_EQ(Calls().back(), "secondary");
}

TEST_F(ProfilingClientTest, FailingDateCallGivesV2) {
  components_.script.date_status = static_cast<ComponentStatus>(0x80004005u);
  ASSERT_EQ(client_.Open("VK605-1234"), 0);
  char text[64];
  EXPECT_EQ(client_.Signature(text), 0);
  EXPECT_STREQ(text, "V2");
}

TEST_F(ProfilingClientTest, DestructionReleasesTheComponent) {
  {
    ProfilingClient client(components_, registry_, alerts_);
    ASSERT_EQ(client.Open("VK605-1234"), 0);
  }
  EXPECT_EQ(Calls().back(), "destroyed");
}

}  // namespace
}  // namespace vk605
