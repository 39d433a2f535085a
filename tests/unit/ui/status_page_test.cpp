#include "ui/status_page.h"

#include <gtest/gtest.h>

#include <string>

#include "ui/control_panel.h"
#include "ui/panel_ids.h"
#include "ui/panel_rig.h"

namespace vk605 {
namespace {

using testing::PanelRig;

class StatusPageTest : public ::testing::Test {
 protected:
  void Show() { sheet_.OnShown(r_.view); }
  std::string Text(int control) { return r_.view.texts[control]; }
  void Pass(std::uint64_t ms) {
    r_.view.Pass(ms, [&](unsigned id) { sheet_.OnTimer(id); });
  }
  int Count(const std::string& call) {
    int n = 0;
    for (const std::string& c : r_.instrument.calls) n += c == call ? 1 : 0;
    return n;
  }

  PanelRig r_;
  CControlPanel sheet_{r_.Context(), 1};
};

TEST_F(StatusPageTest, RefreshShowsTheInstrumentAndTheFixedDescriptions) {
  Show();
  EXPECT_EQ(Text(panel::kSystemStatus), "Communications Established");
  EXPECT_EQ(Text(panel::kVersion), "VK605 V2.14");
  EXPECT_EQ(Text(panel::kSerialNumber), "40123");
  EXPECT_EQ(Text(panel::kCalibration), "Calibrated");
  EXPECT_EQ(Text(panel::kMode), "Reflectance");
  EXPECT_EQ(Text(panel::kSpecular), "Included");
  EXPECT_EQ(Text(panel::kUv), "Included");
  EXPECT_EQ(Text(panel::kLensPosition), " ");
  EXPECT_EQ(Text(panel::kAperture), " ");
  EXPECT_EQ(Text(panel::kProfilingLine), "Calvera is enabled");
  EXPECT_TRUE(r_.view.checks[panel::kProfilingCheck]);
  EXPECT_TRUE(r_.view.IsEnabled(panel::kProfilingCheck));
  // The client is opened for the driver's serial-number text, once.
  EXPECT_EQ(r_.profiling.calls, (std::vector<std::string>{"open VK40123"}));
  // Initialisation and the first activation refresh once each: version, then serial number.
  EXPECT_EQ(r_.instrument.calls, (std::vector<std::string>{"version", "serial", "version", "serial"}));
}

TEST_F(StatusPageTest, SpecularExcludedWhenTheDriverMeasuresWithoutIt) {
  r_.settings.SpecularMode = 1;
  Show();
  EXPECT_EQ(Text(panel::kSpecular), "Excluded");
}

TEST_F(StatusPageTest, WithoutCommunicationsOnlyTheStatusIsWrittenAndNothingIsAsked) {
  r_.settings.Communications = 0;
  Show();
  EXPECT_EQ(Text(panel::kSystemStatus), "Communications Failure");
  for (int field : {panel::kVersion, panel::kCalibration, panel::kMode, panel::kSpecular, panel::kUv,
                    panel::kSerialNumber, panel::kLensPosition, panel::kAperture}) {
    EXPECT_EQ(r_.view.text_writes[field], 0) << field;
  }
  EXPECT_TRUE(r_.instrument.calls.empty());
}

TEST_F(StatusPageTest, EmulationWithAWorkingVersionQuery) {
  r_.settings.EmulationMode = 1;
  Show();
  EXPECT_EQ(Text(panel::kSystemStatus), "Emulating Instrument");
  EXPECT_EQ(Text(panel::kVersion), "VK605 V2.14");
}

TEST_F(StatusPageTest, EmulationWinsOverAFailedVersionQuery) {
  r_.settings.EmulationMode = 1;
  r_.instrument.version_result = 1;
  Show();
  EXPECT_EQ(Text(panel::kSystemStatus), "Emulating Instrument");
}

TEST_F(StatusPageTest, SilentInstrumentLeavesTheFieldsAndEmptiesTheSerialNumber) {
  Show();
  r_.instrument.version_result = 1;
  r_.instrument.serial.clear();
  Pass(5000);
  EXPECT_EQ(Text(panel::kSystemStatus), "Communications Failure");
  EXPECT_EQ(Text(panel::kVersion), "VK605 V2.14");  // from the refresh before
  EXPECT_EQ(Text(panel::kSerialNumber), "");
}

TEST_F(StatusPageTest, FirstRefreshWithASilentInstrumentWritesNoDescriptions) {
  r_.instrument.version_result = 1;
  Show();
  EXPECT_EQ(Text(panel::kSystemStatus), "Communications Failure");
  EXPECT_EQ(r_.view.text_writes[panel::kCalibration], 0);
  EXPECT_EQ(r_.view.text_writes[panel::kVersion], 0);
  EXPECT_EQ(r_.view.text_writes[panel::kSerialNumber], 2);
}

TEST_F(StatusPageTest, TimerOf5SecondsRefreshesWithASerialNumberExchangeEachTime) {
  Show();
  EXPECT_EQ(r_.view.events, (std::vector<std::string>{"start 1000 5000", "start 1000 5000"}));
  Pass(4999);
  EXPECT_EQ(Count("serial"), 2);
  Pass(1);
  EXPECT_EQ(Count("serial"), 3);
  EXPECT_EQ(Count("version"), 3);
  Pass(10000);
  EXPECT_EQ(Count("serial"), 5);
}

TEST_F(StatusPageTest, TimerRunsOnlyWhileTheStatusPageIsActive) {
  Show();
  ASSERT_TRUE(sheet_.OnPageChanging(panel::kStatusPage, panel::kCalibrationPage));
  EXPECT_FALSE(r_.view.TimerRunning(panel::kRefreshTimer));
  const std::size_t calls = r_.instrument.calls.size();
  Pass(30000);
  EXPECT_EQ(r_.instrument.calls.size(), calls);
  // Back on the status page: the timer starts again and the page refreshes at once.
  ASSERT_TRUE(sheet_.OnPageChanging(panel::kCalibrationPage, panel::kStatusPage));
  EXPECT_TRUE(r_.view.TimerRunning(panel::kRefreshTimer));
  EXPECT_EQ(r_.instrument.calls.size(), calls + 2);
  EXPECT_EQ(r_.view.events.back(), "start 1000 5000");
  // The client is not opened a second time.
  EXPECT_EQ(r_.profiling.calls, (std::vector<std::string>{"open VK40123"}));
  Pass(5000);
  EXPECT_EQ(r_.instrument.calls.size(), calls + 4);
}

TEST_F(StatusPageTest, RefusedTimerGivesMessage122AtInitialisationAnd1130OnActivation) {
  r_.view.refuse_timers = true;
  Show();
  ASSERT_EQ(r_.view.boxes.size(), 2u);
  EXPECT_EQ(r_.view.boxes[0].text, "Cannot START the Control-Panel timer!");
  EXPECT_EQ(r_.view.boxes[0].caption, "VK605");
  EXPECT_EQ(r_.view.boxes[0].type, kMbOk);
  EXPECT_EQ(r_.view.boxes[1].text, "Cannot START the Control-Panel timer!");
  const std::size_t calls = r_.instrument.calls.size();
  Pass(20000);
  EXPECT_EQ(r_.instrument.calls.size(), calls);
  ASSERT_TRUE(sheet_.OnPageChanging(panel::kStatusPage, panel::kCalibrationPage));
  ASSERT_TRUE(sheet_.OnPageChanging(panel::kCalibrationPage, panel::kStatusPage));
  EXPECT_EQ(r_.view.boxes.size(), 3u);
}

TEST_F(StatusPageTest, ProfilingComponentNotRunning) {
  r_.profiling.running = 0;
  Show();
  EXPECT_FALSE(r_.view.IsEnabled(panel::kProfilingCheck));
  EXPECT_FALSE(r_.view.checks[panel::kProfilingCheck]);
  EXPECT_EQ(Text(panel::kProfilingLine), "Calvera is not installed on this computer.");
}

TEST_F(StatusPageTest, ProfilingSwitchedOffByTheUser) {
  CControlPanel sheet(r_.Context(), 0);
  sheet.OnShown(r_.view);
  EXPECT_TRUE(r_.view.IsEnabled(panel::kProfilingCheck));
  EXPECT_FALSE(r_.view.checks[panel::kProfilingCheck]);
  EXPECT_EQ(Text(panel::kProfilingLine), "Calvera has been turned off by the user.");
}

TEST_F(StatusPageTest, ProfilingRunningWithoutAProfileAsksTheSerialNumberAgain) {
  r_.profiling.loaded = 0;
  Show();
  EXPECT_FALSE(r_.view.IsEnabled(panel::kProfilingCheck));
  EXPECT_FALSE(r_.view.checks[panel::kProfilingCheck]);
  EXPECT_EQ(Text(panel::kProfilingLine), "No profile available for s/n 40123");
  EXPECT_EQ(r_.instrument.calls,
            (std::vector<std::string>{"version", "serial", "serial", "version", "serial", "serial"}));
}

TEST_F(StatusPageTest, NoProfileLineIsLimitedTo255Characters) {
  r_.profiling.loaded = 0;
  r_.instrument.serial = std::string(300, '7');
  Show();
  const std::string line = Text(panel::kProfilingLine);
  EXPECT_EQ(line.size(), 255u);
  EXPECT_EQ(line, ("No profile available for s/n " + std::string(300, '7')).substr(0, 255));
}

TEST_F(StatusPageTest, CheckBoxClickSetsTheSheetFlagAndRefreshes) {
  Show();
  const std::size_t calls = r_.instrument.calls.size();
  r_.view.checks[panel::kProfilingCheck] = false;
  sheet_.OnCommand(panel::kProfilingCheck);
  EXPECT_EQ(sheet_.ProfilingEnabled(), 0);
  EXPECT_EQ(Text(panel::kProfilingLine), "Calvera has been turned off by the user.");
  EXPECT_EQ(r_.instrument.calls.size(), calls + 2);
  r_.view.checks[panel::kProfilingCheck] = true;
  sheet_.OnCommand(panel::kProfilingCheck);
  EXPECT_EQ(sheet_.ProfilingEnabled(), 1);
  EXPECT_EQ(Text(panel::kProfilingLine), "Calvera is enabled");
}

TEST_F(StatusPageTest, OkAndCancelStopTheTimerAndCloseTheClient) {
  Show();
  EXPECT_TRUE(sheet_.OnOk());
  EXPECT_FALSE(r_.view.TimerRunning(panel::kRefreshTimer));
  EXPECT_EQ(r_.profiling.calls, (std::vector<std::string>{"open VK40123", "close"}));

  PanelRig other;
  CControlPanel sheet(other.Context(), 1);
  sheet.OnShown(other.view);
  sheet.OnCancel();
  EXPECT_FALSE(other.view.TimerRunning(panel::kRefreshTimer));
  EXPECT_EQ(other.profiling.calls, (std::vector<std::string>{"open VK40123", "close"}));
}

TEST_F(StatusPageTest, MessagesGoToTheHostWhenItHandlesMessageBoxes) {
  r_.ui.host_message_box = true;
  r_.view.refuse_timers = true;
  Show();
  EXPECT_TRUE(r_.view.boxes.empty());
  ASSERT_EQ(r_.ui.boxes.size(), 2u);
  EXPECT_EQ(r_.ui.boxes[0].text, "Cannot START the Control-Panel timer!");
  EXPECT_EQ(r_.ui.boxes[0].caption, "VK605");
}

}  // namespace
}  // namespace vk605
