#include "platform/platform_ui.h"

#include <memory>

#include "platform/module_info.h"
#include "platform/win32/windows_headers.h"

// The system header maps MessageBox to MessageBoxA; the interface's own member keeps its name.
#undef MessageBox

namespace vk605 {

namespace {

// The message dialog's template in the driver's resources and its text control; the button is IDCANCEL.
constexpr WORD kMessageTemplate = 10002;
constexpr int kMessageText = 10001;
// A pump step with nothing to do waits this long for the next message, so polling never burns a core.
constexpr DWORD kIdleWaitMs = 10;

struct Dialog {
  HWND window = nullptr;
  bool pressed = false;
  bool quit_seen = false;  // WM_QUIT taken off the queue while the dialog ran; posted again at close
  int quit_code = 0;
};

HINSTANCE Instance() {
  return static_cast<HINSTANCE>(ModuleHandle());
}

INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    ::SetWindowLongPtrA(window, DWLP_USER, lparam);
    return TRUE;
  }
  auto* dialog = reinterpret_cast<Dialog*>(::GetWindowLongPtrA(window, DWLP_USER));
  // The button carries IDCANCEL, so Escape presses it too; Enter (IDOK) does as well.
  if (message == WM_COMMAND && dialog != nullptr && (LOWORD(wparam) == IDCANCEL || LOWORD(wparam) == IDOK)) {
    dialog->pressed = true;
    return TRUE;
  }
  // Only the driver closes its dialog.
  if (message == WM_CLOSE) return TRUE;
  return FALSE;
}

// Real message boxes, and a small modeless window with a text and one button for the dialogs.
class Win32PlatformUi : public PlatformUi {
 public:
  bool IsHeadless() const override { return false; }

  int MessageBox(const std::string& text, const std::string& caption, unsigned type) override {
    return ::MessageBoxA(nullptr, text.c_str(), caption.c_str(), type);
  }

  void* OpenDialog(const std::string& caption, const std::string& text, const std::string& button) override {
    auto dialog = std::make_unique<Dialog>();
    // The template gives the size, the font, the position (centred) and the button.
    dialog->window = ::CreateDialogParamA(Instance(), MAKEINTRESOURCEA(kMessageTemplate), nullptr, DialogProc,
                                          reinterpret_cast<LPARAM>(dialog.get()));
    if (dialog->window == nullptr) return nullptr;
    ::SetWindowTextA(dialog->window, caption.c_str());
    ::SetDlgItemTextA(dialog->window, kMessageText, text.c_str());
    if (HWND button_window = ::GetDlgItem(dialog->window, IDCANCEL)) {
      if (button.empty()) {
        // A dialog without a button (the connect progress) cannot be pressed.
        ::ShowWindow(button_window, SW_HIDE);
        ::EnableWindow(button_window, FALSE);
      } else {
        ::SetWindowTextA(button_window, button.c_str());
      }
    }
    ::ShowWindow(dialog->window, SW_SHOWNORMAL);
    ::UpdateWindow(dialog->window);
    return dialog.release();
  }

  void SetDialogText(void* handle, const std::string& text) override {
    auto* dialog = static_cast<Dialog*>(handle);
    if (dialog != nullptr) ::SetDlgItemTextA(dialog->window, kMessageText, text.c_str());
  }

  bool PollDialog(void* handle) override {
    auto* dialog = static_cast<Dialog*>(handle);
    MSG message{};
    if (!::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::MsgWaitForMultipleObjects(0, nullptr, FALSE, kIdleWaitMs, QS_ALLINPUT);
    } else if (message.message == WM_QUIT) {
      if (dialog != nullptr) {
        dialog->quit_seen = true;
        dialog->quit_code = static_cast<int>(message.wParam);
      }
    } else if (message.message != WM_LBUTTONDBLCLK &&
               (dialog == nullptr || !::IsDialogMessageA(dialog->window, &message))) {
      // Left-button double clicks are taken off the queue unhandled while a driver dialog waits.
      ::TranslateMessage(&message);
      ::DispatchMessageA(&message);
    }
    return dialog != nullptr && dialog->pressed;
  }

  void CloseDialog(void* handle) override {
    std::unique_ptr<Dialog> dialog(static_cast<Dialog*>(handle));
    if (!dialog) return;
    ::DestroyWindow(dialog->window);
    if (dialog->quit_seen) ::PostQuitMessage(dialog->quit_code);
  }
};

}  // namespace

PlatformUi& SystemPlatformUi() {
  static Win32PlatformUi ui;
  return ui;
}

}  // namespace vk605
