#include "terminal_ui.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <thread>

#include "text_format.h"

namespace vk605::tool {

namespace {

// Win32 message-box values the driver uses.
constexpr unsigned kButtonMask = 0x0F;
constexpr unsigned kOk = 0, kOkCancel = 1, kYesNo = 4;
constexpr int kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7;

// Dialogs with a button that are open now, whether Ctrl-C pressed it, prompts waiting for an answer and
// whether Ctrl-C cancelled one. Read by the signal handler, which wakes a waiting prompt through a pipe.
std::atomic<int> g_abortable_dialogs{0};
std::atomic<bool> g_abort_pressed{false};
std::atomic<int> g_open_prompts{0};
std::atomic<bool> g_interrupted{false};
int g_interrupt_pipe[2] = {-1, -1};
struct sigaction g_previous_sigint {};

void OnInterrupt(int signal_number) {
  if (g_abortable_dialogs.load() > 0) {
    g_abort_pressed.store(true);
    return;
  }
  if (g_open_prompts.load() > 0 && !g_interrupted.load()) {
    g_interrupted.store(true);
    if (g_interrupt_pipe[1] >= 0) {
      char byte = 1;
      ssize_t written = ::write(g_interrupt_pipe[1], &byte, 1);
      (void)written;
    }
    return;
  }
  // Elsewhere (and a second time) Ctrl-C ends the program as usual.
  ::sigaction(SIGINT, &g_previous_sigint, nullptr);
  ::raise(signal_number);
}

// A prompt counts as open from before its question is printed: a Ctrl-C pressed as soon as the question
// shows must cancel it, not end the program.
struct OpenPrompt {
  OpenPrompt() { ++g_open_prompts; }
  ~OpenPrompt() { --g_open_prompts; }
  OpenPrompt(const OpenPrompt&) = delete;
  OpenPrompt& operator=(const OpenPrompt&) = delete;
};

constexpr auto kProgressInterval = std::chrono::milliseconds(200);

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
  g_interrupted.store(false);
  if (g_interrupt_pipe[0] < 0 && ::pipe(g_interrupt_pipe) == 0) {
    for (int fd : g_interrupt_pipe) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    ::fcntl(g_interrupt_pipe[1], F_SETFL, O_NONBLOCK);
  }
  struct sigaction action {};
  action.sa_handler = &OnInterrupt;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, &g_previous_sigint);
  if (stderr_is_terminal_) ticker_ = std::thread([this] { Tick(); });
}

TerminalUi::~TerminalUi() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (ticker_.joinable()) ticker_.join();
  ::sigaction(SIGINT, &g_previous_sigint, nullptr);
}

bool TerminalUi::Aborted() const {
  return g_abort_pressed.load();
}

bool TerminalUi::Interrupted() {
  return g_interrupted.load();
}

// The driver blocks in its connect and reset steps without polling the dialog: the elapsed time is
// redrawn from here meanwhile.
void TerminalUi::Tick() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    wake_.wait_for(lock, kProgressInterval);
    if (!stopping_ && !open_dialogs_.empty()) DrawProgress(*open_dialogs_.back(), true);
  }
}

int TerminalUi::MessageBox(void* context, const char* text, const char* caption, unsigned int type) {
  auto* self = static_cast<TerminalUi*>(context);
  std::string message = text != nullptr ? text : "";
  self->messages_.push_back(message);
  {
    std::lock_guard<std::mutex> lock(self->mutex_);
    if (self->stderr_is_terminal_ && !self->open_dialogs_.empty()) std::fprintf(stderr, "\r\033[K");
    std::fprintf(stderr, "%s: %s\n", caption != nullptr ? caption : "VK605", message.c_str());
    std::fflush(stderr);
  }
  int answer = self->Answer(message, type);
  std::fflush(stderr);
  return answer;
}

int TerminalUi::Answer(const std::string& text, unsigned int type) {
  unsigned buttons = type & kButtonMask;
  if (buttons == kOk) {
    if (policy_.interactive && !Interrupted()) {
      OpenPrompt prompt;
      std::fprintf(stderr, "  [press Enter] ");
      std::fflush(stderr);
      (void)ReadAnswerLine();
      if (Interrupted()) std::fprintf(stderr, "\n  -> OK (cancelled with Ctrl-C)\n");
    }
    return kIdOk;
  }
  if (policy_.interactive && !Interrupted()) {
    if (std::optional<int> answer = AskPerson(buttons)) return *answer;
  }
  int answer = 0;
  std::string why;
  if (Interrupted()) {
    // After Ctrl-C nobody waits for the driver's questions: each gets the answer that changes nothing.
    answer = buttons == kYesNo ? kIdNo : kIdCancel;
    why = "cancelled with Ctrl-C";
  } else if (buttons == kYesNo) {
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
  OpenPrompt prompt;
  for (;;) {
    std::fprintf(stderr, yes_no ? "  Yes or No? [y/n] " : "  OK or Cancel? [o/c] ");
    std::fflush(stderr);
    std::optional<std::string> line = ReadAnswerLine();
    if (!line) {
      std::fprintf(stderr, "\n");
      // Ctrl-C or the end of input: the safe answer (Answer names Ctrl-C when it was one).
      if (Interrupted()) return std::nullopt;
      return yes_no ? kIdNo : kIdCancel;
    }
    std::string word = Lower(Trim(*line));
    if (yes_no && (word == "y" || word == "yes")) return kIdYes;
    if (yes_no && (word == "n" || word == "no")) return kIdNo;
    if (!yes_no && (word == "o" || word == "ok")) return kIdOk;
    if (!yes_no && (word == "c" || word == "cancel")) return kIdCancel;
  }
}

std::optional<std::string> TerminalUi::ReadAnswerLine() {
  std::optional<std::string> line = std::string();
  for (;;) {
    if (g_interrupted.load()) {
      line.reset();
      break;
    }
    pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {g_interrupt_pipe[0], POLLIN, 0}};
    int ready = ::poll(fds, g_interrupt_pipe[0] >= 0 ? 2 : 1, -1);
    if (ready < 0) continue;  // EINTR: the flag above decides
    if (fds[1].revents != 0 && g_interrupt_pipe[0] >= 0) {
      char drained[16];
      ssize_t n = ::read(g_interrupt_pipe[0], drained, sizeof drained);
      (void)n;
      continue;
    }
    char c = 0;
    ssize_t n = ::read(STDIN_FILENO, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (line->empty()) line.reset();  // end of input
      break;
    }
    if (c == '\n') break;
    *line += c;
  }
  return line;
}

void* TerminalUi::OpenDialog(void* context, const char* caption, const char* text, const char* button) {
  auto* self = static_cast<TerminalUi*>(context);
  auto* dialog = new Dialog{caption != nullptr ? caption : "",
                            text != nullptr ? text : "",
                            button != nullptr ? button : "",
                            std::chrono::steady_clock::now(),
                            {}};
  if (!dialog->button.empty()) ++g_abortable_dialogs;
  std::lock_guard<std::mutex> lock(self->mutex_);
  if (self->stderr_is_terminal_ && !self->open_dialogs_.empty()) std::fprintf(stderr, "\r\033[K");
  std::fprintf(stderr, "%s: %s\n", dialog->caption.c_str(), dialog->text.c_str());
  if (!dialog->button.empty()) {
    std::fprintf(stderr, "  (Ctrl-C: %s)\n", dialog->button.c_str());
  }
  std::fflush(stderr);
  self->open_dialogs_.push_back(dialog);
  self->DrawProgress(*dialog, true);
  return dialog;
}

void TerminalUi::SetDialogText(void* context, void* dialog, const char* text) {
  auto* self = static_cast<TerminalUi*>(context);
  auto* d = static_cast<Dialog*>(dialog);
  if (d == nullptr || text == nullptr) return;
  std::lock_guard<std::mutex> lock(self->mutex_);
  if (d->text == text) return;
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
  std::lock_guard<std::mutex> lock(self->mutex_);
  self->DrawProgress(*d, false);
  return !d->button.empty() && g_abort_pressed.load() ? 1 : 0;
}

void TerminalUi::CloseDialog(void* context, void* dialog) {
  auto* self = static_cast<TerminalUi*>(context);
  auto* d = static_cast<Dialog*>(dialog);
  if (d == nullptr) return;
  if (!d->button.empty()) --g_abortable_dialogs;
  std::lock_guard<std::mutex> lock(self->mutex_);
  auto& open = self->open_dialogs_;
  open.erase(std::remove(open.begin(), open.end(), d), open.end());
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
  if (!force && now - dialog.drawn < kProgressInterval) return;
  dialog.drawn = now;
  double seconds = std::chrono::duration<double>(now - dialog.opened).count();
  std::fprintf(stderr, "\r\033[K  waiting %s s", FormatFixed(seconds, 1).c_str());
  std::fflush(stderr);
}

}  // namespace vk605::tool
