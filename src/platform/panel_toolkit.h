#pragma once

#include <string>

namespace vk605 {

// A shown control panel as the page logic sees it: controls addressed by their dialog identifiers.
class PanelView {
 public:
  virtual ~PanelView() = default;
  virtual void SetText(int control, const std::string& text) = 0;
  virtual std::string GetText(int control) = 0;
  virtual void SetCheck(int control, bool checked) = 0;
  virtual bool IsChecked(int control) = 0;
  virtual void Enable(int control, bool enabled) = 0;
  virtual void SetFocus(int control) = 0;
  // A message box of the toolkit over the panel; answers with the Win32 values (IDOK 1, ...).
  virtual int MessageBox(const std::string& text, const std::string& caption, unsigned type) = 0;
  // Starts (or restarts) the timer with this identifier; false when the system refuses it.
  virtual bool StartTimer(unsigned id, unsigned period_ms) = 0;
  virtual void StopTimer(unsigned id) = 0;
};

// What the toolkit reports while the panel runs, on the thread that runs it.
class PanelEvents {
 public:
  virtual ~PanelEvents() = default;
  // The panel exists and page 0 is shown; view stays valid until RunModal returns.
  virtual void OnShown(PanelView& view) = 0;
  // The user asks for another page; false keeps the current one.
  virtual bool OnPageChanging(int from, int to) = 0;
  // A check box or button was clicked by the user (not when the pages set it).
  virtual void OnCommand(int control) = 0;
  virtual void OnTimer(unsigned id) = 0;
  // OK pressed; false keeps the panel open.
  virtual bool OnOk() = 0;
  // Cancel pressed or the window closed.
  virtual void OnCancel() = 0;
};

// The platform's modal tabbed dialog for the control panel.
class PanelToolkit {
 public:
  virtual ~PanelToolkit() = default;
  // Shows the panel modally: IDOK (1) or IDCANCEL (2), or -1 when it cannot be created.
  virtual int RunModal(PanelEvents& events) = 0;
  // Brings an open panel to the front and gives it the input focus; callable from any thread.
  virtual void BringToFront() = 0;
};

PanelToolkit& SystemPanelToolkit();

}  // namespace vk605
