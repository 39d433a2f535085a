#pragma once

#include <string>

#include "ui/user_interface.h"

namespace vk605 {

// The modeless message dialog: the connect progress window and the trigger wait dialog with its
// "Abort Measurement" button. The window itself belongs to the user interface; this object keeps the
// texts and the done flag the waiting thread checks.
class CMsgDlg {
 public:
  explicit CMsgDlg(UserInterface& ui);
  ~CMsgDlg();
  CMsgDlg(const CMsgDlg&) = delete;
  CMsgDlg& operator=(const CMsgDlg&) = delete;

  void SetCaption(const std::string& caption) { caption_ = caption; }
  // Sets the shown text, or the text the window will show once created.
  void SetMessageText(const std::string& text);
  void SetButtonText(const std::string& text) { button_text_ = text; }
  // Creates the window; false when the user interface could not show it.
  bool CreateModeless();
  bool IsCreated() const { return dialog_ != nullptr; }
  // One message-pump step, also before the window is created or when it is not shown; the done flag is
  // set once the button was pressed.
  void PumpStep();
  bool IsDone() const { return done_; }
  void DestroyWindow();

  const std::string& MessageText() const { return message_; }
  const std::string& Caption() const { return caption_; }

 private:
  UserInterface& ui_;
  std::string message_;
  std::string caption_ = "caption field";
  std::string button_text_;
  bool done_ = false;
  DialogHandle dialog_ = nullptr;
};

}  // namespace vk605
