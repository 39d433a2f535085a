// The driver loaded like a host loads it, without an instrument: start-up, settings, bookkeeping,
// messages, dispatcher codes that make no exchange, the trace file and unload.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstring>
#include <regex>

#include "host_test.h"

namespace vk605::host {
namespace {

using Foundation = HostTest;

TEST_F(Foundation, FirstStartCreatesSettingsFileWithEveryMainKey) {
  int failures = RunHost(
      [&](Driver& driver) {
        auto main = IniSection(Path("VK605.INI"), "MAIN");
        const std::map<std::string, std::string> expected{
            {"PORT", "COM1:"},      {"BAUDRATE", "9600"}, {"PARITY", "N"},
            {"BYTESIZE", "8"},      {"STOPBITS", "1"},    {"EMULATION_MODE", "0"},
            {"CALVERA_STATE", "1"}, {"MODE", "0"},        {"HOLD_PORT_OPEN", "1"}};
        HOST_CHECK(main == expected);
        char port[32] = {};
        VK605_EXPORT(driver, GetPort)(port);
        HOST_CHECK_EQ(std::string(port), "COM1:");
        EndHostWithoutUnload();
      },
      Ui::kPlatformDefault);
  EXPECT_EQ(failures, 0);
}

// Catches a load that maps malformed line settings wrongly or rewrites the text it read before unload.
TEST_F(Foundation, MalformedLineSettingsLoadAsFallbacksAndAreReplacedAtUnload) {
  WriteSettingsWithoutInstrument("PARITY=e\r\nBYTESIZE=9\r\nSTOPBITS=1.5\r\nBAUDRATE=70000\r\n");
  int failures = RunHost(
      [&](Driver& driver) {
        HOST_CHECK_EQ(VK605_EXPORT(driver, GetParity)(), 2);
        HOST_CHECK_EQ(VK605_EXPORT(driver, GetByteSize)(), 8);
        HOST_CHECK_EQ(VK605_EXPORT(driver, GetStopBits)(), 1);
        HOST_CHECK_EQ(VK605_EXPORT(driver, GetBaudRate)(), 70000);
        auto loaded = IniSection(Path("VK605.INI"), "MAIN");
        HOST_CHECK_EQ(loaded["PARITY"], "e");
        HOST_CHECK_EQ(loaded["BYTESIZE"], "9");
        HOST_CHECK_EQ(loaded["STOPBITS"], "1.5");
        driver.Unload();
        auto unloaded = IniSection(Path("VK605.INI"), "MAIN");
        HOST_CHECK_EQ(unloaded["PARITY"], "E");
        HOST_CHECK_EQ(unloaded["BYTESIZE"], "8");
        HOST_CHECK_EQ(unloaded["STOPBITS"], "1.5");
        HOST_CHECK_EQ(unloaded["BAUDRATE"], "70000");
      },
      Ui::kPlatformDefault);
  EXPECT_EQ(failures, 0);
}

TEST_F(Foundation, UnknownParityLoadsAsNoneAndKeepsItsTextUntilUnload) {
  WriteSettingsWithoutInstrument("PARITY=X\r\n");
  int failures = RunHost(
      [&](Driver& driver) {
        HOST_CHECK_EQ(VK605_EXPORT(driver, GetParity)(), 0);
        HOST_CHECK_EQ(IniSection(Path("VK605.INI"), "MAIN")["PARITY"], "X");
        driver.Unload();
        HOST_CHECK_EQ(IniSection(Path("VK605.INI"), "MAIN")["PARITY"], "N");
      },
      Ui::kPlatformDefault);
  EXPECT_EQ(failures, 0);
}

// Catches an unload that writes section MAIN back although the host configured the driver for profiling.
TEST_F(Foundation, ConfiguredToProfileLeavesMainKeysButWritesCalveraState) {
  WriteSettingsWithoutInstrument();
  int failures = RunHost([&](Driver& driver) {
    HOST_CHECK_EQ(VK605_EXPORT(driver, SetBaudRate)(4800), 0);
    int out = 7;
    HOST_CHECK_EQ(VK605_EXPORT(driver, IsConfiguredToProfile)(&out, 0), 1);
    HOST_CHECK_EQ(out, 0);
    VK605_EXPORT(driver, DisableCalvera)();
    // Another program edits the file meanwhile; the unload must leave its edit alone.
    std::string text = ReadFile(Path("VK605.INI"));
    text = std::regex_replace(text, std::regex("MODE=0"), "MODE=5");
    WriteFile(Path("VK605.INI"), text);
    driver.Unload();
    auto main = IniSection(Path("VK605.INI"), "MAIN");
    HOST_CHECK_EQ(main["BAUDRATE"], "4800");
    HOST_CHECK_EQ(main["MODE"], "5");
    HOST_CHECK_EQ(main["CALVERA_STATE"], "0");
  });
  EXPECT_EQ(failures, 0);
}

TEST_F(Foundation, UnloadWritesMainSectionBack) {
  WriteSettingsWithoutInstrument();
  int failures = RunHost(
      [&](Driver& driver) {
        VK605_EXPORT(driver, SetByteSize)('6');
        HOST_CHECK_EQ(IniSection(Path("VK605.INI"), "MAIN")["BYTESIZE"], "8");  // '6' is not written at once
        std::string text = std::regex_replace(ReadFile(Path("VK605.INI")), std::regex("MODE=0"), "MODE=5");
        WriteFile(Path("VK605.INI"), text);
        driver.Unload();
        auto main = IniSection(Path("VK605.INI"), "MAIN");
        HOST_CHECK_EQ(main["BYTESIZE"], "6");
        HOST_CHECK_EQ(main["MODE"], "0");
      },
      Ui::kPlatformDefault);
  EXPECT_EQ(failures, 0);
}

TEST_F(Foundation, CommunicationSettersWriteTheirKeysAtOnce) {
  WriteSettingsWithoutInstrument();
  int failures = RunHost(
      [&](Driver& driver) {
        auto set_parity = VK605_EXPORT(driver, SetParity);
        auto set_stop_bits = VK605_EXPORT(driver, SetStopBits);
        auto set_byte_size = VK605_EXPORT(driver, SetByteSize);
        auto main = [&] { return IniSection(Path("VK605.INI"), "MAIN"); };
        HOST_CHECK_EQ(set_parity('2'), 0);
        HOST_CHECK_EQ(main()["PARITY"], "E");
        HOST_CHECK_EQ(VK605_EXPORT(driver, GetParity)(), 2);
        set_parity(2);  // the number, not the digit: parity none
        HOST_CHECK_EQ(main()["PARITY"], "N");
        set_parity('1');
        HOST_CHECK_EQ(VK605_EXPORT(driver, GetParity)(), 1);
        set_stop_bits('1');
        HOST_CHECK_EQ(main()["STOPBITS"], "1.5");
        set_stop_bits('0');
        HOST_CHECK_EQ(main()["STOPBITS"], "1");
        set_byte_size('7');
        HOST_CHECK_EQ(main()["BYTESIZE"], "7");
        HOST_CHECK_EQ(VK605_EXPORT(driver, SetPort)("/dev/vk605-other"), 0);
        HOST_CHECK_EQ(main()["PORT"], "/dev/vk605-other");
        // A name longer than the field's 19 characters is refused; the port and its key stay.
        HOST_CHECK_EQ(VK605_EXPORT(driver, SetPort)("/dev/serial/by-id/usb-a-very-long-adapter-name"), 1);
        char port[64] = {};
        VK605_EXPORT(driver, GetPort)(port);
        HOST_CHECK_EQ(std::string(port), "/dev/vk605-other");
        HOST_CHECK_EQ(main()["PORT"], "/dev/vk605-other");
        VK605_EXPORT(driver, SetEmulationMode)(1);
        HOST_CHECK_EQ(main()["EMULATION_MODE"], "1");
        EndHostWithoutUnload();
      },
      Ui::kPlatformDefault);
  EXPECT_EQ(failures, 0);
}

TEST_F(Foundation, BookkeepingCapabilitiesAndHostValues) {
  WriteSettingsWithoutInstrument();
  int failures = RunHost(
      [&](Driver& driver) {
        HOST_CHECK_EQ(VK605_EXPORT(driver, DecrementReferenceCount)(), 0);
        HOST_CHECK_EQ(VK605_EXPORT(driver, GetReferenceCount)(), -1);
        char language[64] = "untouched";
        VK605_EXPORT(driver, GetLanguage)(language);
        HOST_CHECK_EQ(std::string(language), "");
        VK605_EXPORT(driver, SetLanguage)("Deutsch (Schweiz) mit einem sehr langen Zusatz");
        VK605_EXPORT(driver, GetLanguage)(language);
        HOST_CHECK_EQ(std::strlen(language), 31u);
        HOST_CHECK_EQ(VK605_EXPORT(driver, InstrumentTranslationTarget)(nullptr, nullptr), 0);

        struct Fixed {
          const char* name;
          decltype(&::GetStartingWavelength) function;  // every export here takes nothing and returns an int
          int value;
        };
#define FIXED(name, value)                   \
  Fixed {                                    \
#name, VK605_EXPORT(driver, name), value \
  }
        const Fixed values[] = {FIXED(GetStartingWavelength, 360),
                                FIXED(GetEndingWavelength, 750),
                                FIXED(GetWavelengthInterval, 10),
                                FIXED(GetWavelengthCount, 40),
                                FIXED(GetVisibleCount, 31),
                                FIXED(GetStartingVisible, 4),
                                FIXED(GetDriverRevision, 8),
                                FIXED(GetStatusLength, 7),
                                FIXED(GetDefaultBaudRate, 9600),
                                FIXED(GetAngleCount, 1),
                                FIXED(GetTriggerMode, 1),
                                FIXED(ReflectanceSupported, 1),
                                FIXED(SCESupported, 1),
                                FIXED(OverLightOverDarkSupported, 1),
                                FIXED(Calibrated, 1),
                                FIXED(SCISupported, 0),
                                FIXED(GlossSupported, 0),
                                FIXED(IsLightLevelTestSupported, 0),
                                FIXED(IsRS232Supported, 1),
                                FIXED(IsUSBSupported, 0),
                                FIXED(IsDriverUIEnabled, 1),
                                FIXED(IsAutoBaudEnabled, 0),
                                FIXED(GetUnsolicitedCallbackMode, 1),
                                FIXED(GetCalveraID, 23),
                                FIXED(IsCalveraEnabled, 1),
                                FIXED(TranslationDialog, 1),
                                FIXED(IsEmbeddedProfileExpired, 0)};
#undef FIXED
        for (const auto& [name, function, value] : values) {
          HOST_CHECK_EQ(std::string(name) + "=" + std::to_string(function()),
                        std::string(name) + "=" + std::to_string(value));
        }
        HOST_CHECK_EQ(VK605_EXPORT(driver, SetReferenceFlashInterval)(0, -5), 1);
        HOST_CHECK_EQ(VK605_EXPORT(driver, GetReferenceFlashInterval)(0), -5);
        HOST_CHECK_EQ(VK605_EXPORT(driver, GetReferenceFlashInterval)(2), -1);
        HOST_CHECK_EQ(VK605_EXPORT(driver, SetLensSize)(3), 0);
        HOST_CHECK_EQ(VK605_EXPORT(driver, GetLensSize)(), 0);
        HOST_CHECK_EQ(VK605_EXPORT(driver, SetUVPosition)(2), 1);
        HOST_CHECK_EQ(VK605_EXPORT(driver, SetUVPosition)(3), 0);
        HOST_CHECK_EQ(VK605_EXPORT(driver, SetUnsolicitedCallback)(nullptr), 1015);
        VK605_EXPORT(driver, SetTriggerMode)(0);
        HOST_CHECK_EQ(VK605_EXPORT(driver, SetUnsolicitedCallback)(nullptr), 1023);
        VK605_EXPORT(driver, SetUnsolicitedCallbackMode)(7);
        HOST_CHECK_EQ(VK605_EXPORT(driver, GetUnsolicitedCallbackMode)(), 7);
        HOST_CHECK_EQ(VK605_EXPORT(driver, DisableGloss)(), 1015L);
        HOST_CHECK_EQ(VK605_EXPORT(driver, EnableGloss)(), 1015L);
        HOST_CHECK_EQ(VK605_EXPORT(driver, PerformLightLevelTest)(nullptr, "x", 3), -1);
        char results[16] = "kept";
        HOST_CHECK_EQ(VK605_EXPORT(driver, GetLightLevelTestResults)(results), 0);
        HOST_CHECK_EQ(std::string(results), "kept");
        HOST_CHECK_EQ(VK605_EXPORT(driver, GetLightLevelTestErrors)(results), 0);
        HOST_CHECK_EQ(std::string(results), "");
        double p[9] = {};
        HOST_CHECK_EQ((VK605_EXPORT(driver, GetGanzGriesserParameters)(&p[0], &p[1], &p[2], &p[3], &p[4],
                                                                       &p[5], &p[6], &p[7], &p[8])),
                      -1);
        HOST_CHECK_EQ(p[0], 15.0);
        HOST_CHECK_EQ(p[8], 68.261);
        HOST_CHECK_EQ(VK605_EXPORT(driver, GetEmbeddedProfile)(5), 111);
        HOST_CHECK_EQ(VK605_EXPORT(driver, SetEmbeddedProfileDaysToExpiration)(5), 111);
        HOST_CHECK_EQ(VK605_EXPORT(driver, EnableEmbeddedCalvera)(), 111);
        HOST_CHECK_EQ(VK605_EXPORT(driver, ResetEmbeddedCalveraExpiration)(), 111);
        char signature[64] = {};
        HOST_CHECK_EQ(VK605_EXPORT(driver, GetDigitalSignature)(signature), 401);
        HOST_CHECK_EQ(std::string(signature), "V2");
        char version[128] = {};
        HOST_CHECK_EQ(VK605_EXPORT(driver, GetDriverVersion)(version), 0);
        HOST_CHECK(std::regex_match(version, std::regex("Product Version: [0-9]+\\.[0-9]+\\.[0-9]+")));
        char status[16] = {};
        VK605_EXPORT(driver, GetInstrumentStatus)(status);
        HOST_CHECK_EQ(std::string(status), "CREILL");
        EndHostWithoutUnload();
      },
      Ui::kPlatformDefault);
  EXPECT_EQ(failures, 0);
}

TEST_F(Foundation, ErrorMessagesByCode) {
  WriteSettingsWithoutInstrument();
  int failures = RunHost(
      [&](Driver& driver) {
        auto message = [&](int code) {
          char text[256] = "untouched";
          HOST_CHECK_EQ(VK605_EXPORT(driver, GetErrorMessage)(code, text), 0);
          return std::string(text);
        };
        HOST_CHECK_EQ(message(1001), "Unable to communicate with the spectrophotometer.");
        HOST_CHECK_EQ(message(1022), "Failure to retrieuce the digital signature.");
        HOST_CHECK_EQ(message(1034), "The aperture plate is missing..");
        HOST_CHECK_EQ(message(2018), message(2020));
        HOST_CHECK_EQ(message(3007), "Calibration was cancelled by the user.");
        HOST_CHECK_EQ(message(101), "untouched");
        HOST_CHECK_EQ(message(123), "untouched");
        HOST_CHECK_EQ(VK605_EXPORT(driver, GetErrorMessage)(1001, nullptr), 0);
        EndHostWithoutUnload();
      },
      Ui::kPlatformDefault);
  EXPECT_EQ(failures, 0);
}

// Without an instrument every code but 0, 10 and 19 first tries to connect: the port cannot be opened
// (111) and the user is offered emulation.
TEST_F(Foundation, DispatcherCodesWithoutExchange) {
  WriteSettingsWithoutInstrument();
  int failures = RunHost([&](Driver& driver) {
    auto read_head = VK605_EXPORT(driver, ReadHead);
    char text[8192] = "xyz";
    HOST_CHECK_EQ(read_head(89, nullptr, nullptr, text), 111u);
    HOST_CHECK_EQ(std::string(text), "CREILL");
    HOST_CHECK_EQ(Script().boxes.size(), 1u);
    HOST_CHECK_EQ(Script().boxes.at(0).text,
                  "Unable to communicate with spectrophotometer.  Do you want to enable emulation mode?");
    HOST_CHECK_EQ(Script().boxes.at(0).caption, "VK605");
    HOST_CHECK_EQ(Script().boxes.at(0).type, 0x24u);
    HOST_CHECK_EQ(read_head(117, nullptr, nullptr, nullptr), 0u);
    HOST_CHECK_EQ(read_head(119, nullptr, nullptr, nullptr), 0u);
    std::strcpy(text, "none");
    HOST_CHECK_EQ(read_head(500, nullptr, nullptr, text), 0u);
    HOST_CHECK_EQ(std::string(text), "CREILL");
    HOST_CHECK_EQ(read_head(4, nullptr, nullptr, text), 111u);
    HOST_CHECK_EQ(std::string(text), "CREILL");
    std::strcpy(text, "abc1");
    HOST_CHECK_EQ(read_head(26, nullptr, nullptr, text), 1u);
    std::strcpy(text, "abc");
    HOST_CHECK_EQ(read_head(26, nullptr, nullptr, text), 0u);
    HOST_CHECK_EQ(read_head(26, nullptr, nullptr, nullptr), 0u);
    HOST_CHECK_EQ(read_head(0, nullptr, nullptr, nullptr), 0u);
    VK605_EXPORT(driver, SetVSAVMode)(1);
    read_head(32, nullptr, nullptr, nullptr);
    HOST_CHECK_EQ(VK605_EXPORT(driver, GetVSAVMode)(), 0);
    // Answering Yes switches emulation on before the command body runs: its status is emulated.
    Script().answers.push_back(6);
    HOST_CHECK_EQ(read_head(2, nullptr, nullptr, text), 111u);
    HOST_CHECK_EQ(std::string(text), "XREISS");
    HOST_CHECK_EQ(VK605_EXPORT(driver, GetEmulationMode)(), 1);
    HOST_CHECK_EQ(VK605_EXPORT(driver, GetApertureSize)(), 2);
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

// Without a display the panel cannot be created: message 101 and -1 at once, no toolkit started.
TEST_F(Foundation, ControlPanelReportsThatItCannotBeShown) {
  WriteSettingsWithoutInstrument();
  int failures = RunHost([&](Driver& driver) {
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    HOST_CHECK_EQ(VK605_EXPORT(driver, ControlPanel)(), -1);
    HOST_CHECK_EQ(Script().boxes.size(), 1u);
    HOST_CHECK_EQ(Script().boxes.at(0).text, "Unable to load instrument control panel.");
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

// The trace file of a configured run, byte for byte (dates replaced by a placeholder).
TEST_F(Foundation, TraceFileOfAConfiguredRun) {
  WriteSettingsWithoutInstrument();
  const std::filesystem::path log = EnableTrace();
  int failures = RunHost(
      [&](Driver& driver) {
        VK605_EXPORT(driver, GetReady)();
        char status[16];
        VK605_EXPORT(driver, GetCurrentStatus)(status);
        EndHostWithoutUnload();
      },
      Ui::kPlatformDefault);
  ASSERT_EQ(failures, 0);
  std::string bytes = std::regex_replace(
      ReadFile(log), std::regex("[0-9]{2}/[0-9]{2}/[0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}"), "DATE");
  std::string expected_rule;
  for (int i = 0; i < 40; ++i) expected_rule += "*~";
  std::string expected = "\r\r\n\r\r\n" + expected_rule + "\r\r\n" + log.string() + "\r\r\nDATE\r\r\n" +
                         expected_rule + "\r\r\n" + "DATE:  EXPORT: GetReady\r\n\r\n" +
                         "DATE:  EXPORT: GetCurrentStatus\r\n\r\n" +
                         "DATE:  EXPORT: GetInstrumentStatus\r\n\r\n" + "\x1a";
  EXPECT_EQ(bytes, expected);
  // Start-up published the profiling identifier into the existing key.
  EXPECT_EQ(IniSection(Path("registry.ini"), "Software\\Orvanta\\Spectrophotometers\\VK605")["CALVERAID"],
            "23");
}

}  // namespace
}  // namespace vk605::host
