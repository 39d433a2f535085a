#include "engine/connection.h"

#include <gtest/gtest.h>

#include <cstring>

#include "engine_rig.h"

namespace vk605 {
namespace {

using testing::EngineRig;

const char* const kConnect =
    "\r0005CF\r000CCF\r0101SM\rBR\r0004CF\r000BCF\r1241CF\r0108CF\r00SN\r\rSV\r01XD\rAT\r,";

TEST(Connection, ConnectRunsTheWholeSequenceWithItsFixedWaits) {
  EngineRig rig;
  char text[kTextBufferSize] = {};
  EXPECT_EQ(rig.Run(0, text), 0u);
  EXPECT_EQ(rig.Written(), kConnect);
  EXPECT_STREQ(text, "VK60512345");
  EXPECT_STREQ(rig.state.FirmwareVersion, "VK605 V1.07");
  EXPECT_STREQ(rig.state.InstrumentStatus, "CREILL");
  EXPECT_EQ(rig.state.Connected, 1);
  EXPECT_EQ(rig.settings.Communications, 1);
  EXPECT_EQ(rig.clock.WaitedMs(), 3500u);
  ASSERT_NE(rig.state.MeasurementMutex, nullptr);
  // Opened once to read the device's defaults, then held open between exchanges.
  EXPECT_EQ(rig.devices.open_count(), 2);
  EXPECT_TRUE(rig.devices.is_open());
}

// The line fails once "BR" went out: the next step cannot read the line state.
class FailAfterBr : public SerialDevices {
 public:
  explicit FailAfterBr(SerialDevices& inner) : inner_(inner) {}
  std::unique_ptr<SerialHandle> Open(const std::string& name) override {
    std::unique_ptr<SerialHandle> handle = inner_.Open(name);
    if (!handle) return nullptr;
    return std::make_unique<Handle>(std::move(handle));
  }

 private:
  struct Handle : SerialHandle {
    explicit Handle(std::unique_ptr<SerialHandle> h) : inner(std::move(h)) {}
    bool GetLineSettings(LineSettings& out) override { return inner->GetLineSettings(out); }
    bool SetLineSettings(const LineSettings& s) override { return inner->SetLineSettings(s); }
    bool SetTimeouts(const PortTimeouts& t) override { return inner->SetTimeouts(t); }
    bool SetQueueSizes(std::uint32_t i, std::uint32_t o) override { return inner->SetQueueSizes(i, o); }
    bool SetEventMaskCharReceived(bool on) override { return inner->SetEventMaskCharReceived(on); }
    bool Purge(std::uint32_t flags) override { return inner->Purge(flags); }
    bool ClearDtr() override { return inner->ClearDtr(); }
    bool ClearErrors(std::size_t& waiting, bool& empty) override {
      return !failed && inner->ClearErrors(waiting, empty);
    }
    bool Write(const char* data, std::size_t length) override {
      bool written = inner->Write(data, length);
      if (std::string(data, length) == "BR\r") failed = true;
      return written;
    }
    long Read(char* buffer, std::size_t capacity) override { return inner->Read(buffer, capacity); }
    bool WaitForInput(std::uint32_t ms) override { return inner->WaitForInput(ms); }
    std::unique_ptr<SerialHandle> inner;
    bool failed = false;
  };
  SerialDevices& inner_;
};

TEST(Connection, ResetStopsAtTheFirstFailingStep) {
  EngineRig rig;
  testing::FakeClock& clock = rig.clock;
  testing::FakeSerialDevices fake(clock);
  fake.Reply("BR\r", "9600\r\n<00>\r\n");
  FailAfterBr devices(fake);
  CommChannel channel(devices, clock, rig.log);
  EngineContext context{rig.settings, rig.state, rig.switches, channel,   rig.log,
                        rig.ui,       clock,     rig.validity, rig.expiry};
  Connection connection(context);
  ASSERT_EQ(connection.ConfigurePort(), 0);
  char text[kTextBufferSize] = {};
  EXPECT_EQ(connection.ResetInstrument(text), 2);
  std::string written;
  for (const std::string& w : fake.written()) written += w;
  EXPECT_EQ(written, "\r0005CF\r000CCF\r0101SM\rBR\r");
  // No serial number or version is read, the 0.5 s pause after the steps is still kept.
  EXPECT_EQ(clock.WaitedMs(), 2500u);
  EXPECT_STREQ(text, "VK605");
}

TEST(Connection, StatusCharactersFromTheTwoQueries) {
  EngineRig rig;
  ASSERT_EQ(rig.Run(0, nullptr), 0u);  // no buffer: code 0 does nothing
  EXPECT_EQ(rig.devices.written().size(), 0u);
  char text[kTextBufferSize] = {};
  rig.devices.Reply("01XD\r", "01\r\n<00>\r\n");
  EXPECT_EQ(rig.Run(2, text), 0u);
  EXPECT_STREQ(text, "XREILL");
  EXPECT_EQ(rig.settings.ApertureSize, 0);
  // An empty but successful aperture exchange still means the large plate.
  rig.devices.Reply("AT\r,", "");
  rig.devices.Reply("01XD\r", "00\r\n<00>\r\n");
  EXPECT_EQ(rig.Run(2, text), 0u);
  EXPECT_STREQ(text, "CREILL");
}

TEST(Connection, VersionAndSerialRepliesWithLeadingLineEnds) {
  EngineRig rig;
  rig.devices.Reply("SV\r", "\r\nV2.00\r\n");
  rig.devices.Reply("00SN\r", "\r\nA1\r\n");
  char text[kTextBufferSize] = {};
  EXPECT_EQ(rig.Run(0, text), 0u);
  EXPECT_STREQ(rig.state.FirmwareVersion, "V2.00");
  EXPECT_STREQ(rig.settings.SerialNumber, "VK605\r\nA1");
}

// A port where nothing answers: every reset step's write succeeds and its read times out. Without a
// serial number the connect fails, offers emulation, sends no version query and leaves the flags at 0.
TEST(Connection, SilentPortFailsTheConnect) {
  EngineRig rig;
  rig.devices.SetResponder([](const std::string&) { return std::string(); });
  for (const char* command : {"\r", "0005CF\r", "000CCF\r", "0101SM\r", "BR\r", "0004CF\r", "000BCF\r",
                              "1241CF\r", "0108CF\r", "00SN\r", "SV\r", "01XD\r", "AT\r,"}) {
    rig.devices.Reply(command, "");
  }
  rig.ui.answers = {kIdNo};
  char text[kTextBufferSize] = {};
  EXPECT_EQ(rig.Run(0, text), 2u);
  EXPECT_EQ(rig.Written(), "\r0005CF\r000CCF\r0101SM\rBR\r0004CF\r000BCF\r1241CF\r0108CF\r00SN\r");
  EXPECT_STREQ(text, "VK605");
  EXPECT_EQ(rig.state.Connected, 0);
  EXPECT_EQ(rig.settings.Communications, 0);
  EXPECT_STREQ(rig.state.FirmwareVersion, "");
  ASSERT_EQ(rig.ui.boxes.size(), 1u);
  EXPECT_EQ(rig.ui.boxes[0].text,
            "Unable to communicate with spectrophotometer.  Do you want to enable emulation mode?");
  // GetCommunications: the status code connects on demand again and returns the failed connect's result.
  EXPECT_EQ(rig.Run(2, text), 2u);
}

// A line that answers every command with noise (no complete two-line reply of text) is no instrument
// either; its bytes never become the serial number.
TEST(Connection, NoisyPortFailsTheConnect) {
  EngineRig rig;
  rig.devices.Reply("00SN\r", "\x13\x87garbage\xfe\r\n\x01\r\n");
  char text[kTextBufferSize] = {};
  EXPECT_EQ(rig.Run(0, text), 2u);
  EXPECT_STREQ(text, "VK605");
  EXPECT_STREQ(rig.settings.SerialNumber, "VK605");
  EXPECT_EQ(rig.state.Connected, 0);
  EXPECT_EQ(rig.settings.Communications, 0);
}

// In emulation nothing answers by design: the reset still runs through the channel and succeeds.
TEST(Connection, EmulationNeedsNoIdentification) {
  EngineRig rig;
  rig.settings.EmulationMode = 1;
  char text[kTextBufferSize] = {};
  EXPECT_EQ(rig.Run(0, text), 0u);
  EXPECT_STREQ(text, "VK605");
  EXPECT_EQ(rig.settings.Communications, 1);
}

TEST(Connection, VersionIsQueriedOnceThenServedFromTheCache) {
  EngineRig rig;
  char text[kTextBufferSize] = {};
  ASSERT_EQ(rig.Run(0, text), 0u);
  std::size_t before = rig.devices.written().size();
  EXPECT_EQ(rig.Run(3, text), 0u);
  EXPECT_STREQ(text, "VK605 V1.07");
  EXPECT_EQ(rig.devices.written().size(), before);
}

TEST(Connection, UnopenablePortOffersEmulation) {
  EngineRig rig;
  rig.devices.FailOpen();
  rig.ui.answers = {kIdNo, kIdYes};
  char text[kTextBufferSize] = {};
  EXPECT_EQ(rig.Run(2, text), 111u);
  EXPECT_EQ(rig.settings.EmulationMode, 0);
  ASSERT_EQ(rig.ui.boxes.size(), 1u);
  EXPECT_EQ(rig.ui.boxes[0].type, kMbYesNo | kMbIconQuestion);
  EXPECT_EQ(rig.Run(2, text), 111u);
  EXPECT_EQ(rig.settings.EmulationMode, 1);
  EXPECT_STREQ(text, "XREISS");
  EXPECT_EQ(rig.settings.ApertureSize, 2);
  EXPECT_EQ(rig.state.Connected, 0);
}

TEST(Connection, ProgressWindowOnlyWhileTheDriverUiIsOn) {
  EngineRig rig;
  char text[kTextBufferSize] = {};
  ASSERT_EQ(rig.Run(0, text), 0u);
  ASSERT_EQ(rig.ui.events.size(), 4u);
  EXPECT_EQ(rig.ui.events[0], "open:VK605|Attempting To Connect To Instrument...|");
  EXPECT_EQ(rig.ui.events[1], "text:Attempting to communicate with the spectrophotometer...");
  EXPECT_EQ(rig.ui.events[2], "text:Initializing driver...");
  EXPECT_EQ(rig.ui.events[3], "close");
  EXPECT_EQ(rig.ui.open_dialogs, 0);

  EngineRig quiet;
  quiet.switches.DriverUIEnabled = 0;
  ASSERT_EQ(quiet.Run(0, text), 0u);
  EXPECT_TRUE(quiet.ui.events.empty());
}

TEST(Connection, CloseResetsReleasesMutexesAndWaits) {
  EngineRig rig;
  char text[kTextBufferSize] = {};
  ASSERT_EQ(rig.Run(0, text), 0u);
  std::uint64_t waited = rig.clock.WaitedMs();
  EXPECT_EQ(rig.Run(19, text), 0u);
  EXPECT_EQ(rig.clock.WaitedMs() - waited, 3500u + 2000u);
  EXPECT_EQ(rig.state.MeasurementMutex, nullptr);
  EXPECT_EQ(rig.state.GetDataMutex, nullptr);
  EXPECT_EQ(rig.state.Connected, 0);
  EXPECT_EQ(rig.devices.is_open(), false);
}

TEST(Connection, VsavFlagLastsOneCall) {
  EngineRig rig;
  rig.settings.EmulationMode = 1;
  rig.settings.VSAVMode = 1;
  rig.Run(117);
  EXPECT_EQ(rig.settings.VSAVMode, 0);
}

// Code 26 looks at index 3 of the host's text and never reads past it: the text need not be terminated.
TEST(Connection, UvCheckReadsNoFurtherThanIndexThree) {
  EngineRig rig;
  char identification[64] = {};
  ASSERT_EQ(rig.Run(0, identification), 0u);  // connected: code 26 then copies nothing into the text
  char unterminated[4] = {'C', 'R', 'E', '1'};
  EXPECT_EQ(rig.Run(26, unterminated), 1u);
  char off[] = "CRE0";
  EXPECT_EQ(rig.Run(26, off), 0u);
  char short_text[] = "CR";
  EXPECT_EQ(rig.Run(26, short_text), 0u);
  EXPECT_EQ(rig.Run(26, nullptr), 0u);
}

}  // namespace
}  // namespace vk605
