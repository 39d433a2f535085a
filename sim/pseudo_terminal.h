#pragma once

#include <string>

#include "file_descriptor.h"

namespace vk605::sim {

// The simulator's end of a pseudo-terminal. The driver opens the slave device like a serial port. The
// simulator keeps a slave descriptor of its own, set to raw mode, so the line neither hangs up nor loses its
// settings when the driver closes and re-opens the port.
class PseudoTerminal {
 public:
  PseudoTerminal() = default;
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;
  ~PseudoTerminal();

  // Creates the pair; false with an error text on failure. The master is non-blocking.
  bool Open(std::string& error);
  // Adds a symbolic link at path to the slave device (an existing link there is replaced); it is removed
  // again when this object goes.
  bool Link(const std::string& path, std::string& error);

  int MasterFd() const { return master_.Get(); }
  // Readable when another process opened or closed the slave device; pass to HandleWatchEvents.
  int WatchFd() const { return watch_.Get(); }
  const std::string& SlavePath() const { return slave_path_; }

  // Reads the open/close notifications. When the driver closes the port, an exclusive-use flag it set
  // (TIOCEXCL) would outlive the close because our own slave descriptor keeps the line open; it is cleared
  // then, so the driver can open the port again.
  void HandleWatchEvents();

  // The instrument unplugged: the pair is closed, so the driver's descriptor hangs up, and the link (if
  // any) is removed. MasterFd and WatchFd are -1 until Replug.
  void Unplug();
  // Plugged in again: a new pair, the link (if any) pointing at the new slave device.
  bool Replug(std::string& error);
  bool IsPlugged() const { return master_.IsValid(); }

 private:
  bool OpenSlave(std::string& error);
  bool Watch(std::string& error);

  UniqueFd master_;
  UniqueFd slave_;
  UniqueFd watch_;
  std::string slave_path_;
  std::string link_path_;
};

}  // namespace vk605::sim
