#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "vk605/vk605.h"

namespace vk605::tool {

// How the driver's questions are answered.
struct PromptPolicy {
  bool interactive = false;  // ask the person at the terminal
  std::optional<bool> yes;   // --yes / --no: the answer to Yes/No questions
  std::optional<bool> ok;    // --answer ok|cancel (also set by --yes / --no): OK/Cancel questions
};

// The driver's user interface on the terminal: every message box is printed (stderr) with the answer it
// got; modeless dialogs become a progress line with the elapsed time, redrawn while the driver works;
// Ctrl-C while a dialog with a button is open presses that button ("Abort Measurement" of a triggered
// measurement); Ctrl-C at a prompt cancels it (the safe answer: No, Cancel), every later question gets its
// safe answer at once, and Interrupted() tells the program to end once the driver is unloaded.
class TerminalUi {
 public:
  explicit TerminalUi(const PromptPolicy& policy);
  ~TerminalUi();
  TerminalUi(const TerminalUi&) = delete;
  TerminalUi& operator=(const TerminalUi&) = delete;

  const VK605UiHandler* Handler() const { return &handler_; }
  // Every message box text shown so far, in order.
  const std::vector<std::string>& Messages() const { return messages_; }
  // True once Ctrl-C pressed a dialog's button.
  bool Aborted() const;
  // True once Ctrl-C cancelled a prompt.
  static bool Interrupted();

  // The same automatic answer to the same OK/Cancel question this many times in a row turns into Cancel,
  // so an instrument that never reports calibrated cannot keep a script waiting for ever.
  static constexpr int kMaxRepeatedAnswers = 10;

 private:
  struct Dialog {
    std::string caption;
    std::string text;
    std::string button;
    std::chrono::steady_clock::time_point opened;
    std::chrono::steady_clock::time_point drawn;
  };
  static int MessageBox(void* context, const char* text, const char* caption, unsigned int type);
  static void* OpenDialog(void* context, const char* caption, const char* text, const char* button);
  static void SetDialogText(void* context, void* dialog, const char* text);
  static int PollDialog(void* context, void* dialog);
  static void CloseDialog(void* context, void* dialog);

  int Answer(const std::string& text, unsigned int type);
  std::optional<int> AskPerson(unsigned int buttons);
  // One line from stdin; nothing at its end or when Ctrl-C cancels the prompt.
  std::optional<std::string> ReadAnswerLine();
  void DrawProgress(Dialog& dialog, bool force);  // with mutex_ held
  void Tick();

  PromptPolicy policy_;
  VK605UiHandler handler_{};
  std::vector<std::string> messages_;
  std::string last_auto_text_;
  int repeated_auto_answers_ = 0;
  bool stderr_is_terminal_ = false;
  // The open dialogs; a thread redraws the newest one's progress line while the driver blocks.
  std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<Dialog*> open_dialogs_;
  bool stopping_ = false;
  std::thread ticker_;
};

}  // namespace vk605::tool
