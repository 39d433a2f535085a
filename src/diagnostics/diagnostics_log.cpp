#include "diagnostics/diagnostics_log.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>

#include "platform/log_file.h"

namespace vk605 {

namespace {

constexpr char kEndOfFile = 0x1A;
// With its terminator the configured file name must fit 128 bytes.
constexpr std::size_t kFileNameCapacity = 128;

std::string RuleLine() {
  std::string rule;
  for (int i = 0; i < 40; ++i) rule += "*~";
  return rule;
}

// The log is written like a Windows text stream: each line feed reaches the disk as CR LF, and a CR
// already in the text stays in front of it.
std::string ToDiskLineEnds(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size() + text.size() / 8 + 4);
  for (char c : text) {
    if (c == '\n') bytes += '\r';
    bytes += c;
  }
  return bytes;
}

// "%3.4f, " without the locale's decimal separator.
void AppendSpectrumValue(std::string& text, double value) {
  char number[400];
  std::to_chars_result result =
      std::to_chars(number, number + sizeof number, value, std::chars_format::fixed, 4);
  std::string_view digits;
  if (result.ec == std::errc())
    digits = std::string_view(number, static_cast<std::size_t>(result.ptr - number));
  if (digits.size() < 3) text.append(3 - digits.size(), ' ');
  text += digits;
  text += ", ";
}

// An unknown local time leaves the date out rather than dropping the entry.
std::string CurrentDate(Clock& clock) {
  std::optional<LocalTime> now = clock.LocalNow();
  return now ? FormatLogDate(*now) : std::string();
}

class DiscardedNotices : public SystemNotices {
 public:
  void Note(std::string_view) override {}
};

SystemNotices& NoNotices() {
  static DiscardedNotices notices;
  return notices;
}

}  // namespace

DiagnosticsLog::DiagnosticsLog(Clock& clock, SystemNotices& notices) : clock_(clock), notices_(notices) {}

DiagnosticsLog::DiagnosticsLog(Clock& clock) : DiagnosticsLog(clock, NoNotices()) {}

void DiagnosticsLog::StartFromRegistry(Registry& registry, std::string_view subkey) {
  std::string key_path = "Software\\Orvanta\\";
  key_path += subkey;
  std::optional<std::string> name = registry.ReadString(key_path, "DiagnosticsFileName", kFileNameCapacity);
  if (name && !name->empty()) StartLogFile(*name);
}

void DiagnosticsLog::StartLogFile(const std::string& file_name) {
  if (file_name.empty()) return;
  std::string rule = RuleLine();
  std::string banner =
      "\r\n\r\n" + rule + "\r\n" + file_name + "\r\n" + CurrentDate(clock_) + "\r\n" + rule + "\r\n";
  std::lock_guard<std::mutex> lock(mutex_);
  file_name_ = file_name;
  AppendEntry(ToDiskLineEnds(banner));
}

bool DiagnosticsLog::IsOn() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return !file_name_.empty();
}

std::string DiagnosticsLog::FileName() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return file_name_;
}

int DiagnosticsLog::LogLine(std::string_view text) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (file_name_.empty()) return 0;
  std::string entry = CurrentDate(clock_);
  entry += ":  ";
  entry += text;
  entry += "\n\n";
  AppendEntry(ToDiskLineEnds(entry));
  return 0;
}

int DiagnosticsLog::LogSpectrum(const double* values, int count) {
  if (!IsOn()) return 0;
  std::string text;
  for (int i = 0; values != nullptr && i < count; ++i) AppendSpectrumValue(text, values[i]);
  return LogLine(text);
}

// Called with mutex_ held, so one entry is one open-append-close that no other thread's entry enters.
bool DiagnosticsLog::AppendEntry(std::string_view bytes) {
  std::unique_ptr<LogFile> file;
  LogFileOpen opened = OpenLogFileForAppend(file_name_, file);
  // A FIFO, device or directory never takes a trace; rather than being opened again for every entry it
  // switches tracing off for the rest of the load, as an unusable name in the registry does.
  if (opened == LogFileOpen::kNoRegularFile) {
    notices_.Note("VK605 driver: the diagnostics log \"" + file_name_ +
                  "\" is no regular file (a FIFO, device or directory); tracing is off");
    file_name_.clear();
  }
  if (opened != LogFileOpen::kOpened) return false;
  std::uint64_t end = 0;
  if (file->Size(end)) return false;
  char last = 0;
  // The previous write's end-of-file marker is overwritten, so the file keeps exactly one.
  if (end > 0 && !file->ReadByteAt(end - 1, last) && last == kEndOfFile) --end;
  std::string entry(bytes);
  entry += kEndOfFile;
  return !file->WriteAt(end, entry);
}

std::string FormatLogDate(const LocalTime& time) {
  char text[64];
  std::snprintf(text, sizeof text, "%02d/%02d/%04d %02d:%02d:%02d", time.month, time.day, time.year,
                time.hour, time.minute, time.second);
  return text;
}

}  // namespace vk605
