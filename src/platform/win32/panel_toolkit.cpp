// The control panel on Windows: a modal property sheet of the common controls whose two pages are the
// dialog templates 7510 (status) and 107 (calibration expiry) of the driver's own resources. The sheet
// holds no logic of its own: the pages' notifications, commands and timer ticks go to the driver's
// events, and the driver sets the controls through the view.
#include "platform/panel_toolkit.h"

#include <atomic>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/module_info.h"
#include "platform/win32/windows_headers.h"

#include <commctrl.h>
#include <prsht.h>

// The system header maps MessageBox to MessageBoxA; the view's own member keeps its name.
#undef MessageBox

namespace vk605 {

namespace {

constexpr WORD kStatusTemplate = 7510;
constexpr WORD kCalibrationTemplate = 107;
constexpr int kPageCount = 2;
// Posted to the sheet by BringToFront, so the window is raised on the thread that owns it.
constexpr UINT kBringToFrontMessage = WM_APP + 0x605;

HINSTANCE Instance() {
  return static_cast<HINSTANCE>(ModuleHandle());
}

// The sheet's window while a panel is open, for BringToFront from any thread.
std::atomic<HWND> g_sheet_window{nullptr};

class Win32Panel;

// What a page's dialog procedure finds in its PROPSHEETPAGE: the panel and which page it is.
struct PageRef {
  Win32Panel* panel;
  int index;
};

// A control's state set while its page does not exist yet (the calibration page is created when it is
// first shown, after the driver has loaded its values); applied when the page is created.
struct Pending {
  std::optional<std::string> text;
  std::optional<bool> checked;
  std::optional<bool> enabled;
};

class Win32Panel : public PanelView {
 public:
  explicit Win32Panel(PanelEvents& events) : events_(events) {}

  int Run() {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_TAB_CLASSES};
    ::InitCommonControlsEx(&controls);

    PROPSHEETPAGEA pages[kPageCount] = {};
    const WORD templates[kPageCount] = {kStatusTemplate, kCalibrationTemplate};
    for (int i = 0; i < kPageCount; ++i) {
      refs_[i] = PageRef{this, i};
      pages[i].dwSize = sizeof(PROPSHEETPAGEA);
      // The tab captions are the templates' own captions; no help button.
      pages[i].dwFlags = PSP_DEFAULT;
      pages[i].hInstance = Instance();
      pages[i].pszTemplate = MAKEINTRESOURCEA(templates[i]);
      pages[i].pfnDlgProc = PageProc;
      pages[i].lParam = reinterpret_cast<LPARAM>(&refs_[i]);
    }
    PROPSHEETHEADERA header{};
    header.dwSize = sizeof(PROPSHEETHEADERA);
    // The title with the system's property-title wording; neither a help nor an apply button.
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_PROPTITLE | PSH_NOAPPLYNOW | PSH_NOCONTEXTHELP;
    header.hwndParent = nullptr;
    header.hInstance = Instance();
    header.pszCaption = "VK605";
    header.nPages = kPageCount;
    header.nStartPage = 0;
    header.ppsp = pages;
    const INT_PTR result = ::PropertySheetA(&header);
    g_sheet_window.store(nullptr);
    if (result < 0 || !shown_) return -1;
    return accepted_ ? IDOK : IDCANCEL;
  }

  // ---- PanelView ----

  void SetText(int control, const std::string& text) override {
    if (HWND item = Item(control)) {
      ::SetWindowTextA(item, text.c_str());
    } else {
      pending_[control].text = text;
    }
  }

  std::string GetText(int control) override {
    HWND item = Item(control);
    if (item == nullptr) {
      auto it = pending_.find(control);
      return it != pending_.end() && it->second.text ? *it->second.text : std::string();
    }
    const int length = ::GetWindowTextLengthA(item);
    if (length <= 0) return {};
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    const int copied = ::GetWindowTextA(item, buffer.data(), length + 1);
    return std::string(buffer.data(), copied > 0 ? static_cast<size_t>(copied) : 0);
  }

  void SetCheck(int control, bool checked) override {
    if (HWND item = Item(control)) {
      // BM_SETCHECK sends no BN_CLICKED: the pages' own settings are no user action.
      ::SendMessageA(item, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    } else {
      pending_[control].checked = checked;
    }
  }

  bool IsChecked(int control) override {
    HWND item = Item(control);
    if (item == nullptr) {
      auto it = pending_.find(control);
      return it != pending_.end() && it->second.checked.value_or(false);
    }
    return ::SendMessageA(item, BM_GETCHECK, 0, 0) == BST_CHECKED;
  }

  void Enable(int control, bool enabled) override {
    if (HWND item = Item(control)) {
      ::EnableWindow(item, enabled ? TRUE : FALSE);
    } else {
      pending_[control].enabled = enabled;
    }
  }

  void SetFocus(int control) override {
    HWND item = Item(control);
    if (item == nullptr) return;
    ::SetFocus(item);
    char window_class[16] = {};
    ::GetClassNameA(item, window_class, sizeof window_class);
    // An edit that is refused shows its whole text selected, ready to be typed over.
    if (::lstrcmpiA(window_class, "Edit") == 0) ::SendMessageA(item, EM_SETSEL, 0, -1);
  }

  int MessageBox(const std::string& text, const std::string& caption, unsigned type) override {
    return ::MessageBoxA(sheet_ != nullptr ? sheet_ : pages_[0], text.c_str(), caption.c_str(), type);
  }

  bool StartTimer(unsigned id, unsigned period_ms) override {
    // The refresh timer belongs to the status page, whose procedure passes its ticks on.
    HWND owner = pages_[0] != nullptr ? pages_[0] : sheet_;
    if (owner == nullptr) return false;
    auto it = timers_.find(id);
    if (it != timers_.end() && it->second != owner) ::KillTimer(it->second, id);
    if (::SetTimer(owner, id, period_ms, nullptr) == 0) {
      timers_.erase(id);
      return false;
    }
    timers_[id] = owner;
    return true;
  }

  void StopTimer(unsigned id) override {
    auto it = timers_.find(id);
    if (it == timers_.end()) return;
    ::KillTimer(it->second, id);
    timers_.erase(it);
  }

 private:
  HWND Item(int control) const {
    for (HWND page : pages_) {
      if (page == nullptr) continue;
      if (HWND item = ::GetDlgItem(page, control)) return item;
    }
    return nullptr;
  }

  // ---- the sheet's window ----

  void AttachSheet(HWND sheet) {
    if (sheet_ != nullptr || sheet == nullptr) return;
    sheet_ = sheet;
    ::SetPropA(sheet, kPanelProperty, this);
    sheet_proc_ = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(sheet, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SheetProc)));
    g_sheet_window.store(sheet);
  }

  // Marks the sheet's OK while the sheet processes it, so that the current page's kill-active
  // notification is the OK's check and not a change of page.
  LRESULT Forward(HWND window, UINT message, WPARAM wparam, LPARAM lparam, bool ok) {
    const bool was = ok_pressed_;
    if (ok) ok_pressed_ = true;
    const LRESULT result = ::CallWindowProcA(sheet_proc_, window, message, wparam, lparam);
    ok_pressed_ = was;
    return result;
  }

  static LRESULT CALLBACK SheetProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* panel = static_cast<Win32Panel*>(::GetPropA(window, kPanelProperty));
    if (panel == nullptr) return ::DefWindowProcA(window, message, wparam, lparam);
    switch (message) {
      case WM_COMMAND:
        return panel->Forward(window, message, wparam, lparam, LOWORD(wparam) == IDOK);
      case PSM_PRESSBUTTON:
        return panel->Forward(window, message, wparam, lparam, wparam == PSBTN_OK);
      case WM_TIMER:
        if (panel->timers_.count(static_cast<unsigned>(wparam)) != 0) {
          panel->events_.OnTimer(static_cast<unsigned>(wparam));
          return 0;
        }
        break;
      case kBringToFrontMessage:
        ::SetForegroundWindow(window);
        ::BringWindowToTop(window);
        ::SetActiveWindow(window);
        return 0;
      case WM_NCDESTROY: {
        WNDPROC original = panel->sheet_proc_;
        ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
        ::RemovePropA(window, kPanelProperty);
        g_sheet_window.store(nullptr);
        panel->sheet_ = nullptr;
        return ::CallWindowProcA(original, window, message, wparam, lparam);
      }
      default:
        break;
    }
    return panel->Forward(window, message, wparam, lparam, false);
  }

  // ---- the pages ----

  void PageCreated(int index, HWND page) {
    pages_[index] = page;
    AttachSheet(::GetParent(page));
    for (auto it = pending_.begin(); it != pending_.end();) {
      HWND item = ::GetDlgItem(page, it->first);
      if (item == nullptr) {
        ++it;
        continue;
      }
      const Pending& state = it->second;
      if (state.text) ::SetWindowTextA(item, state.text->c_str());
      if (state.checked) ::SendMessageA(item, BM_SETCHECK, *state.checked ? BST_CHECKED : BST_UNCHECKED, 0);
      if (state.enabled) ::EnableWindow(item, *state.enabled ? TRUE : FALSE);
      it = pending_.erase(it);
    }
    if (index == 0 && !shown_) {
      shown_ = true;
      logic_page_ = 0;
      events_.OnShown(*this);
    }
  }

  // Answers a notification: true refuses (kill-active) or reports an invalid page (apply).
  LRESULT Notify(int index, UINT code) {
    switch (code) {
      case PSN_SETACTIVE:
        // A page the sheet shows without the driver having been told (a change the sheet made itself).
        if (shown_ && index != logic_page_ && events_.OnPageChanging(logic_page_, index)) logic_page_ = index;
        return 0;
      case PSN_KILLACTIVE:
        if (ok_pressed_) {
          accepted_ = events_.OnOk();
          return accepted_ ? FALSE : TRUE;
        }
        // With two pages a change of page always goes to the other one.
        if (!events_.OnPageChanging(index, 1 - index)) return TRUE;
        logic_page_ = 1 - index;
        return FALSE;
      case PSN_APPLY:
        // An OK that reached the sheet some other way is checked here, once per page until accepted.
        if (!accepted_) accepted_ = events_.OnOk();
        return accepted_ ? PSNRET_NOERROR : PSNRET_INVALID_NOCHANGEPAGE;
      case PSN_RESET:
        if (!accepted_ && !cancelled_) {
          cancelled_ = true;
          events_.OnCancel();
        }
        return 0;
      default:
        return 0;
    }
  }

  static INT_PTR CALLBACK PageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
      const auto* sheet_page = reinterpret_cast<const PROPSHEETPAGEA*>(lparam);
      auto* ref = sheet_page != nullptr ? reinterpret_cast<PageRef*>(sheet_page->lParam) : nullptr;
      if (ref == nullptr) return TRUE;
      ::SetWindowLongPtrA(page, DWLP_USER, reinterpret_cast<LONG_PTR>(ref));
      ref->panel->PageCreated(ref->index, page);
      return TRUE;
    }
    auto* ref = reinterpret_cast<PageRef*>(::GetWindowLongPtrA(page, DWLP_USER));
    if (ref == nullptr) return FALSE;
    Win32Panel& panel = *ref->panel;
    switch (message) {
      case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lparam);
        if (header == nullptr) return FALSE;
        const UINT code = header->code;
        if (code != PSN_SETACTIVE && code != PSN_KILLACTIVE && code != PSN_APPLY && code != PSN_RESET)
          return FALSE;
        ::SetWindowLongPtrA(page, DWLP_MSGRESULT, panel.Notify(ref->index, code));
        return TRUE;
      }
      case WM_COMMAND:
        // Clicks of the pages' check boxes; setting a check box from the driver sends none.
        if (HIWORD(wparam) == BN_CLICKED && panel.shown_) {
          panel.events_.OnCommand(LOWORD(wparam));
          return TRUE;
        }
        return FALSE;
      case WM_TIMER:
        panel.events_.OnTimer(static_cast<unsigned>(wparam));
        return TRUE;
      case WM_DESTROY:
        for (auto it = panel.timers_.begin(); it != panel.timers_.end();) {
          if (it->second == page) {
            ::KillTimer(page, it->first);
            it = panel.timers_.erase(it);
          } else {
            ++it;
          }
        }
        panel.pages_[ref->index] = nullptr;
        return FALSE;
      default:
        return FALSE;
    }
  }

  static constexpr char kPanelProperty[] = "VK605.Panel";

  PanelEvents& events_;
  PageRef refs_[kPageCount] = {};
  HWND pages_[kPageCount] = {nullptr, nullptr};
  HWND sheet_ = nullptr;
  WNDPROC sheet_proc_ = nullptr;
  std::map<int, Pending> pending_;
  std::map<unsigned, HWND> timers_;
  int logic_page_ = 0;
  bool shown_ = false;
  bool ok_pressed_ = false;
  bool accepted_ = false;
  bool cancelled_ = false;
};

class Win32PanelToolkit : public PanelToolkit {
 public:
  int RunModal(PanelEvents& events) override {
    Win32Panel panel(events);
    return panel.Run();
  }

  void BringToFront() override {
    HWND sheet = g_sheet_window.load();
    if (sheet == nullptr) return;
    // From the calling thread too: a thread that has the input may hand the foreground on.
    ::SetForegroundWindow(sheet);
    ::PostMessageA(sheet, kBringToFrontMessage, 0, 0);
  }
};

}  // namespace

PanelToolkit& SystemPanelToolkit() {
  static Win32PanelToolkit toolkit;
  return toolkit;
}

}  // namespace vk605
