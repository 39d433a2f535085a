#include "profiling/profile_spectrum.h"

#include "profiling/profiling_client.h"

namespace vk605 {
namespace {

constexpr int kSpectrumValues = 40;

void LogSpectrumWithBlank(DiagnosticsLog& log, const double* spectrum) {
  log.LogSpectrum(spectrum, kSpectrumValues);
  log.LogLine("");
}

}  // namespace

int ProfileSpectrum(double* spectrum, int specular_flag, int mode, const ProfilingInputs& inputs,
                    EmbeddedProfiling& instrument, const ProfilingServices& services, int& profiled) {
  DiagnosticsLog& log = services.log;
  profiled = 0;
  if (inputs.calvera_enabled != 1 || inputs.communications == 0) {
    log.LogLine("Spectral Data (profiling disabled)");
    log.LogSpectrum(spectrum, kSpectrumValues);
    return 0;
  }
  int result = 0;
  switch (instrument.IsEmbeddedProfilingSupported()) {
    case 0: {
      ProfilingClient client(services.components, services.registry, services.alerts);
      result = client.Open(inputs.serial_number);
      if (result != 0) {
        log.LogLine("UNABLE TO INITIALIZE CALVERA: Spectral Data without profiling");
      } else {
        log.LogLine("Spectral Data BEFORE profiling");
        LogSpectrumWithBlank(log, spectrum);
        if (client.Apply(spectrum, specular_flag, mode) == 0) {
          log.LogLine("Spectral Data AFTER profiling");
        } else {
          log.LogLine("PROFILING DLL FAILED TO PROFILE: Spectral Data without profiling");
          result = 125;
        }
      }
      LogSpectrumWithBlank(log, spectrum);
      client.Close();
      if (result == 0) profiled = 1;
      break;
    }
    case 1: {
      char state = instrument.GetEmbeddedProfilingState();
      if (state == '1' || state == '2') {
        profiled = 1;
        log.LogLine("Spectral Data (EMBEDDED profiling enabled)");
      } else {
        log.LogLine("Spectral Data (EMBEDDED profiling disabled)");
      }
      log.LogSpectrum(spectrum, kSpectrumValues);
      break;
    }
    default:
      break;
  }
  return result;
}

}  // namespace vk605
