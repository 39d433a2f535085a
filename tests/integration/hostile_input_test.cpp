// Hostile inputs at the exports: null pointers, texts longer than any field, integers at the ends of their
// range, every ReadHead code, and settings files full of garbage. The host never crashes and every answer
// is the exact one.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>
#include <set>

#include "host_harness.h"
#include "host_process.h"
#include "sim_process.h"

// An export of the loaded driver by its declaration in vk605.h.
#define EXPORT(name) driver.Fn<decltype(name)>(#name)

namespace vk605::host {
namespace {

constexpr const char* kMissingPort = "/dev/vk605-none";

std::string Text(const char* text) {
  return text;
}

// With the instrument connected, every export that takes a pointer is called with null ones.
TEST(HostileInputs, NullPointersAreNothingToCopy) {
  TempDir dir;
  SimProcess sim(dir, {"--trigger-after-ms", "300"});
  WriteDriverIni(dir.Path(), sim.Device());
  int failures = RunHost(dir, [&] {
    Driver driver(dir.Path());
    InstallScriptedUi(driver);
    HOST_CHECK_EQ(EXPORT(InitializeDriver)(), 0);
    HOST_CHECK_EQ(EXPORT(ReadHead)(26, nullptr, nullptr, nullptr), 0u);
    HOST_CHECK_EQ(EXPORT(SetLanguage)(nullptr), 0);
    HOST_CHECK_EQ(EXPORT(GetLanguage)(nullptr), 0);
    char text[8192] = "untouched";
    EXPORT(GetLanguage)(text);
    HOST_CHECK_EQ(Text(text), "");
    HOST_CHECK_EQ(EXPORT(GetPort)(nullptr), 0);
    HOST_CHECK_EQ(EXPORT(GetCalibrationStatus)(nullptr), 0);
    HOST_CHECK_EQ(EXPORT(GetInstrumentStatus)(nullptr), 0);
    HOST_CHECK_EQ(EXPORT(GetMeasurementStatus)(nullptr), 0);
    HOST_CHECK_EQ(EXPORT(GetCurrentStatus)(nullptr), 0);
    HOST_CHECK_EQ(EXPORT(GetFirmwareVersion)(nullptr), 0);
    HOST_CHECK_EQ(EXPORT(GetDriverVersion)(nullptr), 0);
    HOST_CHECK_EQ(EXPORT(GetEmulationName)(nullptr), 0);
    HOST_CHECK_EQ(EXPORT(GetInstrumentName)(nullptr), 0);
    HOST_CHECK_EQ(EXPORT(GetAngleLabel)(0, nullptr), 0);
    EXPORT(GetErrorMessage)(1006, nullptr);
    EXPORT(GetDigitalSignature)(nullptr);
    HOST_CHECK_EQ(EXPORT(IsConfiguredToProfile)(nullptr, 0), 1);
    HOST_CHECK_EQ(EXPORT(InstrumentTranslationTarget)(nullptr, nullptr), 0);
    EXPORT(GetLightLevelTestResults)(nullptr);
    EXPORT(GetLightLevelTestErrors)(nullptr);
    EXPORT(PerformLightLevelTest)(nullptr, nullptr, 0);
    EXPORT(GetGanzGriesserParameters)
    (nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPORT(SetUnsolicitedCallback)(nullptr);
    HOST_CHECK_EQ(EXPORT(PerformMeasurement_SCI_SCE)(nullptr, nullptr), 1023);
    HOST_CHECK_EQ(EXPORT(PerformGlossMeasurement)(nullptr, nullptr, 0), -1);
    HOST_CHECK_EQ(EXPORT(PerformRemoteGlossMeasurement)(nullptr, nullptr, 0), -1);
    // Measurements and triggered measurements into no spectrum: the instrument measures, nothing is stored.
    HOST_CHECK_EQ(EXPORT(PerformMeasurement)(nullptr), 0);
    HOST_CHECK_EQ(EXPORT(ReadHead)(8, nullptr, nullptr, nullptr), 0u);
    HOST_CHECK_EQ(EXPORT(PerformRemoteMeasurement)(nullptr), 0);
    HOST_CHECK_EQ(EXPORT(ReadHead)(37, nullptr, nullptr, nullptr), 0u);
    // The USB pipe family with no device and no records.
    EXPORT(FT8U100AX_Close)(nullptr);
    EXPORT(FT8U100AX_GetDeviceInfo)(nullptr, nullptr);
    EXPORT(FT8U100AX_ResetPipe)(nullptr, 0);
    EXPORT(FT8U100AX_ResetDevice)(nullptr);
    EXPORT(FT8U100AX_ReadPipe00)(nullptr, nullptr, 64, nullptr);
    EXPORT(FT8U100AX_WritePipe00)(nullptr, nullptr, 64, nullptr);
    EXPORT(FT8U100AX_ReadPipe82)(nullptr, nullptr, 64);
    EXPORT(FT8U100AX_WritePipe02)(nullptr, nullptr, 64);
    EXPORT(FT8U100AX_StopTransferPipe00)(nullptr);
    EXPORT(FT8U100AX_StopTransferPipe82)(nullptr);
    EXPORT(FT8U100AX_StopTransferPipe02)(nullptr);
    EXPORT(FT8U100AX_PurgeTransmitBuffer)(nullptr);
    EXPORT(FT8U100AX_ListenPipe)(nullptr, nullptr);
    EXPORT(FT8U100AX_ProcessData)(nullptr, 100, nullptr, nullptr);
    EXPORT(FT8U100AX_RegisterEvent)(nullptr, 0, 0, 0, 0, nullptr);
    EXPORT(FT8U100AX_UnregisterEvent)(nullptr);
    EXPORT(ListenToPipe)(nullptr);
    EXPORT(PipeListenHandler)(nullptr);
    EXPORT(CloseListening)(nullptr);
    EXPORT(USB_Get_WD_handle)(nullptr);
    // The driver still answers properly afterwards.
    double spectra[40] = {};
    HOST_CHECK_EQ(EXPORT(PerformRemoteMeasurement)(spectra), 0);
    HOST_CHECK_EQ(spectra[4], static_cast<double>(52.31f) * 0.01);
    HOST_CHECK_EQ(EXPORT(PerformMeasurement)(spectra), 0);
    HOST_CHECK_EQ(spectra[4], static_cast<double>(52.31f) * 0.01);
    HOST_CHECK_EQ(EXPORT(SetUserInterfaceHandler)(nullptr), 0);
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

// Texts far longer than their fields are cut to the field (19 characters of a port name, 31 of a language);
// a null text empties the field.
TEST(HostileInputs, OverlongTextsAreCutToTheirFields) {
  TempDir dir;
  WriteDriverIni(dir.Path(), kMissingPort);
  int failures = RunHost(dir, [&] {
    Driver driver(dir.Path());
    InstallScriptedUi(driver);
    std::string huge(1 << 20, 'p');
    huge[0] = '/';
    char text[8192];
    HOST_CHECK_EQ(EXPORT(SetLanguage)(huge.c_str()), 0);
    std::memset(text, '#', sizeof text);
    HOST_CHECK_EQ(EXPORT(GetLanguage)(text), 0);
    HOST_CHECK_EQ(Text(text), huge.substr(0, 31));
    HOST_CHECK_EQ(EXPORT(SetPort)(huge.c_str()), 0);
    std::memset(text, '#', sizeof text);
    HOST_CHECK_EQ(EXPORT(GetPort)(text), 0);
    HOST_CHECK_EQ(Text(text), huge.substr(0, 19));
    HOST_CHECK_EQ(IniSection(dir / "VK605.INI", "MAIN")["PORT"], huge.substr(0, 19));
    HOST_CHECK_EQ(EXPORT(SetPort)(nullptr), 0);
    EXPORT(GetPort)(text);
    HOST_CHECK_EQ(Text(text), "");
    HOST_CHECK(Script().boxes.empty());
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

// Integers at both ends of their range: values the host keeps come back as given, indexes outside their
// table are refused, and nothing indexes memory with them.
TEST(HostileInputs, NegativeAndHugeIntegers) {
  TempDir dir;
  WriteDriverIni(dir.Path(), kMissingPort);
  int failures = RunHost(dir, [&] {
    Driver driver(dir.Path());
    InstallScriptedUi(driver);
    for (int value : {INT_MIN, -1, INT_MAX}) {
      const std::string number = std::to_string(value);
      HOST_CHECK_EQ(EXPORT(SetBaudRate)(value), 0);
      HOST_CHECK_EQ(EXPORT(GetBaudRate)(), value);
      HOST_CHECK_EQ(IniSection(dir / "VK605.INI", "MAIN")["BAUDRATE"], number);
      HOST_CHECK_EQ(EXPORT(StoreDriverInstance)(value), 0);
      HOST_CHECK_EQ(EXPORT(GetDriverInstance)(), value);
      HOST_CHECK_EQ(EXPORT(GetReferenceFlashInterval)(value), -1);
      HOST_CHECK_EQ(EXPORT(SetReferenceFlashInterval)(value, value), 1);
      char text[64] = "untouched";
      EXPORT(GetErrorMessage)(value, text);
      HOST_CHECK_EQ(Text(text), "untouched");
      HOST_CHECK_EQ(EXPORT(GetAngleLabel)(value, text), 0);
      HOST_CHECK_EQ(Text(text), " ");
      EXPORT(SetEmbeddedProfileDaysToExpiration)(value);
      EXPORT(GetEmbeddedProfile)(value);
      EXPORT(SendEmbeddedProfile)(value, value);
      EXPORT(SetUnsolicitedCallbackMode)(value);
      EXPORT(SetCalibrationRequestState)(value);
      HOST_CHECK_EQ(EXPORT(GetCalibrationRequestState)(), value);
      EXPORT(SetOverride)(value);
      HOST_CHECK_EQ(EXPORT(GetOverride)(), value);
    }
    for (char digit : {'\0', '\x7f', '\xff', 'Z'}) {
      EXPORT(SetParity)(digit);
      EXPORT(SetStopBits)(digit);
      EXPORT(SetByteSize)(digit);
    }
    HOST_CHECK_EQ(EXPORT(FT8U100AX_CountDevices)(UINT_MAX, UINT_MAX), 0);
    HOST_CHECK(EXPORT(FT8U100AX_Open)(UINT_MAX, UINT_MAX, UINT_MAX, UINT_MAX) == nullptr);
    HOST_CHECK(Script().boxes.empty());
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

// The dispatcher codes that copy no text.
const std::set<unsigned> kCopiesNothing{6, 7, 26, 32, 49, 50, 117, 119, 123};
const std::set<unsigned> kSameBodyAsAnother{1, 6, 7, 29};

// Every dispatcher code from 0 to 1000, once with buffers and once with none at all. Codes above 123 are
// unsupported: 0 and the instrument status. Every text handed back ends inside the 8192-byte buffer.
TEST(HostileInputs, ReadHeadWithEveryCode) {
  TempDir dir;
  SimProcess sim(dir, {"--trigger-after-ms", "300"});
  WriteDriverIni(dir.Path(), sim.Device());
  int failures = RunHost(dir, [&] {
    Driver driver(dir.Path());
    InstallScriptedUi(driver);
    HOST_CHECK_EQ(EXPORT(InitializeDriver)(), 0);
    for (unsigned code = 0; code <= 1000; ++code) {
      char text[8192];
      std::memset(text, '#', sizeof text);
      double spectra[40] = {};
      int options = 0;
      unsigned result = EXPORT(ReadHead)(code, spectra, &options, text);
      if (kCopiesNothing.count(code) != 0) {
        Check(std::string(text, sizeof text) == std::string(sizeof text, '#'),
              "code " + std::to_string(code) + ": text untouched");
      } else {
        Check(std::memchr(text, '\0', sizeof text) != nullptr,
              "code " + std::to_string(code) + ": text ends");
      }
      if (code > 123) {
        Check(result == 0, "code " + std::to_string(code) + ": result " + std::to_string(result));
        Check(Text(text) == "CREILL", "code " + std::to_string(code) + ": text " + Text(text).substr(0, 40));
      }
      // Without buffers too; the resets of codes 1 and 29 and the calibrations of codes 6 and 7 run the
      // same bodies as codes 19 and 123, so they are not repeated (each costs seconds of fixed waits).
      if (kSameBodyAsAnother.count(code) == 0) {
        result = EXPORT(ReadHead)(code, nullptr, nullptr, nullptr);
        if (code > 123) Check(result == 0, "code " + std::to_string(code) + " without buffers");
      }
      Script().boxes.clear();
    }
    double spectra[40] = {};
    HOST_CHECK_EQ(EXPORT(PerformMeasurement)(spectra), 0);
    HOST_CHECK_EQ(spectra[4], static_cast<double>(52.31f) * 0.01);
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

// Random bytes for 4096 bytes (NUL, CR and LF among them).
std::string BinaryGarbage(unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(4096, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
  return bytes;
}

// VK605.INI and the registry stand-in full of binary garbage, 1 MB lines and duplicate sections and keys:
// the first section and the first key of a name count, garbage stays where it is, values too long for
// their field are cut, and every write keeps the rest of the file.
TEST(HostileInputs, GarbledSettingsFiles) {
  TempDir dir;
  const std::string megabyte(1 << 20, 'E');
  WriteFile(dir / "VK605.INI", BinaryGarbage(1) + "\r\n[MAIN]\r\nPORT=" + kMissingPort +
                                   "\r\nPORT=/dev/second\r\n" + "PARITY=" + megabyte + "\r\n" + megabyte +
                                   "\r\n[MAIN]\r\nBAUDRATE=1200\r\n" + "[main]\r\nBYTESIZE=7\r\n" +
                                   BinaryGarbage(2));
  const std::string key = "[Software\\Orvanta\\Spectrophotometers\\VK605]\r\n";
  WriteFile(dir / "registry.ini",
            BinaryGarbage(3) + "\r\n" + key + "DiagnosticsFileName=" + (dir / "first.log").string() +
                "\r\nDiagnosticsFileName=" + (dir / "second.log").string() + "\r\n" + megabyte + "\r\n" +
                key + "DiagnosticsFileName=" + (dir / "third.log").string() + "\r\n" + BinaryGarbage(4));
  int failures = RunHost(dir, [&] {
    Driver driver(dir.Path());
    InstallScriptedUi(driver);
    char text[8192] = {};
    EXPORT(GetPort)(text);
    HOST_CHECK_EQ(Text(text), kMissingPort);
    HOST_CHECK_EQ(EXPORT(GetParity)(), 0);
    HOST_CHECK_EQ(EXPORT(GetBaudRate)(), 9600);
    HOST_CHECK_EQ(EXPORT(GetByteSize)(), 8);
    HOST_CHECK_EQ(EXPORT(SetBaudRate)(4800), 0);
    const std::string file = ReadFile(dir / "VK605.INI");
    HOST_CHECK_EQ(IniSection(dir / "VK605.INI", "MAIN")["BAUDRATE"], "4800");
    HOST_CHECK(file.find("[MAIN]\r\nBAUDRATE=1200\r\n[main]\r\nBYTESIZE=7\r\n") != std::string::npos);
    HOST_CHECK(file.find("\r\n" + megabyte + "\r\n") != std::string::npos);
    HOST_CHECK(std::filesystem::exists(dir / "first.log"));
    HOST_CHECK(!std::filesystem::exists(dir / "second.log"));
    HOST_CHECK(!std::filesystem::exists(dir / "third.log"));
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

// A registry stand-in that is a directory holds no keys: the driver starts, logs nowhere, and leaves the
// directory alone.
TEST(HostileInputs, RegistryFileThatIsADirectory) {
  TempDir dir;
  WriteDriverIni(dir.Path(), kMissingPort);
  std::filesystem::create_directories(dir / "registry.ini");
  int failures = RunHost(dir, [&] {
    Driver driver(dir.Path());
    InstallScriptedUi(driver);
    HOST_CHECK_EQ(EXPORT(InitializeDriver)(), 111);
    HOST_CHECK_EQ(EXPORT(IsCalveraEnabled)(), EXPORT(IsCalveraEnabled)());
    char text[8192] = {};
    EXPORT(GetPort)(text);
    HOST_CHECK_EQ(Text(text), kMissingPort);
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
  EXPECT_TRUE(std::filesystem::is_directory(dir / "registry.ini"));
  EXPECT_TRUE(std::filesystem::is_empty(dir / "registry.ini"));
}

}  // namespace
}  // namespace vk605::host
