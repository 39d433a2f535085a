#include "profiling/profile_spectrum.h"

#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "fakes/fake_clock.h"
#include "fakes/fake_profiling_alerts.h"
#include "fakes/fake_profiling_component.h"
#include "fakes/fake_registry.h"
#include "platform/temp_directory.h"

namespace vk605 {
namespace {

using testing::FakeClock;
using testing::FakeProfilingAlerts;
using testing::FakeProfilingComponents;
using testing::FakeRegistry;

// An instrument model whose embedded-profiling answers the test chooses.
class ScriptedEmbeddedProfiling : public EmbeddedProfiling {
 public:
  int IsEmbeddedProfilingSupported() override { return supported; }
  char GetEmbeddedProfilingState() override { return state; }

  int supported = 0;
  char state = '0';
};

class ProfileSpectrumTest : public ::testing::Test {
 protected:
  ProfileSpectrumTest() {
    registry_.SetValue("Software\\Orvanta\\Calvera\\Profiles\\VK60512345", "LocalFile", "/p.prf");
    log_.StartLogFile((directory_.Path() / "trace.log").string());
    for (double& value : spectrum_) value = 0.5;
  }

  int Run(const ProfilingInputs& inputs) {
    return ProfileSpectrum(spectrum_, 1, 0, inputs, instrument_, services_, profiled_);
  }

  // The trace's entries after the start banner, "date:  " left out, joined by '|'.
  std::string Entries() {
    std::ifstream file(directory_.Path() / "trace.log", std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    std::string text = content.str();
    std::string joined;
    const std::string marker = ":  ";
    for (std::size_t at = text.find(marker); at != std::string::npos; at = text.find(marker, at)) {
      at += marker.size();
      std::size_t end = text.find("\r\n\r\n", at);
      joined += (joined.empty() ? "" : "|") + text.substr(at, end - at);
      at = end;
    }
    return joined;
  }

  testing::TempDirectory directory_;
  FakeClock clock_;
  DiagnosticsLog log_{clock_};
  FakeProfilingComponents components_;
  FakeRegistry registry_;
  FakeProfilingAlerts alerts_;
  ScriptedEmbeddedProfiling instrument_;
  ProfilingServices services_{components_, registry_, alerts_, log_};
  double spectrum_[40];
  int profiled_ = 7;
};

const std::string kSpectrum = [] {
  std::string text;
  for (int i = 0; i < 40; ++i) text += "0.5000, ";
  return text;
}();

TEST_F(ProfileSpectrumTest, CorrectedSpectrumIsTracedBeforeAndAfter) {
  components_.script.correction = [](float* values) { values[0] = 25.0f; };
  EXPECT_EQ(Run({1, 1, "VK60512345"}), 0);
  EXPECT_EQ(profiled_, 1);
  EXPECT_EQ(spectrum_[0], 0.25);
  EXPECT_EQ(Entries(), "Spectral Data BEFORE profiling|" + kSpectrum +
                           "||Spectral Data AFTER profiling|0.2500, " + kSpectrum.substr(8) + "|");
  EXPECT_EQ(components_.script.calls.back(), "destroyed");
}

TEST_F(ProfileSpectrumTest, DisabledOrUnconnectedIsTracedAndUntouched) {
  for (ProfilingInputs inputs : {ProfilingInputs{0, 1, "VK60512345"}, ProfilingInputs{2, 1, "VK60512345"},
                                 ProfilingInputs{1, 0, "VK60512345"}}) {
    EXPECT_EQ(Run(inputs), 0);
    EXPECT_EQ(profiled_, 0);
  }
  EXPECT_EQ(spectrum_[0], 0.5);
  EXPECT_TRUE(components_.script.calls.empty());
  std::string once = "Spectral Data (profiling disabled)|" + kSpectrum;
  EXPECT_EQ(Entries(), once + "|" + once + "|" + once);
}

TEST_F(ProfileSpectrumTest, UnknownSerialIsUnableToInitialize) {
  EXPECT_EQ(Run({1, 1, "VK605OTHER"}), 401);
  EXPECT_EQ(profiled_, 0);
  EXPECT_EQ(Entries(), "UNABLE TO INITIALIZE CALVERA: Spectral Data without profiling|" + kSpectrum + "|");
}

TEST_F(ProfileSpectrumTest, RefusalIs125) {
  components_.script.correct_answer = false;
  EXPECT_EQ(Run({1, 1, "VK60512345"}), 125);
  EXPECT_EQ(profiled_, 0);
  EXPECT_EQ(Entries(), "Spectral Data BEFORE profiling|" + kSpectrum +
                           "||PROFILING DLL FAILED TO PROFILE: Spectral Data without profiling|" + kSpectrum +
                           "|");
}

TEST_F(ProfileSpectrumTest, EmbeddedProfilingStates) {
  instrument_.supported = 1;
  instrument_.state = '2';
  EXPECT_EQ(Run({1, 1, "VK60512345"}), 0);
  EXPECT_EQ(profiled_, 1);
  instrument_.state = '0';
  EXPECT_EQ(Run({1, 1, "VK60512345"}), 0);
  EXPECT_EQ(profiled_, 0);
  instrument_.supported = 5;
  EXPECT_EQ(Run({1, 1, "VK60512345"}), 0);
  EXPECT_EQ(profiled_, 0);
  EXPECT_TRUE(components_.script.calls.empty());
  EXPECT_EQ(Entries(), "Spectral Data (EMBEDDED profiling enabled)|" + kSpectrum +
                           "|Spectral Data (EMBEDDED profiling disabled)|" + kSpectrum);
}

}  // namespace
}  // namespace vk605
