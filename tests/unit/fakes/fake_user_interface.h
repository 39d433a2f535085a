#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "ui/user_interface.h"

namespace vk605::testing {

// Records every message box and dialog call and answers message boxes from a script (IDOK, IDCANCEL,
// IDYES, IDNO); with the script empty it answers default_answer. A dialog's button counts as pressed from
// poll press_after_polls on, or once press_when answers true.
class FakeUserInterface : public UserInterface {
 public:
  struct Box {
    std::string text;
    std::string caption;
    unsigned type;
  };

  int MessageBox(const std::string& text, const std::string& caption, unsigned type) override {
    boxes.push_back({text, caption, type});
    if (on_box) on_box(boxes.back());
    if (answers.empty()) return default_answer;
    int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  DialogHandle OpenDialog(const std::string& caption, const std::string& text,
                          const std::string& button) override {
    events.push_back("open:" + caption + "|" + text + "|" + button);
    ++open_dialogs;
    return &open_dialogs;
  }
  void SetDialogText(DialogHandle, const std::string& text) override { events.push_back("text:" + text); }
  bool PollDialog(DialogHandle) override {
    ++polls;
    if (press_when && press_when()) return true;
    return press_after_polls > 0 && polls >= press_after_polls;
  }
  void CloseDialog(DialogHandle) override {
    events.push_back("close");
    --open_dialogs;
  }

  bool HasHostMessageBox() const override { return host_message_box; }

  // Runs as each message box is shown, before it is answered (an operator acting at the instrument).
  std::function<void(const Box&)> on_box;
  std::vector<Box> boxes;
  std::deque<int> answers;
  int default_answer = 1;
  bool host_message_box = false;  // answers HasHostMessageBox
  std::vector<std::string> events;
  int open_dialogs = 0;
  int polls = 0;
  int press_after_polls = 0;
  std::function<bool()> press_when;
};

}  // namespace vk605::testing
