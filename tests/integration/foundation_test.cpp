// The driver loaded like a host loads it, without an instrument: start-up, settings, bookkeeping,
// messages, dispatcher codes that make no exchange, the trace file and unload.
#include <gtest/gtest.h>

#include <cstring>
#include <regex>

#include "host_harness.h"

namespace vk605::host {
namespace {

using IntFn = int();
using TextFn = int(char*);

// A port that cannot exist keeps a connect attempt from touching real serial hardware.
constexpr const char* kMissingPort = "/nonexistent/vk605-port";

void WriteMainSection(const TempDir& dir, const std::string& lines) {
  WriteFile(dir / "VK605.INI", "[MAIN]\r\nPORT=" + std::string(kMissingPort) + "\r\n" + lines);
}

TEST(Foundation, FirstStartCreatesSettingsFileWithEveryMainKey) {
  TempDir dir;
  int failures = RunHost(dir, [&] {
    Driver driver(dir.Path());
    auto main = IniSection(dir / "VK605.INI", "MAIN");
    const std::map<std::string, std::string> expected{
        {"PORT", "COM1:"},      {"BAUDRATE", "9600"}, {"PARITY", "N"},
        {"BYTESIZE", "8"},      {"STOPBITS", "1"},    {"EMULATION_MODE", "0"},
        {"CALVERA_STATE", "1"}, {"MODE", "0"},        {"HOLD_PORT_OPEN", "1"}};
    HOST_CHECK(main == expected);
    char port[32] = {};
    driver.Fn<TextFn>("GetPort")(port);
    HOST_CHECK_EQ(std::string(port), "COM1:");
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

// Catches a load that maps malformed line settings wrongly or rewrites the text it read before unload.
TEST(Foundation, MalformedLineSettingsLoadAsFallbacksAndAreReplacedAtUnload) {
  TempDir dir;
  WriteMainSection(dir, "PARITY=e\r\nBYTESIZE=9\r\nSTOPBITS=1.5\r\nBAUDRATE=70000\r\n");
  int failures = RunHost(dir, [&] {
    Driver driver(dir.Path());
    HOST_CHECK_EQ(driver.Fn<IntFn>("GetParity")(), 2);
    HOST_CHECK_EQ(driver.Fn<IntFn>("GetByteSize")(), 8);
    HOST_CHECK_EQ(driver.Fn<IntFn>("GetStopBits")(), 1);
    HOST_CHECK_EQ(driver.Fn<IntFn>("GetBaudRate")(), 70000);
    auto loaded = IniSection(dir / "VK605.INI", "MAIN");
    HOST_CHECK_EQ(loaded["PARITY"], "e");
    HOST_CHECK_EQ(loaded["BYTESIZE"], "9");
    HOST_CHECK_EQ(loaded["STOPBITS"], "1.5");
    driver.Unload();
    auto unloaded = IniSection(dir / "VK605.INI", "MAIN");
    HOST_CHECK_EQ(unloaded["PARITY"], "E");
    HOST_CHECK_EQ(unloaded["BYTESIZE"], "8");
    HOST_CHECK_EQ(unloaded["STOPBITS"], "1.5");
    HOST_CHECK_EQ(unloaded["BAUDRATE"], "70000");
  });
  EXPECT_EQ(failures, 0);
}

TEST(Foundation, UnknownParityLoadsAsNoneAndKeepsItsTextUntilUnload) {
  TempDir dir;
  WriteMainSection(dir, "PARITY=X\r\n");
  int failures = RunHost(dir, [&] {
    Driver driver(dir.Path());
    HOST_CHECK_EQ(driver.Fn<IntFn>("GetParity")(), 0);
    HOST_CHECK_EQ(IniSection(dir / "VK605.INI", "MAIN")["PARITY"], "X");
    driver.Unload();
    HOST_CHECK_EQ(IniSection(dir / "VK605.INI", "MAIN")["PARITY"], "N");
  });
  EXPECT_EQ(failures, 0);
}

// Catches an unload that writes section MAIN back although the host configured the driver for profiling.
TEST(Foundation, ConfiguredToProfileLeavesMainKeysButWritesCalveraState) {
  TempDir dir;
  WriteMainSection(dir, "");
  int failures = RunHost(dir, [&] {
    Driver driver(dir.Path());
    InstallScriptedUi(driver);
    HOST_CHECK_EQ(driver.Fn<int(int)>("SetBaudRate")(4800), 0);
    int out = 7;
    HOST_CHECK_EQ(driver.Fn<int(int*, int)>("IsConfiguredToProfile")(&out, 0), 1);
    HOST_CHECK_EQ(out, 0);
    driver.Fn<IntFn>("DisableCalvera")();
    // Another program edits the file meanwhile; the unload must leave its edit alone.
    std::string text = ReadFile(dir / "VK605.INI");
    text = std::regex_replace(text, std::regex("MODE=0"), "MODE=5");
    WriteFile(dir / "VK605.INI", text);
    driver.Unload();
    auto main = IniSection(dir / "VK605.INI", "MAIN");
    HOST_CHECK_EQ(main["BAUDRATE"], "4800");
    HOST_CHECK_EQ(main["MODE"], "5");
    HOST_CHECK_EQ(main["CALVERA_STATE"], "0");
  });
  EXPECT_EQ(failures, 0);
}

TEST(Foundation, UnloadWritesMainSectionBack) {
  TempDir dir;
  WriteMainSection(dir, "");
  int failures = RunHost(dir, [&] {
    Driver driver(dir.Path());
    driver.Fn<int(char)>("SetByteSize")('6');
    HOST_CHECK_EQ(IniSection(dir / "VK605.INI", "MAIN")["BYTESIZE"], "8");  // '6' is not written at once
    std::string text = std::regex_replace(ReadFile(dir / "VK605.INI"), std::regex("MODE=0"), "MODE=5");
    WriteFile(dir / "VK605.INI", text);
    driver.Unload();
    auto main = IniSection(dir / "VK605.INI", "MAIN");
    HOST_CHECK_EQ(main["BYTESIZE"], "6");
    HOST_CHECK_EQ(main["MODE"], "0");
  });
  EXPECT_EQ(failures, 0);
}

TEST(Foundation, CommunicationSettersWriteTheirKeysAtOnce) {
  TempDir dir;
  WriteMainSection(dir, "");
  int failures = RunHost(dir, [&] {
    Driver driver(dir.Path());
    auto set_parity = driver.Fn<int(char)>("SetParity");
    auto set_stop_bits = driver.Fn<int(char)>("SetStopBits");
    auto set_byte_size = driver.Fn<int(char)>("SetByteSize");
    auto main = [&] { return IniSection(dir / "VK605.INI", "MAIN"); };
    HOST_CHECK_EQ(set_parity('2'), 0);
    HOST_CHECK_EQ(main()["PARITY"], "E");
    HOST_CHECK_EQ(driver.Fn<IntFn>("GetParity")(), 2);
    set_parity(2);  // the number, not the digit: parity none
    HOST_CHECK_EQ(main()["PARITY"], "N");
    set_parity('1');
    HOST_CHECK_EQ(driver.Fn<IntFn>("GetParity")(), 1);
    set_stop_bits('1');
    HOST_CHECK_EQ(main()["STOPBITS"], "1.5");
    set_stop_bits('0');
    HOST_CHECK_EQ(main()["STOPBITS"], "1");
    set_byte_size('7');
    HOST_CHECK_EQ(main()["BYTESIZE"], "7");
    HOST_CHECK_EQ(driver.Fn<int(const char*)>("SetPort")("/dev/vk605-other"), 0);
    HOST_CHECK_EQ(main()["PORT"], "/dev/vk605-other");
    // A longer name is cut to the field's 19 characters.
    driver.Fn<int(const char*)>("SetPort")("/dev/serial/by-id/usb-a-very-long-adapter-name");
    char port[64] = {};
    driver.Fn<TextFn>("GetPort")(port);
    HOST_CHECK_EQ(std::string(port), "/dev/serial/by-id/u");
    driver.Fn<int(int)>("SetEmulationMode")(1);
    HOST_CHECK_EQ(main()["EMULATION_MODE"], "1");
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

TEST(Foundation, BookkeepingCapabilitiesAndHostValues) {
  TempDir dir;
  WriteMainSection(dir, "");
  int failures = RunHost(dir, [&] {
    Driver driver(dir.Path());
    auto get = [&](const char* name) { return driver.Fn<IntFn>(name)(); };
    HOST_CHECK_EQ(driver.Fn<IntFn>("DecrementReferenceCount")(), 0);
    HOST_CHECK_EQ(get("GetReferenceCount"), -1);
    char language[64] = "untouched";
    driver.Fn<TextFn>("GetLanguage")(language);
    HOST_CHECK_EQ(std::string(language), "");
    driver.Fn<int(const char*)>("SetLanguage")("Deutsch (Schweiz) mit einem sehr langen Zusatz");
    driver.Fn<TextFn>("GetLanguage")(language);
    HOST_CHECK_EQ(std::strlen(language), 31u);
    HOST_CHECK_EQ(driver.Fn<int(void**, void**)>("InstrumentTranslationTarget")(nullptr, nullptr), 0);

    const std::pair<const char*, int> values[] = {{"GetStartingWavelength", 360},
                                                  {"GetEndingWavelength", 750},
                                                  {"GetWavelengthInterval", 10},
                                                  {"GetWavelengthCount", 40},
                                                  {"GetVisibleCount", 31},
                                                  {"GetStartingVisible", 4},
                                                  {"GetDriverRevision", 8},
                                                  {"GetStatusLength", 7},
                                                  {"GetDefaultBaudRate", 9600},
                                                  {"GetAngleCount", 1},
                                                  {"GetTriggerMode", 1},
                                                  {"ReflectanceSupported", 1},
                                                  {"SCESupported", 1},
                                                  {"OverLightOverDarkSupported", 1},
                                                  {"Calibrated", 1},
                                                  {"SCISupported", 0},
                                                  {"GlossSupported", 0},
                                                  {"IsLightLevelTestSupported", 0},
                                                  {"IsRS232Supported", 1},
                                                  {"IsUSBSupported", 0},
                                                  {"IsDriverUIEnabled", 1},
                                                  {"IsAutoBaudEnabled", 0},
                                                  {"GetUnsolicitedCallbackMode", 1},
                                                  {"GetCalveraID", 23},
                                                  {"IsCalveraEnabled", 1},
                                                  {"TranslationDialog", 1},
                                                  {"IsEmbeddedProfileExpired", 0}};
    for (const auto& [name, value] : values) {
      HOST_CHECK_EQ(std::string(name) + "=" + std::to_string(get(name)),
                    std::string(name) + "=" + std::to_string(value));
    }
    HOST_CHECK_EQ(driver.Fn<int(int, int)>("SetReferenceFlashInterval")(0, -5), 1);
    HOST_CHECK_EQ(driver.Fn<int(int)>("GetReferenceFlashInterval")(0), -5);
    HOST_CHECK_EQ(driver.Fn<int(int)>("GetReferenceFlashInterval")(2), -1);
    HOST_CHECK_EQ(driver.Fn<int(int)>("SetLensSize")(3), 0);
    HOST_CHECK_EQ(get("GetLensSize"), 0);
    HOST_CHECK_EQ(driver.Fn<int(int)>("SetUVPosition")(2), 1);
    HOST_CHECK_EQ(driver.Fn<int(int)>("SetUVPosition")(3), 0);
    HOST_CHECK_EQ(driver.Fn<int(void*)>("SetUnsolicitedCallback")(nullptr), 1015);
    driver.Fn<int(int)>("SetTriggerMode")(0);
    HOST_CHECK_EQ(driver.Fn<int(void*)>("SetUnsolicitedCallback")(nullptr), 1023);
    driver.Fn<int(int)>("SetUnsolicitedCallbackMode")(7);
    HOST_CHECK_EQ(get("GetUnsolicitedCallbackMode"), 7);
    HOST_CHECK_EQ(driver.Fn<long()>("DisableGloss")(), 1015L);
    HOST_CHECK_EQ(driver.Fn<long()>("EnableGloss")(), 1015L);
    HOST_CHECK_EQ(driver.Fn<int(const void*, const char*, int)>("PerformLightLevelTest")(nullptr, "x", 3),
                  -1);
    char results[16] = "kept";
    HOST_CHECK_EQ(driver.Fn<TextFn>("GetLightLevelTestResults")(results), 0);
    HOST_CHECK_EQ(std::string(results), "kept");
    HOST_CHECK_EQ(driver.Fn<TextFn>("GetLightLevelTestErrors")(results), 0);
    HOST_CHECK_EQ(std::string(results), "");
    double p[9] = {};
    HOST_CHECK_EQ(
        (driver.Fn<int(double*, double*, double*, double*, double*, double*, double*, double*, double*)>(
            "GetGanzGriesserParameters")(&p[0], &p[1], &p[2], &p[3], &p[4], &p[5], &p[6], &p[7], &p[8])),
        -1);
    HOST_CHECK_EQ(p[0], 15.0);
    HOST_CHECK_EQ(p[8], 68.261);
    HOST_CHECK_EQ(driver.Fn<int(int)>("GetEmbeddedProfile")(5), 111);
    HOST_CHECK_EQ(driver.Fn<int(int)>("SetEmbeddedProfileDaysToExpiration")(5), 111);
    HOST_CHECK_EQ(get("EnableEmbeddedCalvera"), 111);
    HOST_CHECK_EQ(get("ResetEmbeddedCalveraExpiration"), 111);
    char signature[64] = {};
    HOST_CHECK_EQ(driver.Fn<TextFn>("GetDigitalSignature")(signature), 401);
    HOST_CHECK_EQ(std::string(signature), "V2");
    char version[128] = {};
    HOST_CHECK_EQ(driver.Fn<TextFn>("GetDriverVersion")(version), 0);
    HOST_CHECK(std::regex_match(version, std::regex("Product Version: [0-9]+\\.[0-9]+\\.[0-9]+")));
    char status[16] = {};
    driver.Fn<TextFn>("GetInstrumentStatus")(status);
    HOST_CHECK_EQ(std::string(status), "CREILL");
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

TEST(Foundation, ErrorMessagesByCode) {
  TempDir dir;
  WriteMainSection(dir, "");
  int failures = RunHost(dir, [&] {
    Driver driver(dir.Path());
    auto message = [&](int code) {
      char text[256] = "untouched";
      HOST_CHECK_EQ(driver.Fn<int(int, char*)>("GetErrorMessage")(code, text), 0);
      return std::string(text);
    };
    HOST_CHECK_EQ(message(1001), "Unable to communicate with the spectrophotometer.");
    HOST_CHECK_EQ(message(1022), "Failure to retrieuce the digital signature.");
    HOST_CHECK_EQ(message(1034), "The aperture plate is missing..");
    HOST_CHECK_EQ(message(2018), message(2020));
    HOST_CHECK_EQ(message(3007), "Calibration was cancelled by the user.");
    HOST_CHECK_EQ(message(101), "untouched");
    HOST_CHECK_EQ(message(123), "untouched");
    HOST_CHECK_EQ(driver.Fn<int(int, char*)>("GetErrorMessage")(1001, nullptr), 0);
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

using ReadHeadFn = unsigned(unsigned, double*, int*, char*);

// Without an instrument every code but 0, 10 and 19 first tries to connect: the port cannot be opened
// (111) and the user is offered emulation.
TEST(Foundation, DispatcherCodesWithoutExchange) {
  TempDir dir;
  WriteMainSection(dir, "");
  int failures = RunHost(dir, [&] {
    Driver driver(dir.Path());
    InstallScriptedUi(driver);
    auto read_head = driver.Fn<ReadHeadFn>("ReadHead");
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
    driver.Fn<int(int)>("SetVSAVMode")(1);
    read_head(32, nullptr, nullptr, nullptr);
    HOST_CHECK_EQ(driver.Fn<IntFn>("GetVSAVMode")(), 0);
    // Answering Yes switches emulation on before the command body runs: its status is emulated.
    Script().answers.push_back(6);
    HOST_CHECK_EQ(read_head(2, nullptr, nullptr, text), 111u);
    HOST_CHECK_EQ(std::string(text), "XREISS");
    HOST_CHECK_EQ(driver.Fn<IntFn>("GetEmulationMode")(), 1);
    HOST_CHECK_EQ(driver.Fn<IntFn>("GetApertureSize")(), 2);
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

TEST(Foundation, ControlPanelReportsThatItCannotBeShown) {
  TempDir dir;
  WriteMainSection(dir, "");
  int failures = RunHost(dir, [&] {
    Driver driver(dir.Path());
    InstallScriptedUi(driver);
    HOST_CHECK_EQ(driver.Fn<IntFn>("ControlPanel")(), -1);
    HOST_CHECK_EQ(Script().boxes.size(), 1u);
    HOST_CHECK_EQ(Script().boxes.at(0).text, "Unable to load instrument control panel.");
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

// The trace file of a configured run, byte for byte (dates replaced by a placeholder).
TEST(Foundation, TraceFileOfAConfiguredRun) {
  TempDir dir;
  WriteMainSection(dir, "");
  std::filesystem::path log = dir / "trace.log";
  WriteFile(dir / "registry.ini",
            "[Software\\Orvanta\\Spectrophotometers\\VK605]\nDiagnosticsFileName=" + log.string() + "\n");
  int failures = RunHost(dir, [&] {
    Driver driver(dir.Path());
    driver.Fn<IntFn>("GetReady")();
    char status[16];
    driver.Fn<TextFn>("GetCurrentStatus")(status);
    EndHostWithoutUnload();
  });
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
  EXPECT_EQ(IniSection(dir / "registry.ini", "Software\\Orvanta\\Spectrophotometers\\VK605")["CALVERAID"],
            "23");
}

}  // namespace
}  // namespace vk605::host
