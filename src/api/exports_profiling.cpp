// Spectral profiling switches, the profile signature and the embedded-profile family.
#include "api/runtime.h"
#include "engine/vk605_instrument.h"
#include "settings/shared_flag.h"
#include "vk605/vk605.h"

using namespace vk605;

namespace {

template <typename F>
int WithInstrument(int fallback, F&& operation) {
  return Guarded(fallback, [&] {
    Vk605Instrument instrument(Services().engine.Context());
    return static_cast<int>(operation(instrument));
  });
}

}  // namespace

extern "C" {

int VK605_CALL EnableCalvera(void) {
  return Guarded(0, [] { return Profiling().EnableCalvera(); });
}
int VK605_CALL DisableCalvera(void) {
  return Guarded(0, [] { return Profiling().DisableCalvera(); });
}
int VK605_CALL IsCalveraEnabled(void) {
  return Services().state.settings.CalveraEnabled;
}
int VK605_CALL IsCalveraActive(void) {
  return Guarded(0, [] { return Profiling().IsCalveraActive(); });
}
int VK605_CALL GetCalveraID(void) {
  return WithInstrument(-1, [](InstrumentInterface& i) { return i.GetProfilingId(); });
}
int VK605_CALL IsProfiled(void) {
  return LoadFlag(Services().state.host.Profiled);
}
int VK605_CALL GetDigitalSignature(char* text) {
  return Guarded(401, [&] { return Profiling().GetDigitalSignature(text); });
}
int VK605_CALL IsConfiguredToProfile(int* out, int) {
  return Guarded(1, [&] { return Profiling().IsConfiguredToProfile(out); });
}
int VK605_CALL IsEmbeddedCalveraSupported(void) {
  return WithInstrument(0, [](InstrumentInterface& i) { return i.IsEmbeddedProfilingSupported(); });
}
int VK605_CALL IsEmbeddedCalveraEnabled(void) {
  return WithInstrument(0, [](InstrumentInterface& i) { return i.IsEmbeddedProfilingEnabled(); });
}
int VK605_CALL IsEmbeddedCalveraActive(void) {
  return WithInstrument(0, [](InstrumentInterface& i) { return i.IsEmbeddedProfilingActive(); });
}
int VK605_CALL IsEmbeddedProfileExpired(void) {
  return WithInstrument(1, [](InstrumentInterface& i) { return i.IsEmbeddedProfileExpired(); });
}
int VK605_CALL SendEmbeddedProfile(int first, int second) {
  return WithInstrument(0, [&](InstrumentInterface& i) { return i.SendEmbeddedProfileData(first, second); });
}
int VK605_CALL GetEmbeddedProfile(int days) {
  return WithInstrument(0, [&](InstrumentInterface& i) { return i.SetEmbeddedProfileDays(days); });
}
int VK605_CALL SetEmbeddedProfileDaysToExpiration(int days) {
  return WithInstrument(0, [&](InstrumentInterface& i) { return i.SetEmbeddedProfileDays(days); });
}
int VK605_CALL DisableEmbeddedCalvera(void) {
  return WithInstrument(0, [](InstrumentInterface& i) { return i.DisableEmbeddedProfiling(); });
}
int VK605_CALL EnableEmbeddedCalvera(void) {
  return WithInstrument(0, [](InstrumentInterface& i) { return i.DisableEmbeddedProfiling(); });
}
int VK605_CALL ResetEmbeddedCalveraExpiration(void) {
  return WithInstrument(0, [](InstrumentInterface& i) { return i.DisableEmbeddedProfiling(); });
}

}  // extern "C"
