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
    // The dialog ends at once; its owner destroys the window later.
    ::ShowWindow(window, SW_HIDE);
    return TRUE;
  }
  // Only the driver closes its dialog.
  if (message == WM_CLOSE) return TRUE;
  return FALSE;
}

// Pixel width of text in the button's font.
int TextWidth(HWND button, const std::string& text) {
  HDC dc = ::GetDC(button);
  if (dc == nullptr) return 0;
  HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageA(button, WM_GETFONT, 0, 0)));
  SIZE size{};
  ::GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
  ::SelectObject(dc, old);
  ::ReleaseDC(button, dc);
  return size.cx;
}

// The button takes the new text and grows (or shrinks) by the difference of the two captions' widths,
// keeping its top and height, centred in the dialog's client area.
void FitButton(HWND dialog, HWND button, const std::string& text) {
  char current[256] = {};
  ::GetWindowTextA(button, current, sizeof current);
  RECT area{};
  ::GetWindowRect(button, &area);
  ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&area), 2);
  const int width = (area.right - area.left) + TextWidth(button, text) - TextWidth(button, current);
  RECT client{};
  ::GetClientRect(dialog, &client);
  ::MoveWindow(button, (client.right - width) / 2, area.top, width, area.bottom - area.top, TRUE);
  ::SetWindowTextA(button, text.c_str());
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
      ::EnableWindow(button_window, TRUE);
      ::ShowWindow(button_window, SW_SHOW);
      if (!button.empty()) FitButton(dialog->window, button_window, button);
    }
    ::ShowWindow(dialog->window, SW_SHOWNORMAL);
    ::RedrawWindow(dialog->window, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
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
