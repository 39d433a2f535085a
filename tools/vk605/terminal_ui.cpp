#include "terminal_ui.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <iostream>
#include <thread>

#include "text_format.h"

namespace vk605::tool {

namespace {

// Win32 message-box values the driver uses.
constexpr unsigned kButtonMask = 0x0F;
constexpr unsigned kOk = 0, kOkCancel = 1, kYesNo = 4;
constexpr int kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7;

// Dialogs with a button that are open now, and whether Ctrl-C pressed it. Read by the signal handler.
std::atomic<int> g_abortable_dialogs{0};
std::atomic<bool> g_abort_pressed{false};
struct sigaction g_previous_sigint {};

void OnInterrupt(int signal_number) {
  if (g_abortable_dialogs.load() > 0) {
    g_abort_pressed.store(true);
    return;
  }
  // Outside a triggered measurement Ctrl-C ends the program as usual.
  ::sigaction(SIGINT, &g_previous_sigint, nullptr);
  ::raise(signal_number);
}

const char* AnswerName(int answer) {
  switch (answer) {
    case kIdOk:
      return "OK";
    case kIdCancel:
      return "Cancel";
    case kIdYes:
      return "Yes";
    case kIdNo:
      return "No";
  }
  return "?";
}

}  // namespace

TerminalUi::TerminalUi(const PromptPolicy& policy) : policy_(policy) {
  handler_ = VK605UiHandler{sizeof(VK605UiHandler), this,        &MessageBox, &OpenDialog,
                            &SetDialogText,         &PollDialog, &CloseDialog};
  stderr_is_terminal_ = ::isatty(STDERR_FILENO) == 1;
  g_abort_pressed.store(false);
  struct sigaction action {};
  action.sa_handler = &OnInterrupt;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, &g_previous_sigint);
}

TerminalUi::~TerminalUi() {
  ::sigaction(SIGINT, &g_previous_sigint, nullptr);
}

bool TerminalUi::Aborted() const {
  return g_abort_pressed.load();
}

int TerminalUi::MessageBox(void* context, const char* text, const char* caption, unsigned int type) {
  auto* self = static_cast<TerminalUi*>(context);
  std::string message = text != nullptr ? text : "";
  self->messages_.push_back(message);
  std::fprintf(stderr, "%s: %s\n", caption != nullptr ? caption : "VK605", message.c_str());
  int answer = self->Answer(message, type);
  std::fflush(stderr);
  return answer;
}

int TerminalUi::Answer(const std::string& text, unsigned int type) {
  unsigned buttons = type & kButtonMask;
  if (buttons == kOk) {
    if (policy_.interactive) {
      std::fprintf(stderr, "  [press Enter] ");
      std::fflush(stderr);
      std::string line;
      std::getline(std::cin, line);
    }
    return kIdOk;
  }
  if (policy_.interactive) {
    if (std::optional<int> answer = AskPerson(buttons)) return *answer;
  }
  int answer = 0;
  std::string why;
  if (buttons == kYesNo) {
    answer = policy_.yes.value_or(false) ? kIdYes : kIdNo;
    why = policy_.yes ? (*policy_.yes ? "--yes" : "--no") : "no one to ask";
  } else {
    answer = policy_.ok.value_or(false) ? kIdOk : kIdCancel;
    why = policy_.ok ? "--answer" : "no one to ask";
    repeated_auto_answers_ = text == last_auto_text_ ? repeated_auto_answers_ + 1 : 1;
    last_auto_text_ = text;
    if (answer == kIdOk && repeated_auto_answers_ > kMaxRepeatedAnswers) {
      answer = kIdCancel;
      why = "the same question " + std::to_string(kMaxRepeatedAnswers) + " times";
    }
  }
  std::fprintf(stderr, "  -> %s (%s)\n", AnswerName(answer), why.c_str());
  return answer;
}

std::optional<int> TerminalUi::AskPerson(unsigned int buttons) {
  bool yes_no = buttons == kYesNo;
  for (;;) {
    std::fprintf(stderr, yes_no ? "  Yes or No? [y/n] " : "  OK or Cancel? [o/c] ");
    std::fflush(stderr);
    std::string line;
    if (!std::getline(std::cin, line)) {
      std::fprintf(stderr, "\n");
      return yes_no ? kIdNo : kIdCancel;  // end of input: the safe answer
    }
    std::string word = Lower(Trim(line));
    if (yes_no && (word == "y" || word == "yes")) return kIdYes;
    if (yes_no && (word == "n" || word == "no")) return kIdNo;
    if (!yes_no && (word == "o" || word == "ok")) return kIdOk;
    if (!yes_no && (word == "c" || word == "cancel")) return kIdCancel;
  }
}

void* TerminalUi::OpenDialog(void* context, const char* caption, const char* text, const char* button) {
  auto* self = static_cast<TerminalUi*>(context);
  auto* dialog = new Dialog{caption != nullptr ? caption : "",
                            text != nullptr ? text : "",
                            button != nullptr ? button : "",
                            std::chrono::steady_clock::now(),
                            {}};
  if (!dialog->button.empty()) ++g_abortable_dialogs;
  std::fprintf(stderr, "%s: %s\n", dialog->caption.c_str(), dialog->text.c_str());
  if (!dialog->button.empty()) {
    std::fprintf(stderr, "  (Ctrl-C: %s)\n", dialog->button.c_str());
  }
  std::fflush(stderr);
  self->DrawProgress(*dialog, true);
  return dialog;
}

void TerminalUi::SetDialogText(void* context, void* dialog, const char* text) {
  auto* self = static_cast<TerminalUi*>(context);
  auto* d = static_cast<Dialog*>(dialog);
  if (d == nullptr || text == nullptr || d->text == text) return;
  d->text = text;
  if (self->stderr_is_terminal_) std::fprintf(stderr, "\r\033[K");
  std::fprintf(stderr, "%s: %s\n", d->caption.c_str(), d->text.c_str());
  self->DrawProgress(*d, true);
}

int TerminalUi::PollDialog(void* context, void* dialog) {
  auto* self = static_cast<TerminalUi*>(context);
  auto* d = static_cast<Dialog*>(dialog);
  if (d == nullptr) return 0;
  // The driver calls this in its wait loop: a short sleep keeps that loop from burning a core.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  self->DrawProgress(*d, false);
  return !d->button.empty() && g_abort_pressed.load() ? 1 : 0;
}

void TerminalUi::CloseDialog(void* context, void* dialog) {
  auto* self = static_cast<TerminalUi*>(context);
  auto* d = static_cast<Dialog*>(dialog);
  if (d == nullptr) return;
  if (!d->button.empty()) --g_abortable_dialogs;
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - d->opened).count();
  if (self->stderr_is_terminal_) std::fprintf(stderr, "\r\033[K");
  std::fprintf(stderr, "  %s after %s s\n", g_abort_pressed.load() && !d->button.empty() ? "aborted" : "done",
               FormatFixed(seconds, 1).c_str());
  std::fflush(stderr);
  delete d;
}

void TerminalUi::DrawProgress(Dialog& dialog, bool force) {
  if (!stderr_is_terminal_) return;  // a log file gets the texts, not a line per poll
  auto now = std::chrono::steady_clock::now();
  if (!force && now - dialog.drawn < std::chrono::milliseconds(200)) return;
  dialog.drawn = now;
  double seconds = std::chrono::duration<double>(now - dialog.opened).count();
  std::fprintf(stderr, "\r\033[K  waiting %s s", FormatFixed(seconds, 1).c_str());
  std::fflush(stderr);
}

}  // namespace vk605::tool
