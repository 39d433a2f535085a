#include "ui/msg_dlg.h"

#include "ui/driver_strings.h"

namespace vk605 {

CMsgDlg::CMsgDlg(UserInterface& ui) : ui_(ui), message_(text::kAttemptingToConnect) {}

CMsgDlg::~CMsgDlg() {
  DestroyWindow();
}

void CMsgDlg::SetMessageText(const std::string& text) {
  message_ = text;
  if (dialog_ != nullptr) ui_.SetDialogText(dialog_, message_);
}

bool CMsgDlg::CreateModeless() {
  if (dialog_ == nullptr) dialog_ = ui_.OpenDialog(caption_, message_, button_text_);
  return dialog_ != nullptr;
}

void CMsgDlg::PumpStep() {
  // Without a window the step still pumps the thread's messages (a null dialog to the user interface).
  if (ui_.PollDialog(dialog_) && dialog_ != nullptr) done_ = true;
}

void CMsgDlg::DestroyWindow() {
  if (dialog_ != nullptr) {
    ui_.CloseDialog(dialog_);
    dialog_ = nullptr;
  }
}

}  // namespace vk605
