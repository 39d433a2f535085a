#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <initializer_list>
#include <mutex>
#include <string>
#include <vector>

#include "engine_rig.h"
#include "platform/file_text.h"
#include "platform/temp_directory.h"

namespace vk605::testing {

// Holds one thread at a point of its work until the test lets it go. The held thread calls Arrive(),
// which reports its arrival and blocks until Release(); the test learns of the arrival from Arrived() or
// WaitArrived(), so the handshake needs no sleeping.
class Gate {
 public:
  void Arrive() {
    std::unique_lock<std::mutex> lock(mutex_);
    arrived_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return released_; });
  }
  bool Arrived() {
    std::lock_guard<std::mutex> lock(mutex_);
    return arrived_;
  }
  // The bound only keeps a broken engine from hanging the test program.
  bool WaitArrived() {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(20), [this] { return arrived_; });
  }
  void Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool arrived_ = false;
  bool released_ = false;
};

// The percentages 400 to 700 nm of the scripted spectrum: first, first + 1.25, ... (all below 100).
inline double ScriptedPercent(int index) {
  return 9.08 + 1.25 * index;
}

// A spectral reply as the instrument sends it: 31 six-character fields with two decimals, over three
// lines, behind a label the parser skips.
inline std::string SpectralReply() {
  std::string reply = "SPC";
  for (int i = 0; i < 31; ++i) {
    char field[16];
    std::snprintf(field, sizeof field, " %6.2f", ScriptedPercent(i));
    reply += field;
    if (i == 9 || i == 19) reply += "\r\n";
  }
  return reply + "\r\n";
}

// The spectral reply cut after its second line (20 values): the third line never comes.
inline std::string CutSpectralReply() {
  std::string reply = SpectralReply();
  return reply.substr(0, reply.find("\r\n", reply.find("\r\n") + 2) + 2);
}

// The reflectance factor the driver stores for a scripted value: the parser reads single precision.
inline double ScriptedFactor(int index) {
  char field[16];
  std::snprintf(field, sizeof field, "%6.2f", ScriptedPercent(index));
  float value = 0.0f;
  std::sscanf(field, "%f", &value);
  return static_cast<double>(value) * 0.01;
}

// The diagnostics log of a rig, written to a file of its own and read back as the texts of its entries.
class LogCapture {
 public:
  explicit LogCapture(DiagnosticsLog& log) : file_(directory_.File("trace.log")) { log.StartLogFile(file_); }

  // Each entry is "mm/dd/yyyy hh:mm:ss:  text" and an empty line; the start banner is skipped.
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    std::string bytes = ReadBytes(file_);
    std::size_t position = 0;
    for (;;) {
      std::size_t end = bytes.find("\r\n\r\n", position);
      if (end == std::string::npos) break;
      std::string entry = bytes.substr(position, end - position);
      // The start banner ends in a single line end, so the first entry follows it in the same chunk.
      std::size_t line_start = entry.rfind("\r\n");
      if (line_start != std::string::npos) entry.erase(0, line_start + 2);
      if (entry.size() >= 22 && entry.compare(19, 3, ":  ") == 0) lines.push_back(entry.substr(22));
      position = end + 4;
    }
    return lines;
  }

 private:
  TempDirectory directory_;
  std::string file_;
};

// The instrument behind an engine rig, scripted for the measurement, calibration and trigger sequences:
// the rig's connected instrument plus its calibration state, its answers to "RM" and the spectral read,
// and a gate that holds the engine inside a read of a chosen command's reply.
class InstrumentScript {
 public:
  explicit InstrumentScript(EngineRig& rig) : rig_(rig) {
    Spectrum(SpectralReply());
    AcceptsMeasurement();
  }
  // A held worker is let go and joined before the rig goes away.
  ~InstrumentScript() {
    gate.Release();
    rig_.engine.JoinWorkers();
  }
  InstrumentScript(const InstrumentScript&) = delete;
  InstrumentScript& operator=(const InstrumentScript&) = delete;

  // Connects (code 0) and remembers where the commands and windows of the test begin.
  void Connect() {
    char text[kTextBufferSize] = {};
    rig_.Run(0, text);
    mark_ = rig_.devices.written().size();
    rig_.ui.events.clear();  // the connect's progress window
  }
  void Calibrated(bool calibrated) {
    rig_.devices.Reply("01XD\r", calibrated ? "00\r\n<00>\r\n" : "01\r\n<00>\r\n");
  }
  void AcceptsMeasurement(std::uint32_t delay_ms = 0) { rig_.devices.Reply("RM\r", "<00>\r\n", delay_ms); }
  void RefusesMeasurement() { rig_.devices.Reply("RM\r", "<01>\r\n"); }
  // An empty reply: the command gets no answer at all.
  void Spectrum(const std::string& reply, std::uint32_t delay_ms = 0) {
    rig_.devices.Reply("104GF\r", reply, delay_ms);
    rig_.devices.Reply("004GF\r", reply, delay_ms);
  }
  // The first read that waits for input after command was written stops at the gate.
  void HoldReadAfter(const std::string& command) {
    rig_.devices.OnWaitForInput([this, command](const std::string& last_written) {
      if (last_written != command || held_.exchange(true)) return;
      gate.Arrive();
    });
  }

  // Commands written since Connect, in order.
  std::vector<std::string> Commands() const {
    std::vector<std::string> all = rig_.devices.written();
    return std::vector<std::string>(all.begin() + static_cast<long>(mark_), all.end());
  }
  // The fake time at which each of those commands was written.
  std::vector<std::uint64_t> CommandTimes() const {
    std::vector<std::uint64_t> all = rig_.devices.written_at();
    return std::vector<std::uint64_t>(all.begin() + static_cast<long>(mark_), all.end());
  }

  Gate gate;

 private:
  EngineRig& rig_;
  std::size_t mark_ = 0;
  std::atomic<bool> held_{false};
};

// What a test puts into a spectral buffer before a call, to tell the elements the call wrote.
inline constexpr double kUntouched = -7.0;

using Commands = std::vector<std::string>;

// The status refresh that follows a measurement: the state query and the aperture query.
inline const Commands kStatus = {"01XD\r", "AT\r,"};

// The commands of several steps, in order.
inline Commands Join(std::initializer_list<Commands> parts) {
  Commands all;
  for (const Commands& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

}  // namespace vk605::testing
