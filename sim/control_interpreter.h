#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "instrument_model.h"
#include "sim_settings.h"

namespace vk605::sim {

// The control language of a running simulator, one request per line, one response per request:
//   ping                 -> "OK"
//   state                -> "OK calibrated=C prompts=N armed=A commands=N"
//   commands             -> "OK N", then the N recorded commands, one escaped command per line
//   clear                -> "OK" (empties the command record)
//   reset                -> "OK" (the start-up settings again; record, prompt count, output, trigger cleared)
//   unplug / replug      -> "OK" or "ERROR text": the line taken away and given back (needs a plug handler)
//   NAME [VALUE]         -> "OK" or "ERROR text": a setting option, as on the command line without "--"
// Every response line ends in "\n".
class ControlInterpreter {
 public:
  ControlInterpreter(InstrumentModel& model, SimSettings startup)
      : model_(model), startup_(std::move(startup)) {}

  // Takes the line away (false) or gives it back (true); an error text when that fails.
  using PlugHandler = std::function<std::optional<std::string>(bool plugged)>;
  void SetPlugHandler(PlugHandler handler) { plug_ = std::move(handler); }

  // The response to one request line (without its line end).
  std::string Handle(std::string_view line);

 private:
  std::string State() const;
  std::string CommandList() const;

  InstrumentModel& model_;
  SimSettings startup_;
  PlugHandler plug_;
};

}  // namespace vk605::sim
