#pragma once

#include <cstdint>
#include <string>

#include "control_server.h"
#include "file_descriptor.h"
#include "instrument_model.h"
#include "pseudo_terminal.h"
#include "record_file.h"

namespace vk605::sim {

// Runs the instrument model on a pseudo-terminal: reads what the driver writes, hands it to the model,
// writes the model's output when it is due and keeps the optional record file and control channel going.
// One thread runs Serve; RequestStop may be called from any thread or from a signal handler.
class PtyServer {
 public:
  // Output taken from the model but not yet accepted by the pty; beyond this it is dropped.
  static constexpr std::size_t kMaxUnwrittenBytes = 1 << 20;

  struct Parts {
    InstrumentModel& model;
    PseudoTerminal& terminal;
    ControlServer* control = nullptr;  // optional
    RecordFile* record = nullptr;      // optional
    bool verbose = false;              // trace the traffic, escaped, on stderr
  };

  explicit PtyServer(Parts parts);
  PtyServer(const PtyServer&) = delete;
  PtyServer& operator=(const PtyServer&) = delete;

  // False with an error text when the stop pipe cannot be made; check before Serve.
  bool IsReady(std::string& error) const;
  // Serves until RequestStop; false with an error text when the pty or the record file fails.
  bool Serve(std::string& error);
  void RequestStop();

 private:
  int PollTimeoutMs(std::uint64_t now_ms) const;
  bool ReadFromDriver(std::string& error);
  bool WriteToDriver(std::string& error);
  bool UpdateRecord(std::string& error);
  void Trace(const char* direction, const std::string& bytes) const;

  Parts parts_;
  UniqueFd stop_read_;
  UniqueFd stop_write_;
  std::string unwritten_;
  std::uint64_t written_generation_ = UINT64_MAX;
};

}  // namespace vk605::sim
