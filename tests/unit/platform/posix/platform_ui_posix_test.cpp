#include "platform/platform_ui.h"

#include <gtest/gtest.h>

namespace vk605 {
namespace {

struct AnswerCase {
  unsigned type;
  int answer;
};

class HeadlessMessageBoxTest : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(HeadlessMessageBoxTest, AnswersWithoutAPerson) {
  PlatformUi& ui = SystemPlatformUi();
  EXPECT_TRUE(ui.IsHeadless());
  EXPECT_EQ(ui.MessageBox("Calibrate now?", "VK605", GetParam().type), GetParam().answer);
}

// Icon bits (0x20 question, 0x30 exclamation) do not change the answer.
INSTANTIATE_TEST_SUITE_P(Types, HeadlessMessageBoxTest,
                         ::testing::Values(AnswerCase{0x0, 1}, AnswerCase{0x30, 1}, AnswerCase{0x1, 2},
                                           AnswerCase{0x2, 3}, AnswerCase{0x3, 2}, AnswerCase{0x4, 7},
                                           AnswerCase{0x24, 7}, AnswerCase{0x5, 2}));

TEST(HeadlessDialog, HandlesAreDistinctAndNeverPressed) {
  PlatformUi& ui = SystemPlatformUi();
  void* first = ui.OpenDialog("VK605", "Connecting...", "Abort Measurement");
  void* second = ui.OpenDialog("VK605", "Waiting", "Abort Measurement");
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
  ui.SetDialogText(first, "still connecting");
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(ui.PollDialog(first));
  ui.CloseDialog(first);
  ui.CloseDialog(second);
}

}  // namespace
}  // namespace vk605
