#pragma once

#include <mutex>

#include "diagnostics/diagnostics_log.h"
#include "platform/platform_ui.h"
#include "ui/user_interface.h"

namespace vk605 {

// A host's own user interface: plain functions called with the host's context pointer. A missing
// message_box or open_dialog leaves that part to the platform.
struct HostUiHandler {
  void* context = nullptr;
  int (*message_box)(void* context, const char* text, const char* caption, unsigned int type) = nullptr;
  void* (*open_dialog)(void* context, const char* caption, const char* text,
                       const char* button_text) = nullptr;
  void (*set_dialog_text)(void* context, void* dialog, const char* text) = nullptr;
  int (*poll_dialog)(void* context, void* dialog) = nullptr;
  void (*close_dialog)(void* context, void* dialog) = nullptr;
};

// Routes message boxes and dialogs to the host's handler when one is installed, otherwise to the
// platform's own user interface. Fixed answers of a headless platform are traced in the log.
class UiDispatcher : public UserInterface {
 public:
  UiDispatcher(PlatformUi& platform, DiagnosticsLog& log);

  // Copies the handler; null restores the platform default.
  void SetHandler(const HostUiHandler* handler);

  int MessageBox(const std::string& text, const std::string& caption, unsigned type) override;
  DialogHandle OpenDialog(const std::string& caption, const std::string& text,
                          const std::string& button) override;
  void SetDialogText(DialogHandle dialog, const std::string& text) override;
  bool PollDialog(DialogHandle dialog) override;
  void CloseDialog(DialogHandle dialog) override;
  bool HasHostMessageBox() const override;

 private:
  bool HandlerCopy(HostUiHandler& out) const;

  PlatformUi& platform_;
  DiagnosticsLog& log_;
  mutable std::mutex mutex_;
  HostUiHandler handler_{};
  bool has_handler_ = false;
};

}  // namespace vk605
