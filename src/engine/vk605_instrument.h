#pragma once

#include "engine/connection.h"
#include "engine/instrument_interface.h"

namespace vk605 {

// The one instrument model of this driver: profiling happens on the host, and connecting runs the
// engine's connect routine.
class Vk605Instrument : public InstrumentInterface {
 public:
  explicit Vk605Instrument(EngineContext& context)
      : InstrumentInterface(context.switches, context.ui), connection_(context) {}

  int UsesEmbeddedProfiling() override { return 0; }
  int Connect(char* text) override { return connection_.Connect(text); }

 private:
  Connection connection_;
};

}  // namespace vk605
