#pragma once

#include <string>

namespace vk605 {

// Win32 message-box types and answers, used on every platform.
inline constexpr unsigned kMbOk = 0x0;
inline constexpr unsigned kMbOkCancel = 0x1;
inline constexpr unsigned kMbYesNo = 0x4;
inline constexpr unsigned kMbIconQuestion = 0x20;
inline constexpr unsigned kMbIconExclamation = 0x30;
inline constexpr unsigned kMbIconInformation = 0x40;
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

// Handle of a modeless dialog shown through the user interface; null when none.
using DialogHandle = void*;

// Every message box and modeless dialog of the driver goes through this interface.
class UserInterface {
 public:
  virtual ~UserInterface() = default;
  virtual int MessageBox(const std::string& text, const std::string& caption, unsigned type) = 0;
  virtual DialogHandle OpenDialog(const std::string& caption, const std::string& text,
                                  const std::string& button) = 0;
  virtual void SetDialogText(DialogHandle dialog, const std::string& text) = 0;
  // One pump step on the calling thread; true once the dialog's button was pressed. A null dialog is a
  // pump step while the driver waits with no window shown (the answer then means nothing).
  virtual bool PollDialog(DialogHandle dialog) = 0;
  virtual void CloseDialog(DialogHandle dialog) = 0;
  // True when a host's own handler shows the message boxes (windows of the driver then leave theirs
  // to it too).
  virtual bool HasHostMessageBox() const { return false; }
};

// The caption of every message box of the driver.
inline constexpr const char* kDriverCaption = "VK605";

}  // namespace vk605
