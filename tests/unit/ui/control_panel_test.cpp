#include "ui/control_panel.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "ui/panel_ids.h"
#include "ui/panel_rig.h"

namespace vk605 {
namespace {

using testing::PanelRig;

// A toolkit whose modal run is a script acting on the sheet like a user would.
class ScriptedToolkit : public PanelToolkit {
 public:
  int RunModal(PanelEvents& events) override {
    ++runs;
    if (!script) return -1;
    return script(events);
  }
  void BringToFront() override { ++fronts; }
  std::function<int(PanelEvents&)> script;
  int runs = 0;
  int fronts = 0;
};

TEST(ControlPanelHost, SheetThatCannotBeCreatedGivesMessage101AndMinusOne) {
  PanelRig r;
  ScriptedToolkit toolkit;
  ControlPanelHost host(toolkit);
  EXPECT_EQ(host.Run(r.Context()), -1);
  ASSERT_EQ(r.ui.boxes.size(), 1u);
  EXPECT_EQ(r.ui.boxes[0].text, "Unable to load instrument control panel.");
  EXPECT_EQ(r.ui.boxes[0].caption, "VK605");
  EXPECT_EQ(r.ui.boxes[0].type, kMbOk | kMbIconInformation);
  EXPECT_EQ(r.settings.CalveraEnabled, 1);
  // Not left open: the next call runs the toolkit again.
  EXPECT_EQ(host.Run(r.Context()), -1);
  EXPECT_EQ(toolkit.runs, 2);
}

TEST(ControlPanelHost, ProfilingSwitchIsCopiedBackOnCancelToo) {
  PanelRig r;
  ScriptedToolkit toolkit;
  toolkit.script = [&](PanelEvents& events) {
    events.OnShown(r.view);
    r.view.checks[panel::kProfilingCheck] = false;
    events.OnCommand(panel::kProfilingCheck);
    EXPECT_EQ(r.settings.CalveraEnabled, 1);  // only when the sheet ends
    events.OnCancel();
    return kIdCancel;
  };
  ControlPanelHost host(toolkit);
  EXPECT_EQ(host.Run(r.Context()), kIdCancel);
  EXPECT_EQ(r.settings.CalveraEnabled, 0);
  EXPECT_TRUE(r.ui.boxes.empty());
}

TEST(ControlPanelHost, OkCopiesTheSwitchBackAndReturnsIdOk) {
  PanelRig r;
  r.settings.CalveraEnabled = 0;
  ScriptedToolkit toolkit;
  toolkit.script = [&](PanelEvents& events) {
    events.OnShown(r.view);
    EXPECT_FALSE(r.view.checks[panel::kProfilingCheck]);
    r.view.checks[panel::kProfilingCheck] = true;
    events.OnCommand(panel::kProfilingCheck);
    EXPECT_TRUE(events.OnOk());
    return kIdOk;
  };
  ControlPanelHost host(toolkit);
  EXPECT_EQ(host.Run(r.Context()), kIdOk);
  EXPECT_EQ(r.settings.CalveraEnabled, 1);
}

TEST(ControlPanelHost, SecondPanelWhileOneIsOpenBringsTheOpenOneToTheFront) {
  PanelRig r;
  ScriptedToolkit toolkit;
  ControlPanelHost host(toolkit);
  int inner = 0;
  toolkit.script = [&](PanelEvents& events) {
    events.OnShown(r.view);
    inner = host.Run(r.Context());
    events.OnCancel();
    return kIdCancel;
  };
  EXPECT_EQ(host.Run(r.Context()), kIdCancel);
  EXPECT_EQ(inner, -1);
  EXPECT_EQ(toolkit.fronts, 1);
  EXPECT_EQ(toolkit.runs, 1);
  EXPECT_TRUE(r.ui.boxes.empty());  // no message 101 for the second call
}

TEST(ControlPanelSheet, PageChangeToAPageThatDoesNotExistIsRefused) {
  PanelRig r;
  CControlPanel sheet(r.Context(), 1);
  sheet.OnShown(r.view);
  EXPECT_FALSE(sheet.OnPageChanging(panel::kStatusPage, 2));
  EXPECT_FALSE(sheet.OnPageChanging(panel::kStatusPage, panel::kStatusPage));
  EXPECT_EQ(sheet.ActivePage(), panel::kStatusPage);
  EXPECT_TRUE(r.view.TimerRunning(panel::kRefreshTimer));
}

TEST(ControlPanelSheet, ClicksOnAPageNotYetCreatedAreIgnored) {
  PanelRig r;
  CControlPanel sheet(r.Context(), 1);
  sheet.OnShown(r.view);
  sheet.OnCommand(panel::kTimeCheck);
  EXPECT_TRUE(r.limits.calls.empty());
  EXPECT_TRUE(r.view.boxes.empty());
}

}  // namespace
}  // namespace vk605
