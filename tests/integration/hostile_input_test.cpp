// Hostile inputs at the exports: null pointers, texts longer than any field, integers at the ends of their
// range, every ReadHead code, and settings files full of garbage. The host never crashes and every answer
// is the exact one.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>
#include <set>

#include "host_test.h"

namespace vk605::host {
namespace {

using HostileInputs = HostTest;

std::string Text(const char* text) {
  return text;
}

// With the instrument connected, every export that takes a pointer is called with null ones.
TEST_F(HostileInputs, NullPointersAreNothingToCopy) {
  StartInstrument({"--trigger-after-ms", "300"});
  int failures = RunHost([&](Driver& driver) {
    HOST_CHECK_EQ(VK605_EXPORT(driver, InitializeDriver)(), 0);
    HOST_CHECK_EQ(VK605_EXPORT(driver, ReadHead)(26, nullptr, nullptr, nullptr), 0u);
    HOST_CHECK_EQ(VK605_EXPORT(driver, SetLanguage)(nullptr), 0);
    HOST_CHECK_EQ(VK605_EXPORT(driver, GetLanguage)(nullptr), 0);
    char text[8192] = "untouched";
    VK605_EXPORT(driver, GetLanguage)(text);
    HOST_CHECK_EQ(Text(text), "");
    HOST_CHECK_EQ(VK605_EXPORT(driver, GetPort)(nullptr), 0);
    HOST_CHECK_EQ(VK605_EXPORT(driver, GetCalibrationStatus)(nullptr), 0);
    HOST_CHECK_EQ(VK605_EXPORT(driver, GetInstrumentStatus)(nullptr), 0);
    HOST_CHECK_EQ(VK605_EXPORT(driver, GetMeasurementStatus)(nullptr), 0);
    HOST_CHECK_EQ(VK605_EXPORT(driver, GetCurrentStatus)(nullptr), 0);
    HOST_CHECK_EQ(VK605_EXPORT(driver, GetFirmwareVersion)(nullptr), 0);
    HOST_CHECK_EQ(VK605_EXPORT(driver, GetDriverVersion)(nullptr), 0);
    HOST_CHECK_EQ(VK605_EXPORT(driver, GetEmulationName)(nullptr), 0);
    HOST_CHECK_EQ(VK605_EXPORT(driver, GetInstrumentName)(nullptr), 0);
    HOST_CHECK_EQ(VK605_EXPORT(driver, GetAngleLabel)(0, nullptr), 0);
    VK605_EXPORT(driver, GetErrorMessage)(1006, nullptr);
    VK605_EXPORT(driver, GetDigitalSignature)(nullptr);
    HOST_CHECK_EQ(VK605_EXPORT(driver, IsConfiguredToProfile)(nullptr, 0), 1);
    HOST_CHECK_EQ(VK605_EXPORT(driver, InstrumentTranslationTarget)(nullptr, nullptr), 0);
    VK605_EXPORT(driver, GetLightLevelTestResults)(nullptr);
    VK605_EXPORT(driver, GetLightLevelTestErrors)(nullptr);
    VK605_EXPORT(driver, PerformLightLevelTest)(nullptr, nullptr, 0);
    VK605_EXPORT(driver, GetGanzGriesserParameters)
    (nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    VK605_EXPORT(driver, SetUnsolicitedCallback)(nullptr);
    HOST_CHECK_EQ(VK605_EXPORT(driver, PerformMeasurement_SCI_SCE)(nullptr, nullptr), 1023);
    HOST_CHECK_EQ(VK605_EXPORT(driver, PerformGlossMeasurement)(nullptr, nullptr, 0), -1);
    HOST_CHECK_EQ(VK605_EXPORT(driver, PerformRemoteGlossMeasurement)(nullptr, nullptr, 0), -1);
    // Measurements and triggered measurements into no spectrum: the instrument measures, nothing is stored.
    HOST_CHECK_EQ(VK605_EXPORT(driver, PerformMeasurement)(nullptr), 0);
    HOST_CHECK_EQ(VK605_EXPORT(driver, ReadHead)(8, nullptr, nullptr, nullptr), 0u);
    HOST_CHECK_EQ(VK605_EXPORT(driver, PerformRemoteMeasurement)(nullptr), 0);
    HOST_CHECK_EQ(VK605_EXPORT(driver, ReadHead)(37, nullptr, nullptr, nullptr), 0u);
    // The USB pipe family with no device and no records.
    VK605_EXPORT(driver, FT8U100AX_Close)(nullptr);
    VK605_EXPORT(driver, FT8U100AX_GetDeviceInfo)(nullptr, nullptr);
    VK605_EXPORT(driver, FT8U100AX_ResetPipe)(nullptr, 0);
    VK605_EXPORT(driver, FT8U100AX_ResetDevice)(nullptr);
    VK605_EXPORT(driver, FT8U100AX_ReadPipe00)(nullptr, nullptr, 64, nullptr);
    VK605_EXPORT(driver, FT8U100AX_WritePipe00)(nullptr, nullptr, 64, nullptr);
    VK605_EXPORT(driver, FT8U100AX_ReadPipe82)(nullptr, nullptr, 64);
    VK605_EXPORT(driver, FT8U100AX_WritePipe02)(nullptr, nullptr, 64);
    VK605_EXPORT(driver, FT8U100AX_StopTransferPipe00)(nullptr);
    VK605_EXPORT(driver, FT8U100AX_StopTransferPipe82)(nullptr);
    VK605_EXPORT(driver, FT8U100AX_StopTransferPipe02)(nullptr);
    VK605_EXPORT(driver, FT8U100AX_PurgeTransmitBuffer)(nullptr);
    VK605_EXPORT(driver, FT8U100AX_ListenPipe)(nullptr, nullptr);
    VK605_EXPORT(driver, FT8U100AX_ProcessData)(nullptr, 100, nullptr, nullptr);
    VK605_EXPORT(driver, FT8U100AX_RegisterEvent)(nullptr, 0, 0, 0, 0, nullptr);
    VK605_EXPORT(driver, FT8U100AX_UnregisterEvent)(nullptr);
    VK605_EXPORT(driver, ListenToPipe)(nullptr);
    VK605_EXPORT(driver, PipeListenHandler)(nullptr);
    VK605_EXPORT(driver, CloseListening)(nullptr);
    VK605_EXPORT(driver, USB_Get_WD_handle)(nullptr);
    // The driver still answers properly afterwards.
    double spectra[40] = {};
    HOST_CHECK_EQ(VK605_EXPORT(driver, PerformRemoteMeasurement)(spectra), 0);
    HOST_CHECK_EQ(spectra[4], static_cast<double>(52.31f) * 0.01);
    HOST_CHECK_EQ(VK605_EXPORT(driver, PerformMeasurement)(spectra), 0);
    HOST_CHECK_EQ(spectra[4], static_cast<double>(52.31f) * 0.01);
    HOST_CHECK_EQ(VK605_EXPORT(driver, SetUserInterfaceHandler)(nullptr), 0);
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

// Texts far longer than their fields: a language is cut to its 31 characters, a port name is refused;
// a null text empties the field.
TEST_F(HostileInputs, OverlongTextsAreCutOrRefused) {
  WriteSettingsWithoutInstrument();
  int failures = RunHost([&](Driver& driver) {
    std::string huge(1 << 20, 'p');
    huge[0] = '/';
    char text[8192];
    HOST_CHECK_EQ(VK605_EXPORT(driver, SetLanguage)(huge.c_str()), 0);
    std::memset(text, '#', sizeof text);
    HOST_CHECK_EQ(VK605_EXPORT(driver, GetLanguage)(text), 0);
    HOST_CHECK_EQ(Text(text), huge.substr(0, 31));
    // A port name is not cut but refused: a cut one would name another device.
    char before[64] = {};
    HOST_CHECK_EQ(VK605_EXPORT(driver, GetPort)(before), 0);
    std::string stored = IniSection(Path("VK605.INI"), "MAIN")["PORT"];
    HOST_CHECK_EQ(VK605_EXPORT(driver, SetPort)(huge.c_str()), 1);
    std::memset(text, '#', sizeof text);
    HOST_CHECK_EQ(VK605_EXPORT(driver, GetPort)(text), 0);
    HOST_CHECK_EQ(Text(text), std::string(before));
    HOST_CHECK_EQ(IniSection(Path("VK605.INI"), "MAIN")["PORT"], stored);
    HOST_CHECK_EQ(VK605_EXPORT(driver, SetPort)(nullptr), 0);
    VK605_EXPORT(driver, GetPort)(text);
    HOST_CHECK_EQ(Text(text), "");
    HOST_CHECK(Script().boxes.empty());
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

// Integers at both ends of their range: values the host keeps come back as given, indexes outside their
// table are refused, and nothing indexes memory with them.
TEST_F(HostileInputs, NegativeAndHugeIntegers) {
  WriteSettingsWithoutInstrument();
  int failures = RunHost([&](Driver& driver) {
    for (int value : {INT_MIN, -1, INT_MAX}) {
      const std::string number = std::to_string(value);
      HOST_CHECK_EQ(VK605_EXPORT(driver, SetBaudRate)(value), 0);
      HOST_CHECK_EQ(VK605_EXPORT(driver, GetBaudRate)(), value);
      HOST_CHECK_EQ(IniSection(Path("VK605.INI"), "MAIN")["BAUDRATE"], number);
      HOST_CHECK_EQ(VK605_EXPORT(driver, StoreDriverInstance)(value), 0);
      HOST_CHECK_EQ(VK605_EXPORT(driver, GetDriverInstance)(), value);
      HOST_CHECK_EQ(VK605_EXPORT(driver, GetReferenceFlashInterval)(value), -1);
      HOST_CHECK_EQ(VK605_EXPORT(driver, SetReferenceFlashInterval)(value, value), 1);
      char text[64] = "untouched";
      VK605_EXPORT(driver, GetErrorMessage)(value, text);
      HOST_CHECK_EQ(Text(text), "untouched");
      HOST_CHECK_EQ(VK605_EXPORT(driver, GetAngleLabel)(value, text), 0);
      HOST_CHECK_EQ(Text(text), " ");
      VK605_EXPORT(driver, SetEmbeddedProfileDaysToExpiration)(value);
      VK605_EXPORT(driver, GetEmbeddedProfile)(value);
      VK605_EXPORT(driver, SendEmbeddedProfile)(value, value);
      VK605_EXPORT(driver, SetUnsolicitedCallbackMode)(value);
      VK605_EXPORT(driver, SetCalibrationRequestState)(value);
      HOST_CHECK_EQ(VK605_EXPORT(driver, GetCalibrationRequestState)(), value);
      VK605_EXPORT(driver, SetOverride)(value);
      HOST_CHECK_EQ(VK605_EXPORT(driver, GetOverride)(), value);
    }
    for (char digit : {'\0', '\x7f', '\xff', 'Z'}) {
      VK605_EXPORT(driver, SetParity)(digit);
      VK605_EXPORT(driver, SetStopBits)(digit);
      VK605_EXPORT(driver, SetByteSize)(digit);
    }
    HOST_CHECK_EQ(VK605_EXPORT(driver, FT8U100AX_CountDevices)(UINT_MAX, UINT_MAX), 0);
    HOST_CHECK(VK605_EXPORT(driver, FT8U100AX_Open)(UINT_MAX, UINT_MAX, UINT_MAX, UINT_MAX) == nullptr);
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
TEST_F(HostileInputs, ReadHeadWithEveryCode) {
  StartInstrument({"--trigger-after-ms", "300"});
  int failures = RunHost([&](Driver& driver) {
    HOST_CHECK_EQ(VK605_EXPORT(driver, InitializeDriver)(), 0);
    for (unsigned code = 0; code <= 1000; ++code) {
      char text[8192];
      std::memset(text, '#', sizeof text);
      double spectra[40] = {};
      int options = 0;
      unsigned result = VK605_EXPORT(driver, ReadHead)(code, spectra, &options, text);
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
        result = VK605_EXPORT(driver, ReadHead)(code, nullptr, nullptr, nullptr);
        if (code > 123) Check(result == 0, "code " + std::to_string(code) + " without buffers");
      }
      Script().boxes.clear();
    }
    double spectra[40] = {};
    HOST_CHECK_EQ(VK605_EXPORT(driver, PerformMeasurement)(spectra), 0);
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
// A 200 MB VK605.INI took seconds and hundreds of megabytes to load, and every setter rewrote it: a
// file above 1 MB is now neither read nor written, by setters or at unload.
TEST_F(HostileInputs, OversizedSettingsFileIsLeftAlone) {
  const std::string content = "[MAIN]\r\nBAUDRATE=1200\r\n" + std::string((1 << 20) + 1, ';') + "\r\n";
  WriteFile(Path("VK605.INI"), content);
  int failures = RunHost([&](Driver& driver) {
    HOST_CHECK_EQ(VK605_EXPORT(driver, GetBaudRate)(), 9600);
    HOST_CHECK_EQ(VK605_EXPORT(driver, SetBaudRate)(4800), 1);
    HOST_CHECK_EQ(VK605_EXPORT(driver, GetBaudRate)(), 9600);
    HOST_CHECK(ReadFile(Path("VK605.INI")) == content);
  });
  EXPECT_EQ(failures, 0);
  EXPECT_TRUE(ReadFile(Path("VK605.INI")) == content);
}

TEST_F(HostileInputs, GarbledSettingsFiles) {
  const std::string megabyte(1 << 20, 'E');
  // Long lines, but the file stays below the settings size limit (see OversizedSettingsFileIsLeftAlone).
  const std::string long_line(200 * 1024, 'E');
  WriteFile(Path("VK605.INI"), BinaryGarbage(1) + "\r\n[MAIN]\r\nPORT=" + MissingPortName() +
                                   "\r\nPORT=/dev/second\r\n" + "PARITY=" + long_line + "\r\n" + long_line +
                                   "\r\n[MAIN]\r\nBAUDRATE=1200\r\n" + "[main]\r\nBYTESIZE=7\r\n" +
                                   BinaryGarbage(2));
  const std::string key = "[Software\\Orvanta\\Spectrophotometers\\VK605]\r\n";
  WriteFile(Path("registry.ini"),
            BinaryGarbage(3) + "\r\n" + key + "DiagnosticsFileName=" + (Path("first.log")).string() +
                "\r\nDiagnosticsFileName=" + (Path("second.log")).string() + "\r\n" + megabyte + "\r\n" +
                key + "DiagnosticsFileName=" + (Path("third.log")).string() + "\r\n" + BinaryGarbage(4));
  int failures = RunHost([&](Driver& driver) {
    char text[8192] = {};
    VK605_EXPORT(driver, GetPort)(text);
    HOST_CHECK_EQ(Text(text), MissingPortName());
    HOST_CHECK_EQ(VK605_EXPORT(driver, GetParity)(), 0);
    HOST_CHECK_EQ(VK605_EXPORT(driver, GetBaudRate)(), 9600);
    HOST_CHECK_EQ(VK605_EXPORT(driver, GetByteSize)(), 8);
    HOST_CHECK_EQ(VK605_EXPORT(driver, SetBaudRate)(4800), 0);
    const std::string file = ReadFile(Path("VK605.INI"));
    HOST_CHECK_EQ(IniSection(Path("VK605.INI"), "MAIN")["BAUDRATE"], "4800");
    HOST_CHECK(file.find("[MAIN]\r\nBAUDRATE=1200\r\n[main]\r\nBYTESIZE=7\r\n") != std::string::npos);
    HOST_CHECK(file.find("\r\n" + long_line + "\r\n") != std::string::npos);
    HOST_CHECK(std::filesystem::exists(Path("first.log")));
    HOST_CHECK(!std::filesystem::exists(Path("second.log")));
    HOST_CHECK(!std::filesystem::exists(Path("third.log")));
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

// A registry stand-in that is a directory holds no keys: the driver starts, logs nowhere, and leaves the
// directory alone.
TEST_F(HostileInputs, RegistryFileThatIsADirectory) {
  WriteSettingsWithoutInstrument();
  std::filesystem::create_directories(Path("registry.ini"));
  int failures = RunHost([&](Driver& driver) {
    HOST_CHECK_EQ(VK605_EXPORT(driver, InitializeDriver)(), 111);
    HOST_CHECK_EQ(VK605_EXPORT(driver, IsCalveraEnabled)(), VK605_EXPORT(driver, IsCalveraEnabled)());
    char text[8192] = {};
    VK605_EXPORT(driver, GetPort)(text);
    HOST_CHECK_EQ(Text(text), MissingPortName());
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
  EXPECT_TRUE(std::filesystem::is_directory(Path("registry.ini")));
  EXPECT_TRUE(std::filesystem::is_empty(Path("registry.ini")));
}

}  // namespace
}  // namespace vk605::host
