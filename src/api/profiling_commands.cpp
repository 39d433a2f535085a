#include "api/profiling_commands.h"

#include <cstring>

#include "api/profiling_adapters.h"
#include "engine/vk605_instrument.h"
#include "profiling/profiling_client.h"

namespace vk605 {

int ProfilingCommands::EnableCalvera() {
  Vk605Instrument instrument(s_.engine.Context());
  if (instrument.IsEmbeddedProfilingSupported() == 1) {
    int result = instrument.DisableEmbeddedProfiling();
    if (result != 0) return result;
  }
  s_.state.settings.CalveraEnabled = 1;
  return 0;
}

int ProfilingCommands::DisableCalvera() {
  Vk605Instrument instrument(s_.engine.Context());
  int result = instrument.IsEmbeddedProfilingSupported() == 1 ? instrument.DisableEmbeddedProfiling() : 0;
  s_.state.settings.CalveraEnabled = 0;
  return result;
}

int ProfilingCommands::IsCalveraActive() {
  Vk605Instrument instrument(s_.engine.Context());
  return instrument.IsEmbeddedProfilingSupported() == 1 ? instrument.IsEmbeddedProfilingActive()
                                                        : instrument.IsHostProfilingActive();
}

int ProfilingCommands::GetDigitalSignature(char* text) {
  s_.log.LogLine("EXPORT: GetDigitalSignature");
  Vk605Instrument instrument(s_.engine.Context());
  char work[4096] = {};
  int result = 0;
  if (instrument.IsEmbeddedProfilingSupported() == 1) {
    instrument.GetEmbeddedSignature(work);
  } else {
    UiProfilingAlerts alerts(s_.ui);
    ProfilingClient client(s_.components, s_.registry, alerts);
    result = client.Open(s_.state.settings.SerialNumber);
    client.Signature(work);
  }
  if (text != nullptr) std::strcpy(text, work);
  return result;
}

int ProfilingCommands::IsConfiguredToProfile(int* out) {
  if (out != nullptr) *out = 0;
  s_.state.host.ConfiguredToProfile = 1;
  s_.validity.SetTimeRule(0);
  s_.validity.SetCountRule(0);
  return 1;
}

}  // namespace vk605
