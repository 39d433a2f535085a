#include "ui/ui_dispatcher.h"

#include <memory>

namespace vk605 {

namespace {

// A dialog stays with the user interface that opened it, even when the host changes its handler while
// the dialog is shown.
struct DispatchedDialog {
  bool by_host = false;
  HostUiHandler handler{};
  void* inner = nullptr;
};

DispatchedDialog* AsDialog(DialogHandle dialog) {
  return static_cast<DispatchedDialog*>(dialog);
}

std::string AnswerName(int answer) {
  switch (answer) {
    case kIdOk:
      return "IDOK";
    case kIdCancel:
      return "IDCANCEL";
    case kIdYes:
      return "IDYES";
    case kIdNo:
      return "IDNO";
    default:
      return std::to_string(answer);
  }
}

}  // namespace

UiDispatcher::UiDispatcher(PlatformUi& platform, DiagnosticsLog& log) : platform_(platform), log_(log) {}

void UiDispatcher::SetHandler(const HostUiHandler* handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  has_handler_ = handler != nullptr;
  handler_ = has_handler_ ? *handler : HostUiHandler{};
}

bool UiDispatcher::HandlerCopy(HostUiHandler& out) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!has_handler_) return false;
  out = handler_;
  return true;
}

bool UiDispatcher::HasHostMessageBox() const {
  HostUiHandler handler{};
  return HandlerCopy(handler) && handler.message_box != nullptr;
}

int UiDispatcher::MessageBox(const std::string& text, const std::string& caption, unsigned type) {
  HostUiHandler handler{};
  if (HandlerCopy(handler) && handler.message_box != nullptr) {
    return handler.message_box(handler.context, text.c_str(), caption.c_str(), type);
  }
  int answer = platform_.MessageBox(text, caption, type);
  if (platform_.IsHeadless())
    log_.LogLine("USER INTERFACE: no desktop, answered " + AnswerName(answer) + " to: " + text);
  return answer;
}

DialogHandle UiDispatcher::OpenDialog(const std::string& caption, const std::string& text,
                                      const std::string& button) {
  auto dialog = std::make_unique<DispatchedDialog>();
  if (HandlerCopy(dialog->handler) && dialog->handler.open_dialog != nullptr) {
    dialog->by_host = true;
    dialog->inner =
        dialog->handler.open_dialog(dialog->handler.context, caption.c_str(), text.c_str(), button.c_str());
  } else {
    dialog->inner = platform_.OpenDialog(caption, text, button);
    if (platform_.IsHeadless())
      log_.LogLine("USER INTERFACE: no desktop, dialog not shown: " + caption + ": " + text);
  }
  if (dialog->inner == nullptr) return nullptr;
  return dialog.release();
}

void UiDispatcher::SetDialogText(DialogHandle dialog, const std::string& text) {
  DispatchedDialog* shown = AsDialog(dialog);
  if (shown == nullptr) return;
  if (!shown->by_host) {
    platform_.SetDialogText(shown->inner, text);
  } else if (shown->handler.set_dialog_text != nullptr) {
    shown->handler.set_dialog_text(shown->handler.context, shown->inner, text.c_str());
  }
}

bool UiDispatcher::PollDialog(DialogHandle dialog) {
  DispatchedDialog* shown = AsDialog(dialog);
  if (shown == nullptr) {
    // No window: the host's pump step when it has one, else the platform's.
    HostUiHandler handler{};
    if (HandlerCopy(handler) && handler.poll_dialog != nullptr) {
      static_cast<void>(handler.poll_dialog(handler.context, nullptr));
    } else {
      static_cast<void>(platform_.PollDialog(nullptr));
    }
    return false;
  }
  if (!shown->by_host) return platform_.PollDialog(shown->inner);
  if (shown->handler.poll_dialog == nullptr) return false;
  return shown->handler.poll_dialog(shown->handler.context, shown->inner) != 0;
}

void UiDispatcher::CloseDialog(DialogHandle dialog) {
  std::unique_ptr<DispatchedDialog> shown(AsDialog(dialog));
  if (!shown) return;
  if (!shown->by_host) {
    platform_.CloseDialog(shown->inner);
  } else if (shown->handler.close_dialog != nullptr) {
    shown->handler.close_dialog(shown->handler.context, shown->inner);
  }
}

}  // namespace vk605
