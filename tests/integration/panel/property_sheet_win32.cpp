// The control panel's property sheet under Wine and an X server: the built VK605.dll loaded like a
// host loads it, against vk605-sim on a Wine COM port. While the host's thread runs the modal sheet, a
// second thread finds the sheet among the host's windows and drives it with window messages, as a user's
// clicks and typing reach it, and reads the controls back.
// Lean: the full windows.h declares printer functions (SetPort) that clash with the driver's exports.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <commctrl.h>
#include <prsht.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "host_test.h"

namespace vk605::host {
namespace {

using WindowsPanel = HostTest;

constexpr const char* kHoursMessage = "Expiration HOURS must be in the range 0 to 720.";
constexpr const char* kTriggerWait =
    "Please lower the unit to the target window and hold it firmly in place while measuring.  Release the "
    "unit "
    "when the measurement is complete.  (i.e., the spectrophotometer will momentarily display \"Reading "
    "Complete\" and then data will appear on its display). ";

// Asks condition every few milliseconds until it holds; false when it still does not after 30 s.
bool Eventually(const std::function<bool()>& condition) {
  for (int waited = 0; !condition(); waited += 5) {
    if (waited >= 30000) return false;
    ::Sleep(5);
  }
  return true;
}

// ---- finding and reading the sheet ----

struct Search {
  DWORD thread;
  const char* title;
  bool exact;
  HWND found;
};

// The visible dialog window of the host's thread whose title is title (exact) or contains it.
HWND FindDialog(DWORD thread, const char* title, bool exact) {
  Search search{thread, title, exact, nullptr};
  ::EnumThreadWindows(
      thread,
      [](HWND window, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        char window_class[32] = {};
        char text[128] = {};
        ::GetClassNameA(window, window_class, sizeof window_class);
        ::GetWindowTextA(window, text, sizeof text);
        const std::string shown = text;
        const bool named = s->exact ? shown == s->title : shown.find(s->title) != std::string::npos;
        if (std::string(window_class) == "#32770" && ::IsWindowVisible(window) && named) {
          s->found = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The property sheet: its title is the system's wording around the instrument's name.
HWND FindSheet(DWORD thread) {
  return FindDialog(thread, "VK605", false);
}

HWND WaitForSheet(DWORD thread) {
  HWND sheet = nullptr;
  Eventually([&] { return (sheet = FindSheet(thread)) != nullptr; });
  return sheet;
}

HWND CurrentPage(HWND sheet) {
  return reinterpret_cast<HWND>(::SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}

std::string Text(HWND page, int control) {
  char text[512] = {};
  ::SendMessageA(::GetDlgItem(page, control), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  return text;
}

bool Checked(HWND page, int control) {
  return ::SendMessageA(::GetDlgItem(page, control), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool Enabled(HWND page, int control) {
  return ::IsWindowEnabled(::GetDlgItem(page, control)) != FALSE;
}

void Click(HWND page, int control) {
  ::SendMessageA(::GetDlgItem(page, control), BM_CLICK, 0, 0);
}

void Type(HWND page, int control, const char* text) {
  ::SendMessageA(::GetDlgItem(page, control), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

// A click of the mouse on tab index of the sheet's tab control, in the middle of that tab.
void ClickTab(HWND sheet, int index) {
  HWND tabs = reinterpret_cast<HWND>(::SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0));
  RECT item{};
  ::SendMessageA(tabs, TCM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
  const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
  ::SendMessageA(tabs, WM_LBUTTONDOWN, MK_LBUTTON, at);
  ::SendMessageA(tabs, WM_LBUTTONUP, 0, at);
}

// How often text occurs in the simulator's record.
std::size_t Count(SimProcess& sim, const std::string& text) {
  const std::string record = Joined(sim.Commands());
  std::size_t count = 0;
  for (std::size_t at = record.find(text); at != std::string::npos; at = record.find(text, at + 1)) ++count;
  return count;
}

HWND FocusOf(DWORD thread) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  return ::GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

// Text id of the loaded driver's string table.
std::string DriverString(UINT id) {
  char text[512] = {};
  const int length = ::LoadStringA(::GetModuleHandleA("VK605.dll"), id, text, sizeof text);
  return std::string(text, length > 0 ? static_cast<std::size_t>(length) : 0);
}

// ---- screenshots ----

void Append32(std::string& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xFF);
}

std::uint32_t Crc32(const std::string& data, std::size_t from) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = from; i < data.size(); ++i) {
    crc ^= static_cast<unsigned char>(data[i]);
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void Chunk(std::string& png, const char* type, const std::string& body) {
  Append32(png, static_cast<std::uint32_t>(body.size()));
  const std::size_t start = png.size();
  png += type;
  png += body;
  Append32(png, Crc32(png, start));
}

// An RGB image as a PNG file whose pixel data is stored uncompressed (deflate's stored blocks).
std::string Png(int width, int height, const std::vector<unsigned char>& rgb) {
  std::string raw;
  for (int y = 0; y < height; ++y) {
    raw += '\0';  // no filter
    raw.append(reinterpret_cast<const char*>(rgb.data()) + static_cast<std::size_t>(y) * width * 3,
               static_cast<std::size_t>(width) * 3);
  }
  std::string zlib("\x78\x01", 2);
  for (std::size_t at = 0; at < raw.size();) {
    const std::size_t length = std::min<std::size_t>(65535, raw.size() - at);
    zlib += static_cast<char>(at + length == raw.size() ? 1 : 0);
    zlib += static_cast<char>(length & 0xFF);
    zlib += static_cast<char>(length >> 8);
    zlib += static_cast<char>(~length & 0xFF);
    zlib += static_cast<char>((~length >> 8) & 0xFF);
    zlib.append(raw, at, length);
    at += length;
  }
  std::uint32_t a = 1;
  std::uint32_t b = 0;
  for (unsigned char c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  Append32(zlib, (b << 16) | a);
  std::string png("\x89PNG\r\n\x1a\n", 8);
  std::string header;
  Append32(header, static_cast<std::uint32_t>(width));
  Append32(header, static_cast<std::uint32_t>(height));
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB
  Chunk(png, "IHDR", header);
  Chunk(png, "IDAT", zlib);
  Chunk(png, "IEND", "");
  return png;
}

// The pixels under the window's rectangle on the screen, as RGB rows; empty when they cannot be read.
std::vector<unsigned char> Capture(const RECT& area) {
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  std::vector<unsigned char> rgb;
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap != nullptr && bits != nullptr) {
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    if (::BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY) != FALSE) {
      ::GdiFlush();
      const auto* pixels = static_cast<const std::uint32_t*>(bits);
      rgb.resize(static_cast<std::size_t>(width) * height * 3);
      for (std::size_t i = 0; i < static_cast<std::size_t>(width) * height; ++i) {
        rgb[i * 3] = static_cast<unsigned char>((pixels[i] >> 16) & 0xFF);
        rgb[i * 3 + 1] = static_cast<unsigned char>((pixels[i] >> 8) & 0xFF);
        rgb[i * 3 + 2] = static_cast<unsigned char>(pixels[i] & 0xFF);
      }
    }
    ::SelectObject(memory, old);
    ::DeleteObject(bitmap);
  }
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  return rgb;
}

bool OneColour(const std::vector<unsigned char>& rgb) {
  for (std::size_t i = 3; i < rgb.size(); ++i) {
    if (rgb[i] != rgb[i % 3]) return false;
  }
  return true;
}

// The sheet as the screen shows it, into a PNG file (and into VK605_PANEL_SCREENSHOTS when that names a
// folder). The host's thread hands its drawing to the X server when its loop is idle, so the screen is
// read until two readings agree. False when nothing could be read or the image stays one colour, as when
// the sheet was not drawn.
bool Snapshot(HWND sheet, const std::filesystem::path& file) {
  ::RedrawWindow(sheet, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  RECT area{};
  ::GetWindowRect(sheet, &area);
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  if (width <= 100 || height <= 100) return false;
  std::vector<unsigned char> previous;
  std::vector<unsigned char> rgb;
  for (int attempt = 0; attempt < 50; ++attempt) {
    ::SendMessageA(sheet, WM_NULL, 0, 0);
    ::Sleep(100);
    rgb = Capture(area);
    if (!rgb.empty() && !OneColour(rgb) && rgb == previous) break;
    previous = rgb;
  }
  if (rgb.empty() || OneColour(rgb)) return false;
  const std::string png = Png(width, height, rgb);
  std::ofstream(file, std::ios::binary).write(png.data(), static_cast<std::streamsize>(png.size()));
  if (const char* keep = std::getenv("VK605_PANEL_SCREENSHOTS"); keep != nullptr && *keep != '\0') {
    std::error_code ignored;
    std::filesystem::copy_file(file, std::filesystem::path(keep) / file.filename(),
                               std::filesystem::copy_options::overwrite_existing, ignored);
  }
  return true;
}

// ---- the host ----

// Runs the panel on this (the host's) thread while drive works the sheet from a second thread; the
// driving thread cancels a sheet it leaves open, so a failed step cannot leave the host waiting.
int RunPanel(Driver& driver, const std::function<void(DWORD host_thread, HWND sheet)>& drive) {
  const DWORD host_thread = ::GetCurrentThreadId();
  std::thread driver_thread([&] {
    HWND sheet = WaitForSheet(host_thread);
    HOST_CHECK(sheet != nullptr);
    if (sheet == nullptr) return;
    drive(host_thread, sheet);
    if (::IsWindow(sheet)) ::PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
  });
  const int result = VK605_EXPORT(driver, ControlPanel)();
  driver_thread.join();
  return result;
}

// The whole path of a user: status seen, profiling switched off, an hour count out of range refused
// with the focus on its edit, corrected, and OK storing the limits and rules in the calibration file.
TEST_F(WindowsPanel, StatusProfilingSwitchAndCalibrationLimitsReachTheFiles) {
  SimProcess& sim = StartInstrument();
  WriteFile(Path("profile.prf"), "created = 2004-07-30 14:05:09\n");
  WriteRegistry(
      "[Software\\Classes\\CalveraSrv.ProfileV1]\nLibrary=" + std::string(VK605_REFERENCE_COMPONENT_PATH) +
      "\n[Software\\Orvanta\\Calvera\\Profiles\\VK60512345]\nLocalFile=" + Path("profile.prf").string() +
      "\n");
  const std::filesystem::path shots = Dir().Path();
  int failures = RunHost([&](Driver& driver) {
    HOST_CHECK_EQ(VK605_EXPORT(driver, InitializeDriver)(), 0);
    std::size_t boxes_before_ok = 0;
    int second_call = 0;
    const int result = RunPanel(driver, [&](DWORD host_thread, HWND sheet) {
      char title[128] = {};
      ::GetWindowTextA(sheet, title, sizeof title);
      HOST_CHECK(std::string(title).find("VK605") != std::string::npos);
      HWND status = CurrentPage(sheet);
      HOST_CHECK(status != nullptr);
      HOST_CHECK_EQ(Text(status, 1023), std::string("Communications Established"));
      HOST_CHECK_EQ(Text(status, 1032), std::string("VK605 V1.07"));
      HOST_CHECK_EQ(Text(status, 1024), std::string("12345"));
      HOST_CHECK_EQ(Text(status, 1022), std::string("Calibrated"));
      HOST_CHECK_EQ(Text(status, 1015), std::string("Reflectance"));
      HOST_CHECK_EQ(Text(status, 1016), std::string("Excluded"));  // SPECULAR_MODE of the settings: excluded
      HOST_CHECK_EQ(Text(status, 1017), std::string("Included"));
      HOST_CHECK_EQ(Text(status, 10190), std::string("Calvera is enabled"));
      // The labels are the template's.
      HOST_CHECK_EQ(Text(status, 1035), std::string("System Status"));
      HOST_CHECK_EQ(Text(status, 1034), std::string("Version:"));
      HOST_CHECK(Checked(status, 3001));
      // What the page shows is the driver's string table, byte for byte.
      HOST_CHECK_EQ(Text(status, 1023), DriverString(115));
      HOST_CHECK_EQ(Text(status, 1022), DriverString(103));
      HOST_CHECK_EQ(Text(status, 1015), DriverString(106));
      HOST_CHECK_EQ(Text(status, 1016), DriverString(108));
      HOST_CHECK_EQ(Text(status, 10190), DriverString(1148));
      HOST_CHECK(Snapshot(sheet, shots / "panel-windows-status.png"));
      // One panel at a time: a call from another thread returns at once.
      second_call = VK605_EXPORT(driver, ControlPanel)();

      Click(status, 3001);
      HOST_CHECK(!Checked(status, 3001));
      HOST_CHECK_EQ(Text(status, 10190), std::string("Calvera has been turned off by the user."));

      HOST_CHECK(::SendMessageA(sheet, PSM_SETCURSEL, 1, 0) != 0);
      HWND calibration = CurrentPage(sheet);
      HOST_CHECK(calibration != nullptr && calibration != status);
      HOST_CHECK_EQ(Text(calibration, 1000), std::string("Calibration Expiration"));
      HOST_CHECK_EQ(Text(calibration, 10240), std::string("4"));
      HOST_CHECK_EQ(Text(calibration, 10242), std::string("0"));
      HOST_CHECK_EQ(Text(calibration, 10241), std::string("250"));
      HOST_CHECK(!Checked(calibration, 1112) && !Checked(calibration, 1113));
      HOST_CHECK(!Enabled(calibration, 10240) && !Enabled(calibration, 10242) &&
                 !Enabled(calibration, 10241));
      Click(calibration, 1112);
      Click(calibration, 1113);
      HOST_CHECK(Checked(calibration, 1112) && Checked(calibration, 1113));
      HOST_CHECK(Enabled(calibration, 10240) && Enabled(calibration, 10242) && Enabled(calibration, 10241));

      Type(calibration, 10240, "721");
      boxes_before_ok = Script().boxes.size();
      ::SendMessageA(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
      HOST_CHECK(Eventually([&] { return Script().boxes.size() > boxes_before_ok; }));
      HOST_CHECK_EQ(Script().boxes.size(), boxes_before_ok + 1);
      if (Script().boxes.size() == boxes_before_ok + 1) {
        HOST_CHECK_EQ(Script().boxes.back().text, std::string(kHoursMessage));
        HOST_CHECK_EQ(Script().boxes.back().text, DriverString(9048));
        HOST_CHECK_EQ(Script().boxes.back().caption, std::string("VK605"));
      }
      HOST_CHECK(::IsWindow(sheet) != FALSE);  // still open
      HOST_CHECK(FocusOf(host_thread) == ::GetDlgItem(calibration, 10240));

      Type(calibration, 10240, "36");
      Type(calibration, 10242, "15");
      Type(calibration, 10241, "500");
      HOST_CHECK(Snapshot(sheet, shots / "panel-windows-calibration.png"));
      sim.ClearRecord();
      ::SendMessageA(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
      HOST_CHECK(Eventually([&] { return ::IsWindow(sheet) == FALSE; }));
      // The OK is no change of page: the status page is not refreshed on the way out.
      HOST_CHECK_EQ(Joined(sim.Commands()), std::string());
    });
    HOST_CHECK_EQ(result, 1);
    HOST_CHECK_EQ(second_call, -1);
    HOST_CHECK_EQ(Script().boxes.size(), boxes_before_ok + 1);  // no message 101 for the second call
    HOST_CHECK_EQ(VK605_EXPORT(driver, IsCalveraEnabled)(), 0);
    const auto calibration = IniSection(driver.Directory() / "VK60512345.INI", "CALIBRATION");
    HOST_CHECK_EQ(calibration.at("HOURS"), std::string("36"));
    HOST_CHECK_EQ(calibration.at("MINUTES"), std::string("15"));
    HOST_CHECK_EQ(calibration.at("MEASUREMENTS"), std::string("500"));
    HOST_CHECK_EQ(calibration.at("BTIME"), std::string("1"));
    HOST_CHECK_EQ(calibration.at("BMEASUREMENTS"), std::string("1"));
    driver.Unload();
  });
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(IniSection(Path("VK605.INI"), "MAIN").at("CALVERA_STATE"), "0");
  EXPECT_TRUE(std::filesystem::exists(Path("panel-windows-status.png")));
  EXPECT_TRUE(std::filesystem::exists(Path("panel-windows-calibration.png")));
}

// Cancel stores no limits, but keeps the profiling switch as the user left it.
TEST_F(WindowsPanel, CancelStoresNoLimits) {
  StartInstrument();
  int failures = RunHost([&](Driver& driver) {
    HOST_CHECK_EQ(VK605_EXPORT(driver, InitializeDriver)(), 0);
    const int result = RunPanel(driver, [&](DWORD, HWND sheet) {
      HWND status = CurrentPage(sheet);
      // Without the profiling component the switch cannot be used.
      HOST_CHECK_EQ(Text(status, 10190), std::string("Calvera is not installed on this computer."));
      HOST_CHECK(!Enabled(status, 3001));
      HOST_CHECK(::SendMessageA(sheet, PSM_SETCURSEL, 1, 0) != 0);
      HWND calibration = CurrentPage(sheet);
      Click(calibration, 1112);
      HOST_CHECK(Checked(calibration, 1112));
      Type(calibration, 10240, "99");
      // Back to the status page and again to the calibration page: the values typed are kept.
      HOST_CHECK(::SendMessageA(sheet, PSM_SETCURSEL, 0, 0) != 0);
      HOST_CHECK(CurrentPage(sheet) == status);
      HOST_CHECK(::SendMessageA(sheet, PSM_SETCURSEL, 1, 0) != 0);
      HOST_CHECK_EQ(Text(calibration, 10240), std::string("99"));
      Click(sheet, IDCANCEL);  // the sheet's own Cancel button
      HOST_CHECK(Eventually([&] { return ::IsWindow(sheet) == FALSE; }));
    });
    HOST_CHECK_EQ(result, 2);
    const auto calibration = IniSection(driver.Directory() / "VK60512345.INI", "CALIBRATION");
    HOST_CHECK_EQ(calibration.at("HOURS"), std::string("4"));
    HOST_CHECK_EQ(calibration.at("BTIME"), std::string("0"));
    HOST_CHECK(Script().boxes.empty());
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

// The user's clicks on the tabs and on OK: each change of page is one change for the pages, so the status
// page is refreshed once when it is shown again and not at all when it is left or the sheet ends.
TEST_F(WindowsPanel, TabClicksChangeThePageOnce) {
  SimProcess& sim = StartInstrument();
  int failures = RunHost([&](Driver& driver) {
    HOST_CHECK_EQ(VK605_EXPORT(driver, InitializeDriver)(), 0);
    const int result = RunPanel(driver, [&](DWORD, HWND sheet) {
      HWND status = CurrentPage(sheet);
      sim.ClearRecord();
      ClickTab(sheet, 1);
      HWND calibration = CurrentPage(sheet);
      HOST_CHECK(calibration != nullptr && calibration != status);
      HOST_CHECK_EQ(Text(calibration, 10240), std::string("4"));
      HOST_CHECK_EQ(Count(sim, "SN\\r"), 0u);
      ClickTab(sheet, 0);
      HOST_CHECK(CurrentPage(sheet) == status);
      HOST_CHECK_EQ(Count(sim, "SN\\r"), 1u);
      // The sheet's own OK button on the calibration page: no change of page, so no refresh either.
      ClickTab(sheet, 1);
      sim.ClearRecord();
      Click(sheet, IDOK);
      HOST_CHECK(Eventually([&] { return ::IsWindow(sheet) == FALSE; }));
      HOST_CHECK_EQ(Count(sim, "SN\\r"), 0u);
    });
    HOST_CHECK_EQ(result, 1);
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

// The status page asks the instrument again from its 5-second window timer while it is shown.
TEST_F(WindowsPanel, StatusPageRefreshesFromItsTimer) {
  SimProcess& sim = StartInstrument();
  int failures = RunHost([&](Driver& driver) {
    HOST_CHECK_EQ(VK605_EXPORT(driver, InitializeDriver)(), 0);
    const int result = RunPanel(driver, [&](DWORD, HWND sheet) {
      sim.ClearRecord();
      // Every refresh asks for the serial number.
      HOST_CHECK(Eventually([&] { return Joined(sim.Commands()).find("SN\\r") != std::string::npos; }));
      HOST_CHECK_EQ(Text(CurrentPage(sheet), 1023), std::string("Communications Established"));
      ::SendMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
      HOST_CHECK(Eventually([&] { return ::IsWindow(sheet) == FALSE; }));
    });
    HOST_CHECK_EQ(result, 2);
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

// A value out of range blocks the change of page and the rule's switch: message 9048 each time, the
// calibration page stays and the time rule's check box stays checked.
TEST_F(WindowsPanel, AnInvalidHourCountKeepsTheCalibrationPageAndItsRule) {
  StartInstrument();
  int failures = RunHost([&](Driver& driver) {
    HOST_CHECK_EQ(VK605_EXPORT(driver, InitializeDriver)(), 0);
    const int result = RunPanel(driver, [&](DWORD host_thread, HWND sheet) {
      HOST_CHECK(::SendMessageA(sheet, PSM_SETCURSEL, 1, 0) != 0);
      HWND calibration = CurrentPage(sheet);
      Click(calibration, 1112);
      HOST_CHECK(Enabled(calibration, 10240));
      Type(calibration, 10240, "721");
      HOST_CHECK(::SendMessageA(sheet, PSM_SETCURSEL, 0, 0) == 0);
      HOST_CHECK(CurrentPage(sheet) == calibration);
      HOST_CHECK_EQ(Script().boxes.size(), 1u);
      if (!Script().boxes.empty()) HOST_CHECK_EQ(Script().boxes.back().text, std::string(kHoursMessage));
      HOST_CHECK(FocusOf(host_thread) == ::GetDlgItem(calibration, 10240));
      // Unticking the rule checks the fields first: refused, the box is ticked again.
      Click(calibration, 1112);
      HOST_CHECK_EQ(Script().boxes.size(), 2u);
      HOST_CHECK(Checked(calibration, 1112));
      HOST_CHECK(Enabled(calibration, 10240));
      // The sheet's own OK button: refused the same way, the sheet stays open.
      Click(sheet, IDOK);
      HOST_CHECK_EQ(Script().boxes.size(), 3u);
      if (Script().boxes.size() == 3u) HOST_CHECK_EQ(Script().boxes.back().text, std::string(kHoursMessage));
      HOST_CHECK(::IsWindowVisible(sheet) != FALSE);
      ::SendMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
      HOST_CHECK(Eventually([&] { return ::IsWindow(sheet) == FALSE; }));
    });
    HOST_CHECK_EQ(result, 2);
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

// The trigger's wait dialog without a host handler: the driver's own dialog from its template, with the
// template's size and font, the wait text and the abort button, which ends the wait.
TEST_F(WindowsPanel, TriggerWaitDialogIsTheTemplateAndItsButtonAborts) {
  StartInstrument({"--trigger-after-ms", "60000"});
  const std::filesystem::path shots = Dir().Path();
  int failures = RunHost(
      [&](Driver& driver) {
        HOST_CHECK_EQ(VK605_EXPORT(driver, InitializeDriver)(), 0);
        const DWORD host_thread = ::GetCurrentThreadId();
        std::thread driver_thread([&] {
          HWND dialog = nullptr;
          Eventually([&] { return (dialog = FindDialog(host_thread, "VK605", true)) != nullptr; });
          HOST_CHECK(dialog != nullptr);
          if (dialog == nullptr) return;
          HOST_CHECK_EQ(Text(dialog, 10001), std::string(kTriggerWait));
          HOST_CHECK_EQ(Text(dialog, IDCANCEL), std::string("Abort Measurement"));
          // 263 x 55 dialog units of the template's font, Arial.
          RECT template_size{0, 0, 263, 55};
          ::MapDialogRect(dialog, &template_size);
          RECT client{};
          ::GetClientRect(dialog, &client);
          HOST_CHECK_EQ(client.right, template_size.right);
          HOST_CHECK_EQ(client.bottom, template_size.bottom);
          LOGFONTA font{};
          auto handle =
              reinterpret_cast<HFONT>(::SendMessageA(::GetDlgItem(dialog, 10001), WM_GETFONT, 0, 0));
          HOST_CHECK(handle != nullptr && ::GetObjectA(handle, sizeof font, &font) == sizeof font);
          HOST_CHECK_EQ(std::string(font.lfFaceName), std::string("Arial"));
          // The button has grown to its text and stays centred, at the template's top and height.
          HWND button = ::GetDlgItem(dialog, IDCANCEL);
          RECT button_area{};
          ::GetWindowRect(button, &button_area);
          ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&button_area), 2);
          RECT button_template{106, 40, 106 + 50, 40 + 14};
          ::MapDialogRect(dialog, &button_template);
          HDC dc = ::GetDC(button);
          HGDIOBJ old =
              ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageA(button, WM_GETFONT, 0, 0)));
          SIZE label{};
          ::GetTextExtentPoint32A(dc, "Abort Measurement", 17, &label);
          ::SelectObject(dc, old);
          ::ReleaseDC(button, dc);
          const int button_width = button_area.right - button_area.left;
          HOST_CHECK(button_width > label.cx);
          HOST_CHECK(button_width > button_template.right - button_template.left);
          HOST_CHECK(std::abs(button_area.left - (client.right - button_width) / 2) <= 1);
          HOST_CHECK_EQ(button_area.top, button_template.top);
          HOST_CHECK_EQ(button_area.bottom, button_template.bottom);
          HOST_CHECK(Snapshot(dialog, shots / "wait-dialog-windows.png"));
          Click(dialog, IDCANCEL);
        });
        double spectra[40] = {};
        int options = 1;
        HOST_CHECK_EQ(VK605_EXPORT(driver, PerformTriggerMeasurement)(spectra, options), 122);
        driver_thread.join();
        // The dialog is gone once the measurement returns.
        HOST_CHECK(FindDialog(host_thread, "VK605", true) == nullptr);
        EndHostWithoutUnload();
      },
      Ui::kPlatformDefault);
  EXPECT_EQ(failures, 0);
}

}  // namespace
}  // namespace vk605::host
