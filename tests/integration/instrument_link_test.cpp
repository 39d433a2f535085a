// The driver against vk605-sim on a real pty: connection, identification, status and emulation.
#include <gtest/gtest.h>

#include <cstring>

#include "host_test.h"

namespace vk605::host {
namespace {

using InstrumentLink = HostTest;

const char* const kConnectCommands =
    "\\r 0005CF\\r 000CCF\\r 0101SM\\r BR\\r 0004CF\\r 000BCF\\r 1241CF\\r 0108CF\\r 00SN\\r \\r SV\\r "
    "01XD\\r AT\\r,";
const char* const kResetCommands =
    "\\r 0005CF\\r 000CCF\\r 0101SM\\r BR\\r 0004CF\\r 000BCF\\r 1241CF\\r 0108CF\\r 00SN\\r \\r SV\\r";

TEST_F(InstrumentLink, InitializeConnectsResetsAndIdentifies) {
  SimProcess& sim = StartInstrument();
  int failures = RunHost([&](Driver& driver) {
    HOST_CHECK_EQ(VK605_EXPORT(driver, IsValidInstrument)(), 0);
    HOST_CHECK_EQ(VK605_EXPORT(driver, InitializeDriver)(), 0);
    HOST_CHECK_EQ(Joined(sim.Commands()), kConnectCommands);
    HOST_CHECK(Script().boxes.empty());
    HOST_CHECK_EQ(
        Joined(Script().dialog_events),
        "open:VK605|Attempting To Connect To Instrument...| "
        "text:Attempting to communicate with the spectrophotometer... text:Initializing driver... close");
    char status[16] = {};
    VK605_EXPORT(driver, GetInstrumentStatus)(status);
    HOST_CHECK_EQ(std::string(status), "CREILL");
    HOST_CHECK_EQ(VK605_EXPORT(driver, GetCommunications)(), 1);
    HOST_CHECK_EQ(VK605_EXPORT(driver, IsValidInstrument)(), 1);
    HOST_CHECK_EQ(VK605_EXPORT(driver, GetApertureSize)(), 0);
    // The calibration record lives in a file named after the identification text.
    HOST_CHECK(std::filesystem::exists(Path("VK60512345.INI")));
    HOST_CHECK_EQ(IniSection(Path("VK60512345.INI"), "CALIBRATION")["HOURS"], "4");

    sim.ClearRecord();
    char version[64] = {};
    HOST_CHECK_EQ(VK605_EXPORT(driver, GetFirmwareVersion)(version), 0);
    HOST_CHECK_EQ(std::string(version), "VK605 V1.07");
    HOST_CHECK(sim.Commands().empty());  // served from the cache

    char serial[64] = {};
    HOST_CHECK_EQ(VK605_EXPORT(driver, GetSerialNumber)(serial), 0);
    HOST_CHECK_EQ(std::string(serial), "VK60512345");
    HOST_CHECK_EQ(Joined(sim.Commands()), kResetCommands);  // every call resets the instrument
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

TEST_F(InstrumentLink, StatusFollowsTheInstrumentsCalibrationState) {
  SimProcess& sim = StartInstrument({"--uncalibrated", "--serial", "A1234"});
  int failures = RunHost([&](Driver& driver) {
    auto read_head = VK605_EXPORT(driver, ReadHead);
    char text[8192] = {};
    HOST_CHECK_EQ(read_head(2, nullptr, nullptr, text), 0u);
    HOST_CHECK_EQ(std::string(text), "XREILL");
    sim.Set("calibrated");
    sim.ClearRecord();
    HOST_CHECK_EQ(read_head(2, nullptr, nullptr, text), 0u);
    HOST_CHECK_EQ(std::string(text), "CREILL");
    HOST_CHECK_EQ(Joined(sim.Commands()), "01XD\\r AT\\r,");
    char serial[64] = {};
    VK605_EXPORT(driver, GetSerialNumber)(serial);
    HOST_CHECK_EQ(std::string(serial), "VK605A1234");
    // Codes 49 and 50 both leave the specular mode excluded and refresh the measurement status.
    HOST_CHECK_EQ(VK605_EXPORT(driver, SetSpecularComponent)(0), 0);
    HOST_CHECK_EQ(VK605_EXPORT(driver, GetSpecularComponent)(), 1);
    HOST_CHECK_EQ(VK605_EXPORT(driver, SetSpecularComponent)(5), 1023);
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

// On the serial link a reply that times out still completes the exchange, so a reset step the instrument
// leaves unanswered costs its 500 ms and the reset goes on to identify the instrument.
TEST_F(InstrumentLink, UnansweredResetStepDoesNotStopTheResetOnTheSerialLink) {
  SimProcess& sim = StartInstrument();
  int failures = RunHost([&](Driver& driver) {
    auto read_head = VK605_EXPORT(driver, ReadHead);
    char text[8192] = {};
    HOST_CHECK_EQ(read_head(2, nullptr, nullptr, text), 0u);
    sim.Set("silent BR");
    sim.ClearRecord();
    HOST_CHECK_EQ(read_head(29, nullptr, nullptr, text), 0u);
    HOST_CHECK_EQ(Joined(sim.Commands()), kResetCommands);
    HOST_CHECK_EQ(std::string(text), "VK60512345");
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

// A port where nothing answers: every write succeeds and every read times out. The connect used to
// count that as an instrument (InitializeDriver 0, GetCommunications 1, an empty serial number); only a
// serial number identifies one, so the connect fails and offers emulation, and no version is asked for.
TEST_F(InstrumentLink, SilentPortIsNoInstrument) {
  std::vector<std::string> options;
  for (const char* command : {"", "0005CF", "000CCF", "0101SM", "BR", "0004CF", "000BCF", "1241CF", "0108CF",
                              "00SN", "SV", "01XD", "AT"}) {
    options.insert(options.end(), {"--silent", command});
  }
  SimProcess& sim = StartInstrument(options);
  int failures = RunHost([&](Driver& driver) {
    VK605_EXPORT(driver, DisableDriverUI)();
    Script().answers = {7, 7};
    HOST_CHECK_EQ(VK605_EXPORT(driver, InitializeDriver)(), 2);
    HOST_CHECK_EQ(Joined(sim.Commands()),
                  "\\r 0005CF\\r 000CCF\\r 0101SM\\r BR\\r 0004CF\\r 000BCF\\r 1241CF\\r 0108CF\\r 00SN\\r");
    HOST_CHECK_EQ(Script().boxes.size(), 1u);
    if (!Script().boxes.empty()) {
      HOST_CHECK_EQ(Script().boxes[0].text,
                    "Unable to communicate with spectrophotometer.  Do you want to enable emulation mode?");
    }
    char identification[64] = {};
    VK605_EXPORT(driver, ReadHead)(0, nullptr, nullptr, identification);
    HOST_CHECK_EQ(std::string(identification), "VK605");
    HOST_CHECK_EQ(VK605_EXPORT(driver, GetCommunications)(), 0);
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

// A line that puts noise in front of the serial number is no instrument either.
TEST_F(InstrumentLink, NoisySerialNumberIsNoInstrument) {
  StartInstrument({"--fault", "noise", "--fault-only", "00SN"});
  int failures = RunHost([&](Driver& driver) {
    VK605_EXPORT(driver, DisableDriverUI)();
    HOST_CHECK_EQ(VK605_EXPORT(driver, InitializeDriver)(), 2);
    HOST_CHECK_EQ(VK605_EXPORT(driver, GetCommunications)(), 0);
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

TEST_F(InstrumentLink, EmulationAnswersStatusWithoutTheInstrument) {
  SimProcess& sim = StartInstrument({}, "EMULATION_MODE=1\r\n");
  int failures = RunHost([&](Driver& driver) {
    auto read_head = VK605_EXPORT(driver, ReadHead);
    char text[8192] = {};
    HOST_CHECK_EQ(read_head(2, nullptr, nullptr, text), 0u);
    HOST_CHECK_EQ(std::string(text), "XREISS");
    HOST_CHECK_EQ(VK605_EXPORT(driver, GetApertureSize)(), 2);
    HOST_CHECK_EQ(VK605_EXPORT(driver, GetCommunications)(), 1);
    HOST_CHECK_EQ(read_head(29, nullptr, nullptr, text), 0u);
    HOST_CHECK(sim.Commands().empty());
    HOST_CHECK(Script().boxes.empty());
    HOST_CHECK(Script().dialog_events.empty());
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

TEST_F(InstrumentLink, FailedConnectOffersEmulationUntilAccepted) {
  WriteSettingsWithoutInstrument();
  int failures = RunHost([&](Driver& driver) {
    VK605_EXPORT(driver, DisableDriverUI)();
    auto read_head = VK605_EXPORT(driver, ReadHead);
    char text[8192] = {};
    Script().answers = {7, 7, 6};
    HOST_CHECK_EQ(read_head(2, nullptr, nullptr, text), 111u);
    HOST_CHECK_EQ(std::string(text), "XREISS");  // both status queries failed on the missing port
    HOST_CHECK_EQ(VK605_EXPORT(driver, GetEmulationMode)(), 0);
    HOST_CHECK_EQ(read_head(2, nullptr, nullptr, text), 111u);
    HOST_CHECK_EQ(read_head(2, nullptr, nullptr, text), 111u);
    HOST_CHECK_EQ(std::string(text), "XREISS");
    HOST_CHECK_EQ(VK605_EXPORT(driver, GetEmulationMode)(), 1);
    HOST_CHECK_EQ(Script().boxes.size(), 3u);
    HOST_CHECK(Script().dialog_events.empty());               // the driver UI was switched off
    HOST_CHECK_EQ(read_head(2, nullptr, nullptr, text), 0u);  // no further connect attempts
    HOST_CHECK_EQ(Script().boxes.size(), 3u);
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

TEST_F(InstrumentLink, CloseResetsAndTheNextCommandConnectsAgain) {
  SimProcess& sim = StartInstrument();
  int failures = RunHost([&](Driver& driver) {
    auto read_head = VK605_EXPORT(driver, ReadHead);
    char text[8192] = {};
    HOST_CHECK_EQ(read_head(2, nullptr, nullptr, text), 0u);
    sim.ClearRecord();
    HOST_CHECK_EQ(read_head(19, nullptr, nullptr, text), 0u);
    HOST_CHECK_EQ(std::string(text), "VK60512345");
    HOST_CHECK_EQ(Joined(sim.Commands()), kResetCommands);
    sim.ClearRecord();
    HOST_CHECK_EQ(read_head(89, nullptr, nullptr, text), 0u);
    HOST_CHECK_EQ(Joined(sim.Commands()), kConnectCommands);
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

TEST_F(InstrumentLink, SettersReopenThePortWhileConnected) {
  SimProcess& sim = StartInstrument();
  int failures = RunHost([&](Driver& driver) {
    HOST_CHECK_EQ(VK605_EXPORT(driver, InitializeDriver)(), 0);
    HOST_CHECK_EQ(VK605_EXPORT(driver, SetBaudRate)(19200), 0);
    HOST_CHECK_EQ(IniSection(Path("VK605.INI"), "MAIN")["BAUDRATE"], "19200");
    sim.ClearRecord();
    char text[8192] = {};
    HOST_CHECK_EQ(VK605_EXPORT(driver, ReadHead)(2, nullptr, nullptr, text), 0u);
    HOST_CHECK_EQ(Joined(sim.Commands()), "01XD\\r AT\\r,");
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

}  // namespace
}  // namespace vk605::host
