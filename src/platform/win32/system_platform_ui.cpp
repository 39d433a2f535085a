#include "platform/platform_ui.h"

#include <memory>
#include <mutex>

#include "platform/module_info.h"
#include "platform/win32/windows_headers.h"

// The system header maps MessageBox to MessageBoxA; the interface's own member keeps its name.
#undef MessageBox

namespace vk605 {

namespace {

constexpr char kWindowClass[] = "VK605MessageDialog";
constexpr int kClientWidth = 320;
constexpr int kClientHeight = 110;
// A pump step with nothing to do waits this long for the next message, so polling never burns a core.
constexpr DWORD kIdleWaitMs = 10;

struct Dialog {
  HWND window = nullptr;
  HWND text = nullptr;
  bool pressed = false;
  bool quit_seen = false;  // WM_QUIT taken off the queue while the dialog ran; posted again at close
  int quit_code = 0;
};

HINSTANCE Instance() {
  return static_cast<HINSTANCE>(ModuleHandle());
}

LRESULT CALLBACK DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* dialog = reinterpret_cast<Dialog*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
  // The button carries IDCANCEL, so Escape presses it too; Enter (IDOK) does as well.
  if (message == WM_COMMAND && dialog != nullptr && (LOWORD(wparam) == IDCANCEL || LOWORD(wparam) == IDOK)) {
    dialog->pressed = true;
    return 0;
  }
  // Only the driver closes its dialog.
  if (message == WM_CLOSE) return 0;
  return ::DefWindowProcA(window, message, wparam, lparam);
}

// Registers the window class once; unregisters it when the driver is unloaded, since classes of a DLL
// outlive it otherwise and would point at unloaded code.
class WindowClass {
 public:
  bool Ensure() {
    std::call_once(once_, [this] {
      WNDCLASSA window_class{};
      window_class.lpfnWndProc = DialogProc;
      window_class.hInstance = Instance();
      window_class.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
      window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
      window_class.lpszClassName = kWindowClass;
      registered_ = ::RegisterClassA(&window_class) != 0;
    });
    return registered_;
  }
  ~WindowClass() {
    if (registered_) ::UnregisterClassA(kWindowClass, Instance());
  }

 private:
  std::once_flag once_;
  bool registered_ = false;
};

HWND CreateChild(HWND parent, const char* window_class, const std::string& text, DWORD style, RECT area,
                 int id) {
  HWND child = ::CreateWindowExA(0, window_class, text.c_str(), WS_CHILD | WS_VISIBLE | style, area.left,
                                 area.top, area.right - area.left, area.bottom - area.top, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Instance(), nullptr);
  if (child != nullptr) {
    ::SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), TRUE);
  }
  return child;
}

HWND CreateFrame(const std::string& caption) {
  constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_VISIBLE;
  constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;
  RECT frame{0, 0, kClientWidth, kClientHeight};
  ::AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
  int width = frame.right - frame.left;
  int height = frame.bottom - frame.top;
  int x = (::GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  int y = (::GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  return ::CreateWindowExA(kExStyle, kWindowClass, caption.c_str(), kStyle, x, y, width, height, nullptr,
                           nullptr, Instance(), nullptr);
}

// Real message boxes, and a small modeless window with a text and one button for the dialogs.
class Win32PlatformUi : public PlatformUi {
 public:
  bool IsHeadless() const override { return false; }

  int MessageBox(const std::string& text, const std::string& caption, unsigned type) override {
    return ::MessageBoxA(nullptr, text.c_str(), caption.c_str(), type);
  }

  void* OpenDialog(const std::string& caption, const std::string& text, const std::string& button) override {
    if (!window_class_.Ensure()) return nullptr;
    auto dialog = std::make_unique<Dialog>();
    dialog->window = CreateFrame(caption);
    if (dialog->window == nullptr) return nullptr;
    ::SetWindowLongPtrA(dialog->window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(dialog.get()));
    dialog->text =
        CreateChild(dialog->window, "STATIC", text, SS_CENTER, RECT{10, 10, kClientWidth - 10, 62}, -1);
    if (!button.empty()) {
      RECT area{(kClientWidth - 140) / 2, 70, (kClientWidth + 140) / 2, 98};
      CreateChild(dialog->window, "BUTTON", button, WS_TABSTOP | BS_DEFPUSHBUTTON, area, IDCANCEL);
    }
    ::UpdateWindow(dialog->window);
    return dialog.release();
  }

  void SetDialogText(void* handle, const std::string& text) override {
    auto* dialog = static_cast<Dialog*>(handle);
    if (dialog != nullptr && dialog->text != nullptr) ::SetWindowTextA(dialog->text, text.c_str());
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

 private:
  WindowClass window_class_;
};

}  // namespace

PlatformUi& SystemPlatformUi() {
  static Win32PlatformUi ui;
  return ui;
}

}  // namespace vk605
