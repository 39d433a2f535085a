#pragma once

#include <mutex>

#include "diagnostics/diagnostics_log.h"
#include "platform/platform_ui.h"
#include "ui/user_interface.h"
#include "vk605/vk605.h"

namespace vk605 {

// Routes message boxes and dialogs to the host's handler when one is installed, otherwise to the
// platform's own user interface. Fixed answers of a headless platform are traced in the log.
class UiDispatcher : public UserInterface {
 public:
  UiDispatcher(PlatformUi& platform, DiagnosticsLog& log);

  // Copies the handler; null restores the platform default. Returns 0, or 1 for a handler whose size
  // field is smaller than the structure.
  int SetHandler(const VK605UiHandler* handler);

  int MessageBox(const std::string& text, const std::string& caption, unsigned type) override;
  DialogHandle OpenDialog(const std::string& caption, const std::string& text,
                          const std::string& button) override;
  void SetDialogText(DialogHandle dialog, const std::string& text) override;
  bool PollDialog(DialogHandle dialog) override;
  void CloseDialog(DialogHandle dialog) override;

 private:
  bool HandlerCopy(VK605UiHandler& out) const;

  PlatformUi& platform_;
  DiagnosticsLog& log_;
  mutable std::mutex mutex_;
  VK605UiHandler handler_{};
  bool has_handler_ = false;
};

}  // namespace vk605
