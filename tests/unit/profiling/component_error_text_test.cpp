#include "profiling/component_error_text.h"

#include <gtest/gtest.h>

namespace vk605 {
namespace {

struct ErrorCase {
  std::uint32_t status;
  const char* text;
};

class ComponentErrorTextTest : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(ComponentErrorTextTest, FallbackTextWithoutSystemMessage) {
  EXPECT_EQ(ComponentErrorText(static_cast<ComponentStatus>(GetParam().status), std::nullopt),
            GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Codes, ComponentErrorTextTest,
                         ::testing::Values(ErrorCase{0x80040201u, "IDispatch error #1"},
                                           ErrorCase{0x8004FFFFu, "IDispatch error #65023"},
                                           ErrorCase{0x80040300u, "IDispatch error #256"},
                                           ErrorCase{0x80041005u, "IDispatch error #3589"},
                                           ErrorCase{0x800401FFu, "Unknown error 0x800401FF"},
                                           ErrorCase{0x80040200u, "Unknown error 0x80040200"},
                                           ErrorCase{0x80050201u, "Unknown error 0x80050201"},
                                           ErrorCase{0x8003FFFFu, "Unknown error 0x8003FFFF"},
                                           ErrorCase{0x80004002u, "Unknown error 0x80004002"},
                                           ErrorCase{0xFFFFFFFFu, "Unknown error 0xFFFFFFFF"}));

TEST(ComponentErrorText, SystemMessageWinsAndLosesOneTrailingLineEnd) {
  EXPECT_EQ(ComponentErrorText(static_cast<ComponentStatus>(0x80040201u), std::string("No such thing.\r\n")),
            "No such thing.");
  EXPECT_EQ(ComponentErrorText(-1, std::string("Two\r\n\r\n")), "Two\r\n");
  EXPECT_EQ(ComponentErrorText(-1, std::string("No line end")), "No line end");
}

TEST(ComponentErrorText, EmptySystemMessageFallsBack) {
  EXPECT_EQ(ComponentErrorText(static_cast<ComponentStatus>(0x80040202u), std::string()),
            "IDispatch error #2");
}

}  // namespace
}  // namespace vk605
