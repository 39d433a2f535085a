// Spectral profiling through the exports, with the project's reference component registered in the
// registry file and vk605-sim as the instrument (serial number "VK60512345").
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "host_test.h"

namespace vk605::host {
namespace {

constexpr const char* kFirstProfileKey = "Software\\Orvanta\\Calvera\\Profiles\\VK60512345";
constexpr const char* kSecondProfileKey = "Software\\Orvanta\\Calvera 1.0\\Profiles\\VK60512345";
constexpr const char* kCreated = "created = 2004-07-30 14:05:09\n";

struct HostSetup {
  std::string main_settings;  // extra lines of section MAIN
  std::string profile;        // the profile file's text
  const char* profile_key = kFirstProfileKey;
  bool register_component = true;
};

class Profiling : public HostTest {
 protected:
  // Starts the instrument and writes VK605.INI, the profile file and the registry file with the log, the
  // component and the profile.
  void Prepare(const HostSetup& setup);
  void ExpectUnableToInitialize(bool component);
};

void Profiling::Prepare(const HostSetup& setup) {
  StartInstrument({}, setup.main_settings);
  WriteFile(Path("profile.prf"), setup.profile);
  std::string registry =
      "[Software\\Orvanta\\Spectrophotometers\\VK605]\nDiagnosticsFileName=" + Path("trace.log").string() +
      "\n";
  if (setup.register_component) {
    registry +=
        "[Software\\Classes\\CalveraSrv.ProfileV1]\nLibrary=" + std::string(VK605_REFERENCE_COMPONENT_PATH) +
        "\n";
  }
  if (setup.profile_key != nullptr) {
    registry +=
        "[" + std::string(setup.profile_key) + "]\nLocalFile=" + (Path("profile.prf")).string() + "\n";
  }
  WriteRegistry(registry);
}

// The entries from the first one equal to first, count of them.
std::vector<std::string> EntriesFrom(const std::vector<std::string>& entries, const std::string& first,
                                     std::size_t count) {
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (entries[i] == first) {
      return std::vector<std::string>(
          entries.begin() + static_cast<std::ptrdiff_t>(i),
          entries.begin() + static_cast<std::ptrdiff_t>(std::min(entries.size(), i + count)));
    }
  }
  return {};
}

// The spectrum as the trace writes it.
std::string SpectrumEntry(const double* spectrum) {
  std::string text;
  char number[64];
  for (int i = 0; i < 40; ++i) {
    std::snprintf(number, sizeof number, "%3.4f, ", spectrum[i]);
    text += number;
  }
  return text;
}

// What the driver makes of a value the component sets to percent: single precision, times 0.01.
double FromComponent(double percent) {
  return static_cast<double>(static_cast<float>(percent)) * 0.01;
}

// A value passed through the component untouched.
double RoundTripped(double value) {
  return static_cast<double>(static_cast<float>(value * 100.0)) * 0.01;
}

// The spectrum of an unprofiled measurement of the same sample.
void MeasureUnprofiled(const Driver& driver, double* spectrum) {
  HOST_CHECK_EQ(VK605_EXPORT(driver, DisableCalvera)(), 0);
  HOST_CHECK_EQ(VK605_EXPORT(driver, PerformMeasurement)(spectrum), 0);
  HOST_CHECK_EQ(VK605_EXPORT(driver, EnableCalvera)(), 0);
}

TEST_F(Profiling, MeasuredSpectrumComesBackCorrectedWithTraces) {
  Prepare({"", std::string(kCreated) +
                   "reflectance.400 = 0 12.3456789\nreflectance.410 = 1 -200\nreflectance.700 = 2 1\n"
                   "transmission.400 = 0 50\nspecular-included-offset = 7\n"});
  int failures = RunHost([&](Driver& driver) {
    double raw[40] = {};
    MeasureUnprofiled(driver, raw);
    double spectrum[40] = {};
    HOST_CHECK_EQ(VK605_EXPORT(driver, PerformMeasurement)(spectrum), 0);
    HOST_CHECK_EQ(VK605_EXPORT(driver, IsProfiled)(), 1);
    // The component's 12.3456789 comes back through single precision, not as 0.123456789.
    HOST_CHECK_EQ(spectrum[4], FromComponent(12.3456789));
    HOST_CHECK(spectrum[4] != 0.123456789);
    // Negative after the correction: 0.0.
    HOST_CHECK_EQ(spectrum[5], 0.0);
    // value * 2 + 1 in percent; the specular component is excluded, so no extra offset.
    HOST_CHECK_EQ(spectrum[34],
                  FromComponent(static_cast<double>(static_cast<float>(raw[34] * 100.0)) * 2.0 + 1.0));
    for (int i : {0, 20, 39}) HOST_CHECK_EQ(spectrum[i], RoundTripped(raw[i]));
    HOST_CHECK(Script().boxes.empty());
    WriteFile(Path("spectra.txt"), SpectrumEntry(raw) + "\n" + SpectrumEntry(spectrum));
    EndHostWithoutUnload();
  });
  ASSERT_EQ(failures, 0);
  std::vector<std::string> entries = TraceEntries();
  ASSERT_TRUE(Contains(entries, "Spectral Data (profiling disabled)"));
  std::vector<std::string> profiled = EntriesFrom(entries, "Spectral Data BEFORE profiling", 5);
  ASSERT_EQ(profiled.size(), 5u);
  EXPECT_EQ(profiled[2], "");
  EXPECT_EQ(profiled[3], "Spectral Data AFTER profiling");
  // The trace shows the measured spectrum before and the delivered one after.
  EXPECT_EQ(profiled[1] + "\n" + profiled[4], ReadFile(Path("spectra.txt")));
  EXPECT_NE(profiled[4].find(", 0.1235, 0.0000, "), std::string::npos);
}

TEST_F(Profiling, TransmissionModeUsesTheTransmissionCorrection) {
  Prepare({"MODE=1\r\n", std::string(kCreated) + "reflectance.400 = 0 11\ntransmission.400 = 0 33\n"});
  int failures = RunHost([&](Driver& driver) {
    double spectrum[40] = {};
    HOST_CHECK_EQ(VK605_EXPORT(driver, PerformMeasurement)(spectrum), 0);
    HOST_CHECK_EQ(VK605_EXPORT(driver, IsProfiled)(), 1);
    HOST_CHECK_EQ(spectrum[4], FromComponent(33.0));
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

// The parser floors negative readings, so no negative value reaches this step from the instrument; the
// clipping of negative inputs in this mode is covered by the client's unit tests.
TEST_F(Profiling, OtherModeReturnsTheRoundedSpectrumWithoutCallingTheComponent) {
  Prepare({"MODE=2\r\n", std::string(kCreated) + "reflectance.400 = 0 11\ntransmission.400 = 0 33\n"});
  int failures = RunHost([&](Driver& driver) {
    double raw[40] = {};
    MeasureUnprofiled(driver, raw);
    double spectrum[40] = {};
    HOST_CHECK_EQ(VK605_EXPORT(driver, PerformMeasurement)(spectrum), 0);
    HOST_CHECK_EQ(VK605_EXPORT(driver, IsProfiled)(), 1);
    for (int i = 0; i < 40; ++i) HOST_CHECK_EQ(spectrum[i], RoundTripped(raw[i]));
    EndHostWithoutUnload();
  });
  ASSERT_EQ(failures, 0);
  EXPECT_TRUE(Contains(TraceEntries(), "Spectral Data AFTER profiling"));
}

TEST_F(Profiling, RefusalLeavesTheSpectrumUnprofiled) {
  Prepare({"", std::string(kCreated) + "refuse = 1\n"});
  int failures = RunHost([&](Driver& driver) {
    double raw[40] = {};
    MeasureUnprofiled(driver, raw);
    double spectrum[40] = {};
    HOST_CHECK_EQ(VK605_EXPORT(driver, PerformMeasurement)(spectrum), 0);
    HOST_CHECK_EQ(VK605_EXPORT(driver, IsProfiled)(), 0);
    for (int i = 0; i < 40; ++i) HOST_CHECK_EQ(spectrum[i], RoundTripped(raw[i]));
    HOST_CHECK(Script().boxes.empty());
    EndHostWithoutUnload();
  });
  ASSERT_EQ(failures, 0);
  std::vector<std::string> after = EntriesFrom(TraceEntries(), "Spectral Data BEFORE profiling", 5);
  ASSERT_EQ(after.size(), 5u);
  EXPECT_EQ(after[3], "PROFILING DLL FAILED TO PROFILE: Spectral Data without profiling");
}

TEST_F(Profiling, FailingComponentShowsItsErrorAndKeepsTheMeasuredSpectrum) {
  Prepare({"", std::string(kCreated) + "reflectance.400 = 0 12\nfail = 0x80040203\n"});
  int failures = RunHost([&](Driver& driver) {
    double raw[40] = {};
    MeasureUnprofiled(driver, raw);
    double spectrum[40] = {};
    Script().answers = {1};
    HOST_CHECK_EQ(VK605_EXPORT(driver, PerformMeasurement)(spectrum), 0);
    HOST_CHECK_EQ(VK605_EXPORT(driver, IsProfiled)(), 0);
    HOST_CHECK(std::memcmp(spectrum, raw, sizeof raw) == 0);
    HOST_CHECK_EQ(Script().boxes.size(), 1u);
    HOST_CHECK_EQ(Script().boxes.at(0).text, "IDispatch error #3");
    HOST_CHECK_EQ(Script().boxes.at(0).caption, "VK605");
    HOST_CHECK_EQ(Script().boxes.at(0).type, 0x30u);
    EndHostWithoutUnload();
  });
  ASSERT_EQ(failures, 0);
  EXPECT_TRUE(Contains(TraceEntries(), "PROFILING DLL FAILED TO PROFILE: Spectral Data without profiling"));
}

TEST_F(Profiling, SerialRegisteredOnlyUnderTheSecondKeyIsFound) {
  HostSetup setup{"", std::string(kCreated) + "reflectance.400 = 0 12\n"};
  setup.profile_key = kSecondProfileKey;
  Prepare(setup);
  int failures = RunHost([&](Driver& driver) {
    double spectrum[40] = {};
    HOST_CHECK_EQ(VK605_EXPORT(driver, PerformMeasurement)(spectrum), 0);
    HOST_CHECK_EQ(VK605_EXPORT(driver, IsProfiled)(), 1);
    HOST_CHECK_EQ(spectrum[4], FromComponent(12.0));
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

// Without the component, or without a profile for the serial number, spectra pass bit for bit.
// One host per test: a Windows child host replays its test up to the host it runs.
void Profiling::ExpectUnableToInitialize(bool component) {
  HostSetup setup{"", std::string(kCreated) + "reflectance.400 = 0 12\n"};
  setup.register_component = component;
  setup.profile_key = component ? nullptr : kFirstProfileKey;
  Prepare(setup);
  int failures = RunHost([&](Driver& driver) {
    double raw[40] = {};
    MeasureUnprofiled(driver, raw);
    double spectrum[40] = {};
    HOST_CHECK_EQ(VK605_EXPORT(driver, PerformMeasurement)(spectrum), 0);
    HOST_CHECK_EQ(VK605_EXPORT(driver, IsProfiled)(), 0);
    HOST_CHECK(std::memcmp(spectrum, raw, sizeof raw) == 0);
    char text[64];
    std::memset(text, 'x', sizeof text);
    HOST_CHECK_EQ(VK605_EXPORT(driver, GetDigitalSignature)(text), 401);
    HOST_CHECK_EQ(std::string(text), "V2");
    EndHostWithoutUnload();
  });
  ASSERT_EQ(failures, 0) << "component registered: " << component;
  std::vector<std::string> entries = TraceEntries();
  std::vector<std::string> unable =
      EntriesFrom(entries, "UNABLE TO INITIALIZE CALVERA: Spectral Data without profiling", 3);
  ASSERT_EQ(unable.size(), 3u);
  EXPECT_EQ(unable[1].substr(0, 8), "0.5231, ");
  EXPECT_EQ(unable[2], "");
  EXPECT_FALSE(Contains(entries, "Spectral Data BEFORE profiling"));
  EXPECT_FALSE(Contains(entries, "Spectral Data AFTER profiling"));
}

TEST_F(Profiling, NoRegistrationGivesTheUnableToInitializeTrace) {
  ExpectUnableToInitialize(false);
}

TEST_F(Profiling, RegisteredComponentWithoutProfileGivesTheUnableToInitializeTrace) {
  ExpectUnableToInitialize(true);
}

TEST_F(Profiling, DigitalSignatureCarriesTheCreationDate) {
  Prepare({"", std::string(kCreated)});
  int failures = RunHost([&](Driver& driver) {
    char text[64];
    // Before any connect the serial number is empty, so no profile is found.
    HOST_CHECK_EQ(VK605_EXPORT(driver, GetDigitalSignature)(text), 401);
    HOST_CHECK_EQ(std::string(text), "V2");
    HOST_CHECK_EQ(VK605_EXPORT(driver, InitializeDriver)(), 0);
    std::memset(text, 'x', sizeof text);
    HOST_CHECK_EQ(VK605_EXPORT(driver, GetDigitalSignature)(text), 0);
    HOST_CHECK_EQ(std::string(text), "V2\rcreated=30-Jul-2004 14:05:09\r");
    EndHostWithoutUnload();
  });
  ASSERT_EQ(failures, 0);
  EXPECT_TRUE(Contains(TraceEntries(), "EXPORT: GetDigitalSignature"));
}

TEST_F(Profiling, DisableAndEnableSwitchTheTraces) {
  Prepare({"", std::string(kCreated) + "reflectance.400 = 0 12\n"});
  int failures = RunHost([&](Driver& driver) {
    double spectrum[40] = {};
    HOST_CHECK_EQ(VK605_EXPORT(driver, DisableCalvera)(), 0);
    HOST_CHECK_EQ(VK605_EXPORT(driver, IsCalveraEnabled)(), 0);
    HOST_CHECK_EQ(VK605_EXPORT(driver, PerformMeasurement)(spectrum), 0);
    HOST_CHECK_EQ(VK605_EXPORT(driver, IsProfiled)(), 0);
    HOST_CHECK_EQ(spectrum[4], static_cast<double>(52.31f) * 0.01);
    HOST_CHECK_EQ(VK605_EXPORT(driver, EnableCalvera)(), 0);
    HOST_CHECK_EQ(VK605_EXPORT(driver, IsCalveraEnabled)(), 1);
    HOST_CHECK_EQ(VK605_EXPORT(driver, PerformMeasurement)(spectrum), 0);
    HOST_CHECK_EQ(VK605_EXPORT(driver, IsProfiled)(), 1);
    HOST_CHECK_EQ(spectrum[4], FromComponent(12.0));
    EndHostWithoutUnload();
  });
  ASSERT_EQ(failures, 0);
  std::vector<std::string> entries = TraceEntries();
  std::vector<std::string> disabled = EntriesFrom(entries, "Spectral Data (profiling disabled)", 3);
  ASSERT_EQ(disabled.size(), 3u);
  EXPECT_EQ(disabled[1].substr(0, 8), "0.5231, ");
  EXPECT_TRUE(Contains(entries, "Spectral Data BEFORE profiling"));
  EXPECT_TRUE(Contains(entries, "Spectral Data AFTER profiling"));
}

}  // namespace
}  // namespace vk605::host
