#include "api/host_ui_handler.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fakes/fake_clock.h"
#include "fakes/fake_platform_ui.h"

namespace vk605 {
namespace {

std::vector<std::string>& Calls(void* context) {
  return *static_cast<std::vector<std::string>*>(context);
}

int RecordMessageBox(void* context, const char* text, const char* caption, unsigned type) {
  Calls(context).push_back(std::string("box:") + caption + "|" + text + "|" + std::to_string(type));
  return kIdCancel;
}
void* RecordOpen(void* context, const char* caption, const char* text, const char* button) {
  Calls(context).push_back(std::string("open:") + caption + "|" + text + "|" + button);
  return context;
}
void RecordSetText(void* context, void* dialog, const char* text) {
  Calls(context).push_back(std::string(dialog == context ? "text:" : "text(foreign):") + text);
}
int RecordPoll(void* context, void* dialog) {
  Calls(context).push_back(dialog == context ? "poll" : "poll(foreign)");
  return 1;
}
void RecordClose(void* context, void* dialog) {
  Calls(context).push_back(dialog == context ? "close" : "close(foreign)");
}

VK605UiHandler RecordingHandler(std::vector<std::string>& calls) {
  return VK605UiHandler{sizeof(VK605UiHandler), &calls,     RecordMessageBox, RecordOpen,
                        RecordSetText,          RecordPoll, RecordClose};
}

class HostUiHandlerTest : public ::testing::Test {
 protected:
  testing::FakeClock clock_;
  testing::FakePlatformUi platform_;
  DiagnosticsLog log_{clock_};
  UiDispatcher ui_{platform_, log_};
  std::vector<std::string> calls_;
};

TEST_F(HostUiHandlerTest, EveryFunctionAndTheContextReachTheDispatcher) {
  VK605UiHandler handler = RecordingHandler(calls_);
  EXPECT_EQ(InstallHostUiHandler(ui_, &handler), 0);
  handler = VK605UiHandler{};  // the driver keeps its own copy
  EXPECT_EQ(ui_.MessageBox("Place the white tile", "VK605", kMbOkCancel), kIdCancel);
  DialogHandle dialog = ui_.OpenDialog("VK605", "Connecting", "Abort Measurement");
  ASSERT_NE(dialog, nullptr);
  ui_.SetDialogText(dialog, "Reset");
  EXPECT_TRUE(ui_.PollDialog(dialog));
  ui_.CloseDialog(dialog);
  EXPECT_EQ(calls_, (std::vector<std::string>{"box:VK605|Place the white tile|1",
                                              "open:VK605|Connecting|Abort Measurement", "text:Reset", "poll",
                                              "close"}));
  EXPECT_TRUE(platform_.events.empty());
}

TEST_F(HostUiHandlerTest, TooSmallHandlerIsRefusedAndTheCurrentOneKept) {
  VK605UiHandler handler = RecordingHandler(calls_);
  ASSERT_EQ(InstallHostUiHandler(ui_, &handler), 0);
  std::vector<std::string> other;
  VK605UiHandler small = RecordingHandler(other);
  small.size = sizeof(VK605UiHandler) - 1;
  EXPECT_EQ(InstallHostUiHandler(ui_, &small), 1);
  ui_.MessageBox("text", "VK605", kMbOk);
  EXPECT_EQ(calls_.size(), 1u);
  EXPECT_TRUE(other.empty());
}

TEST_F(HostUiHandlerTest, NullRestoresThePlatform) {
  VK605UiHandler handler = RecordingHandler(calls_);
  ASSERT_EQ(InstallHostUiHandler(ui_, &handler), 0);
  EXPECT_EQ(InstallHostUiHandler(ui_, nullptr), 0);
  EXPECT_EQ(ui_.MessageBox("text", "VK605", kMbOk), kIdOk);
  EXPECT_TRUE(calls_.empty());
  EXPECT_EQ(platform_.events, (std::vector<std::string>{"box:VK605|text|0"}));
}

}  // namespace
}  // namespace vk605
