#include "ui/ui_dispatcher.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fakes/fake_clock.h"
#include "fakes/fake_platform_ui.h"

namespace vk605 {
namespace {

// What the host's handler saw, recorded through the context pointer.
struct Host {
  std::vector<std::string> calls;
  int answer = kIdYes;
  int dialog = 0;
  bool pressed = false;
  UiDispatcher* reenter = nullptr;  // set: message_box replaces the handler from inside the call
};

Host& HostOf(void* context) {
  return *static_cast<Host*>(context);
}

int HostMessageBox(void* context, const char* text, const char* caption, unsigned type) {
  Host& host = HostOf(context);
  host.calls.push_back(std::string("box:") + caption + "|" + text + "|" + std::to_string(type));
  if (host.reenter != nullptr) host.reenter->SetHandler(nullptr);
  return host.answer;
}
void* HostOpen(void* context, const char* caption, const char* text, const char* button) {
  Host& host = HostOf(context);
  host.calls.push_back(std::string("open:") + caption + "|" + text + "|" + button);
  return &host.dialog;
}
void HostSetText(void* context, void* dialog, const char* text) {
  Host& host = HostOf(context);
  host.calls.push_back(std::string(dialog == &host.dialog ? "text:" : "text(foreign):") + text);
}
int HostPoll(void* context, void* dialog) {
  Host& host = HostOf(context);
  host.calls.push_back(dialog == &host.dialog ? "poll" : "poll(foreign)");
  return host.pressed ? 1 : 0;
}
void HostClose(void* context, void* dialog) {
  Host& host = HostOf(context);
  host.calls.push_back(dialog == &host.dialog ? "close" : "close(foreign)");
}

HostUiHandler FullHandler(Host& host) {
  return HostUiHandler{&host, HostMessageBox, HostOpen, HostSetText, HostPoll, HostClose};
}

class UiDispatcherTest : public ::testing::Test {
 protected:
  UiDispatcherTest() : log_(clock_), dispatcher_(platform_, log_) {
    clock_.SetLocal({2026, 12, 8, 10, 30, 0});
    std::random_device random;
    directory_ = std::filesystem::temp_directory_path() /
                 ("vk605-ui-test-" + std::to_string(random()) + "-" + std::to_string(random()));
    std::filesystem::create_directories(directory_);
    file_ = (directory_ / "ui.log").string();
    log_.StartLogFile(file_);
    banner_size_ = std::filesystem::file_size(file_) - 1;
  }
  ~UiDispatcherTest() override {
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
  }

  // The log's entries after the start banner, without the end marker.
  std::string Traced() const {
    std::ifstream in(file_, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return bytes.substr(banner_size_, bytes.size() - banner_size_ - 1);
  }

  testing::FakeClock clock_;
  testing::FakePlatformUi platform_;
  DiagnosticsLog log_;
  UiDispatcher dispatcher_;
  Host host_;
  std::filesystem::path directory_;
  std::string file_;
  std::uintmax_t banner_size_ = 0;
};

struct HeadlessCase {
  unsigned type;
  int answer;
  const char* trace;
};

class UiDispatcherHeadlessTest : public UiDispatcherTest,
                                 public ::testing::WithParamInterface<HeadlessCase> {};

TEST_P(UiDispatcherHeadlessTest, FixedAnswerIsReturnedAndTraced) {
  EXPECT_EQ(dispatcher_.MessageBox("Calibrate now?", kDriverCaption, GetParam().type), GetParam().answer);
  EXPECT_EQ(Traced(), std::string("12/08/2026 10:30:00:  ") + GetParam().trace + "\r\n\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Types, UiDispatcherHeadlessTest,
    ::testing::Values(HeadlessCase{kMbYesNo | kMbIconQuestion, kIdNo,
                                   "USER INTERFACE: no desktop, answered IDNO to: Calibrate now?"},
                      HeadlessCase{kMbOkCancel, kIdCancel,
                                   "USER INTERFACE: no desktop, answered IDCANCEL to: Calibrate now?"},
                      HeadlessCase{kMbOk | kMbIconExclamation, kIdOk,
                                   "USER INTERFACE: no desktop, answered IDOK to: Calibrate now?"}));

TEST_F(UiDispatcherTest, ShownPlatformBoxIsNotTraced) {
  platform_.headless = false;
  platform_.shown_answer = kIdYes;
  EXPECT_EQ(dispatcher_.MessageBox("Switch to emulation?", "VK605", kMbYesNo), kIdYes);
  EXPECT_EQ(platform_.events, (std::vector<std::string>{"box:VK605|Switch to emulation?|4"}));
  EXPECT_EQ(Traced(), "");
}

TEST_F(UiDispatcherTest, HostHandlerAnswersInsteadOfThePlatform) {
  HostUiHandler handler = FullHandler(host_);
  dispatcher_.SetHandler(&handler);
  handler.message_box = nullptr;  // the driver keeps its own copy
  host_.answer = kIdCancel;
  EXPECT_EQ(dispatcher_.MessageBox("Place the white tile", "VK605", kMbOkCancel), kIdCancel);
  EXPECT_EQ(host_.calls, (std::vector<std::string>{"box:VK605|Place the white tile|1"}));
  EXPECT_TRUE(platform_.events.empty());
  EXPECT_EQ(Traced(), "");
}

TEST_F(UiDispatcherTest, HandlerWithoutMessageBoxFallsBackToThePlatform) {
  HostUiHandler handler = FullHandler(host_);
  handler.message_box = nullptr;
  dispatcher_.SetHandler(&handler);
  EXPECT_EQ(dispatcher_.MessageBox("text", "VK605", kMbYesNo), kIdNo);
  EXPECT_TRUE(host_.calls.empty());
  EXPECT_EQ(platform_.events.size(), 1u);
}

TEST_F(UiDispatcherTest, HostMessageBoxIsReportedOnlyWhileTheHandlerHasOne) {
  EXPECT_FALSE(dispatcher_.HasHostMessageBox());
  HostUiHandler handler = FullHandler(host_);
  dispatcher_.SetHandler(&handler);
  EXPECT_TRUE(dispatcher_.HasHostMessageBox());
  handler.message_box = nullptr;
  dispatcher_.SetHandler(&handler);
  EXPECT_FALSE(dispatcher_.HasHostMessageBox());
  dispatcher_.SetHandler(nullptr);
  EXPECT_FALSE(dispatcher_.HasHostMessageBox());
}

TEST_F(UiDispatcherTest, NullHandlerRestoresThePlatform) {
  HostUiHandler handler = FullHandler(host_);
  dispatcher_.SetHandler(&handler);
  dispatcher_.SetHandler(nullptr);
  EXPECT_EQ(dispatcher_.MessageBox("text", "VK605", kMbOk), kIdOk);
  EXPECT_TRUE(host_.calls.empty());
  EXPECT_EQ(platform_.events.size(), 1u);
}

TEST_F(UiDispatcherTest, HostMayReplaceItsHandlerFromInsideACall) {
  HostUiHandler handler = FullHandler(host_);
  host_.reenter = &dispatcher_;
  dispatcher_.SetHandler(&handler);
  EXPECT_EQ(dispatcher_.MessageBox("text", "VK605", kMbYesNo), kIdYes);
  EXPECT_EQ(dispatcher_.MessageBox("text", "VK605", kMbYesNo), kIdNo);
}

TEST_F(UiDispatcherTest, HostDialogGetsEveryCallWithItsOwnPointer) {
  HostUiHandler handler = FullHandler(host_);
  dispatcher_.SetHandler(&handler);
  DialogHandle dialog = dispatcher_.OpenDialog("VK605", "Waiting for measurement", "Abort Measurement");
  ASSERT_NE(dialog, nullptr);
  dispatcher_.SetDialogText(dialog, "Connecting");
  EXPECT_FALSE(dispatcher_.PollDialog(dialog));
  host_.pressed = true;
  EXPECT_TRUE(dispatcher_.PollDialog(dialog));
  dispatcher_.CloseDialog(dialog);
  EXPECT_EQ(host_.calls, (std::vector<std::string>{"open:VK605|Waiting for measurement|Abort Measurement",
                                                   "text:Connecting", "poll", "poll", "close"}));
  EXPECT_TRUE(platform_.events.empty());
}

TEST_F(UiDispatcherTest, DialogStaysWithTheHostThatOpenedIt) {
  HostUiHandler handler = FullHandler(host_);
  dispatcher_.SetHandler(&handler);
  DialogHandle dialog = dispatcher_.OpenDialog("VK605", "Connecting", "");
  dispatcher_.SetHandler(nullptr);
  dispatcher_.SetDialogText(dialog, "Reset");
  dispatcher_.PollDialog(dialog);
  dispatcher_.CloseDialog(dialog);
  EXPECT_EQ(host_.calls, (std::vector<std::string>{"open:VK605|Connecting|", "text:Reset", "poll", "close"}));
  EXPECT_TRUE(platform_.events.empty());
}

TEST_F(UiDispatcherTest, HeadlessPlatformDialogIsTracedOnceWhenOpened) {
  DialogHandle dialog = dispatcher_.OpenDialog("VK605", "Waiting for measurement", "Abort Measurement");
  ASSERT_NE(dialog, nullptr);
  dispatcher_.SetDialogText(dialog, "Still waiting");
  EXPECT_FALSE(dispatcher_.PollDialog(dialog));
  dispatcher_.CloseDialog(dialog);
  EXPECT_EQ(platform_.events,
            (std::vector<std::string>{"open:VK605|Waiting for measurement|Abort Measurement",
                                      "text:Still waiting", "poll", "close"}));
  EXPECT_EQ(
      Traced(),
      "12/08/2026 10:30:00:  USER INTERFACE: no desktop, dialog not shown: VK605: Waiting for measurement"
      "\r\n\r\n");
}

TEST_F(UiDispatcherTest, HostWithoutDialogFunctionsUsesThePlatformDialog) {
  HostUiHandler handler = FullHandler(host_);
  handler.open_dialog = nullptr;
  dispatcher_.SetHandler(&handler);
  platform_.headless = false;
  DialogHandle dialog = dispatcher_.OpenDialog("VK605", "Connecting", "");
  platform_.pressed = true;
  EXPECT_TRUE(dispatcher_.PollDialog(dialog));
  dispatcher_.CloseDialog(dialog);
  EXPECT_TRUE(host_.calls.empty());
  EXPECT_EQ(platform_.events, (std::vector<std::string>{"open:VK605|Connecting|", "poll", "close"}));
}

// Polling the null dialog is still a pump step (of the platform here, no handler being installed).
TEST_F(UiDispatcherTest, DialogThatCouldNotBeOpenedIsNullAndIgnored) {
  platform_.null_dialogs = true;
  platform_.headless = false;
  platform_.pressed = true;
  DialogHandle dialog = dispatcher_.OpenDialog("VK605", "Connecting", "");
  EXPECT_EQ(dialog, nullptr);
  dispatcher_.SetDialogText(dialog, "x");
  EXPECT_FALSE(dispatcher_.PollDialog(dialog));
  dispatcher_.CloseDialog(dialog);
  EXPECT_EQ(platform_.events, (std::vector<std::string>{"open:VK605|Connecting|", "poll(foreign)"}));
}

// A wait with no window shown (a trigger without its dialog) still pumps: through the host's poll, with
// a null dialog, when the host installed a handler; its answer means nothing then.
TEST_F(UiDispatcherTest, PollWithoutDialogIsTheHostsPumpStep) {
  HostUiHandler handler = FullHandler(host_);
  dispatcher_.SetHandler(&handler);
  host_.pressed = true;
  EXPECT_FALSE(dispatcher_.PollDialog(nullptr));
  EXPECT_EQ(host_.calls, (std::vector<std::string>{"poll(foreign)"}));
  EXPECT_TRUE(platform_.events.empty());
}

}  // namespace
}  // namespace vk605
