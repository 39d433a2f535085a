#pragma once

#include <string>

#include "engine/engine_context.h"
#include "engine/protocol_commands.h"

namespace vk605 {

// The instrument side of the engine: configure and test the port, reset and identify the instrument,
// read its version and serial number and build status texts.
class Connection {
 public:
  explicit Connection(EngineContext& context) : ctx_(context) {}

  // The connect routine: port, reset, status; offers emulation when the instrument does not answer.
  int Connect(char* text);
  int ConfigurePort();
  // Reset sequence and identification; text (may be null) receives the identification text.
  int ResetInstrument(char* text);
  int WakeInstrument();
  int QueryVersion(char* text);
  int QuerySerialNumber(std::string& out);
  // Builds the six status characters into status; returns the aperture query's result.
  int QueryStatus(char* status);
  // QueryStatus into one of the engine's status texts.
  int RefreshStatus(StateText& text);
  void BusyWait(std::uint32_t ms);
  // One exchange: the command's reply-line count, then Transact with its time-out. reply holds
  // kReplyBufferSize bytes.
  int Exchange(const ProtocolCommand& command, char* reply);

 private:
  EngineContext& ctx_;
};

}  // namespace vk605
