// Messages, host callbacks, optional controls, light-level test, whiteness parameters, control panel and
// the user-interface handler.
#include "api/host_ui_handler.h"
#include "api/panel_commands.h"
#include "api/runtime.h"
#include "engine/result_code.h"
#include "engine/vk605_instrument.h"
#include "lighttest/whiteness_parameters.h"
#include "ui/driver_strings.h"
#include "vk605/vk605.h"

using namespace vk605;

namespace {

// Runs one operation on a per-call instrument object.
template <typename F>
int WithInstrument(F&& operation) {
  return Guarded(0, [&] {
    Vk605Instrument instrument(Services().engine.Context());
    return static_cast<int>(operation(instrument));
  });
}

constexpr std::size_t kHostTextCapacity = 8192;

}  // namespace

extern "C" {

int VK605_CALL GetErrorMessage(int code, char* text) {
  return Guarded(-1, [&] {
    Vk605Instrument instrument(Services().engine.Context());
    return instrument.GetErrorMessage(code, text);
  });
}

int VK605_CALL SetUnsolicitedCallback(void* callback) {
  if (Services().state.settings.TriggerMode <= 0) return result::kFeatureNotSupported;
  return WithInstrument([&](InstrumentInterface& i) { return i.SetUnsolicitedCallback(callback); });
}
int VK605_CALL StartUnsolicitedCallback(void) {
  return WithInstrument([](InstrumentInterface& i) { return i.StartUnsolicitedCallback(); });
}
int VK605_CALL SuspendUnsolicitedCallback(void) {
  return WithInstrument([](InstrumentInterface& i) { return i.SuspendUnsolicitedCallback(); });
}
int VK605_CALL ResumeUnsolicitedCallback(void) {
  return WithInstrument([](InstrumentInterface& i) { return i.ResumeUnsolicitedCallback(); });
}
int VK605_CALL TerminateUnsolicitedCallback(void) {
  return WithInstrument([](InstrumentInterface& i) { return i.TerminateUnsolicitedCallback(); });
}
int VK605_CALL SetUnsolicitedCallbackMode(int mode) {
  return WithInstrument([&](InstrumentInterface& i) { return i.SetUnsolicitedCallbackMode(mode); });
}
int VK605_CALL GetUnsolicitedCallbackMode(void) {
  return WithInstrument([](InstrumentInterface& i) { return i.GetUnsolicitedCallbackMode(); });
}
int VK605_CALL EnableAutoBaud(void) {
  return WithInstrument([](InstrumentInterface& i) { return i.EnableAutoBaud(); });
}
int VK605_CALL DisbleAutoBaud(void) {
  return WithInstrument([](InstrumentInterface& i) { return i.DisableAutoBaud(); });
}
int VK605_CALL IsAutoBaudEnabled(void) {
  return WithInstrument([](InstrumentInterface& i) { return i.GetAutoBaud(); });
}
int VK605_CALL EnableDriverUI(void) {
  return WithInstrument([](InstrumentInterface& i) {
    i.EnableDriverUI();
    return 0;
  });
}
int VK605_CALL DisableDriverUI(void) {
  return WithInstrument([](InstrumentInterface& i) {
    i.DisableDriverUI();
    return 0;
  });
}
int VK605_CALL IsDriverUIEnabled(void) {
  return WithInstrument([](InstrumentInterface& i) { return i.GetDriverUI(); });
}
int VK605_CALL SetWhiteReference(void) {
  return WithInstrument([](InstrumentInterface& i) { return i.SetWhiteReference(); });
}
long VK605_CALL DisableGloss(void) {
  return WithInstrument([](InstrumentInterface& i) { return i.DisableGloss(); });
}
long VK605_CALL EnableGloss(void) {
  return WithInstrument([](InstrumentInterface& i) { return i.EnableGloss(); });
}
int VK605_CALL TranslationDialog(void) {
  return 1;
}

int VK605_CALL PerformLightLevelTest(const void* data, const char* text, int value) {
  return Services().light_level.PerformTest(data, text, value);
}
int VK605_CALL GetLightLevelTestResults(char* out) {
  if (out == nullptr) return 0;
  return Guarded(0, [&] { return Services().light_level.Results(out, kHostTextCapacity); });
}
int VK605_CALL GetLightLevelTestErrors(char* out) {
  if (out == nullptr) return 0;
  return Guarded(0, [&] { return Services().light_level.Errors(out, kHostTextCapacity); });
}

int VK605_CALL GetGanzGriesserParameters(double* phi, double* d, double* bandwidth, double* p, double* q,
                                         double* c, double* m, double* n, double* k) {
  return Guarded(-1, [&] {
    DriverServices& s = Services();
    WhitenessParameters values;
    int result = LoadWhitenessParameters(s.state.settings.Geometry, s.settings_file, s.profile, values);
    const double in[9] = {values.phi, values.d, values.bandwidth, values.p, values.q,
                          values.c,   values.m, values.n,         values.k};
    double* out[9] = {phi, d, bandwidth, p, q, c, m, n, k};
    for (int i = 0; i < 9; ++i) {
      if (out[i] != nullptr) *out[i] = in[i];
    }
    return result;
  });
}

int VK605_CALL ControlPanel(void) {
  return Guarded(-1, [] { return RunControlPanel(Services(), Panel()); });
}

int VK605_CALL SetUserInterfaceHandler(const VK605UiHandler* handler) {
  return Guarded(1, [&] { return InstallHostUiHandler(Ui(), handler); });
}

}  // extern "C"
