#pragma once

#include <string>

namespace vk605 {

// The platform's own message boxes and modeless dialogs, used when the host installed no handler.
// Types and answers use the Win32 values (MB_OK 0, MB_OKCANCEL 1, MB_YESNO 4; IDOK 1, IDCANCEL 2, IDYES 6,
// IDNO 7).
class PlatformUi {
 public:
  virtual ~PlatformUi() = default;
  // True when nothing is shown to a person (the answers are then fixed: Yes/No -> IDNO, OK/Cancel ->
  // IDCANCEL, OK -> IDOK) and the caller should trace them.
  virtual bool IsHeadless() const = 0;
  virtual int MessageBox(const std::string& text, const std::string& caption, unsigned type) = 0;
  virtual void* OpenDialog(const std::string& caption, const std::string& text,
                           const std::string& button) = 0;
  virtual void SetDialogText(void* dialog, const std::string& text) = 0;
  // One message-pump step; true once the dialog's button was pressed.
  virtual bool PollDialog(void* dialog) = 0;
  virtual void CloseDialog(void* dialog) = 0;
};

PlatformUi& SystemPlatformUi();

}  // namespace vk605
