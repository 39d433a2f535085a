#pragma once

#include <string>

#include "engine/instrument_interface.h"
#include "profiling/embedded_profiling.h"
#include "profiling/profiling_alerts.h"
#include "ui/user_interface.h"

namespace vk605 {

// The profiling layer's view of the per-call instrument object.
class InstrumentEmbeddedProfiling : public EmbeddedProfiling {
 public:
  explicit InstrumentEmbeddedProfiling(InstrumentInterface& instrument) : instrument_(instrument) {}
  int IsEmbeddedProfilingSupported() override { return instrument_.IsEmbeddedProfilingSupported(); }
  char GetEmbeddedProfilingState() override { return instrument_.GetEmbeddedProfilingState(); }

 private:
  InstrumentInterface& instrument_;
};

// A profiling component's failure as the driver's warning box.
class UiProfilingAlerts : public ProfilingAlerts {
 public:
  explicit UiProfilingAlerts(UserInterface& ui) : ui_(ui) {}
  void ShowComponentError(const std::string& text) override;

 private:
  UserInterface& ui_;
};

}  // namespace vk605
