#pragma once

#include <string>
#include <vector>

#include "platform/platform_ui.h"

namespace vk605::testing {

// The platform's own user interface, recorded. Headless (the default) it answers like a machine without
// a desktop: Yes/No -> IDNO, OK/Cancel -> IDCANCEL, anything else -> IDOK. With headless false it answers
// shown_answer. Dialogs are handed out as the address of dialog_token (or null with null_dialogs).
class FakePlatformUi : public PlatformUi {
 public:
  bool IsHeadless() const override { return headless; }

  int MessageBox(const std::string& text, const std::string& caption, unsigned type) override {
    events.push_back("box:" + caption + "|" + text + "|" + std::to_string(type));
    if (!headless) return shown_answer;
    switch (type & 0xFu) {
      case 0x4u:
        return 7;
      case 0x1u:
        return 2;
      default:
        return 1;
    }
  }

  void* OpenDialog(const std::string& caption, const std::string& text, const std::string& button) override {
    events.push_back("open:" + caption + "|" + text + "|" + button);
    return null_dialogs ? nullptr : &dialog_token;
  }
  void SetDialogText(void* dialog, const std::string& text) override {
    events.push_back(std::string(dialog == &dialog_token ? "text:" : "text(foreign):") + text);
  }
  bool PollDialog(void* dialog) override {
    events.push_back(dialog == &dialog_token ? "poll" : "poll(foreign)");
    return pressed;
  }
  void CloseDialog(void* dialog) override {
    events.push_back(dialog == &dialog_token ? "close" : "close(foreign)");
  }

  bool headless = true;
  int shown_answer = 6;
  bool null_dialogs = false;
  bool pressed = false;
  int dialog_token = 0;
  std::vector<std::string> events;
};

}  // namespace vk605::testing
