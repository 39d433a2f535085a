#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/registry.h"
#include "platform/system_notices.h"

namespace vk605 {

// The optional trace file. Inert until a file name is configured; then every call opens the file, appends
// one time-stamped entry and closes it again, so the file always ends with exactly one 0x1A byte. Line
// ends are written as on a Windows text stream: every line feed reaches the disk as CR LF. A file that
// does not open drops the entry and is tried again with the next; a name that turns out to be no regular
// file (a FIFO, device or directory) switches logging off, and that alone is noted once in the system's log:
// whoever configured the trace would otherwise look for it in vain.
class DiagnosticsLog {
 public:
  DiagnosticsLog(Clock& clock, SystemNotices& notices);
  // A log whose notes go nowhere.
  explicit DiagnosticsLog(Clock& clock);

  // Reads "DiagnosticsFileName" under HKEY_LOCAL_MACHINE\Software\Orvanta<subkey> and starts the log
  // when it names a file.
  void StartFromRegistry(Registry& registry, std::string_view subkey);
  // Starts logging to file_name and writes the start banner.
  void StartLogFile(const std::string& file_name);
  bool IsOn() const;
  std::string FileName() const;

  // "date:  text" followed by an empty line.
  int LogLine(std::string_view text);
  // The first count values, each as "%3.4f, ".
  int LogSpectrum(const double* values, int count);

 private:
  bool AppendEntry(std::string_view bytes);

  Clock& clock_;
  SystemNotices& notices_;
  mutable std::mutex mutex_;  // entries from several threads never interleave
  std::string file_name_;
};

// "%m/%d/%Y %H:%M:%S" of a local time.
std::string FormatLogDate(const LocalTime& time);

}  // namespace vk605
