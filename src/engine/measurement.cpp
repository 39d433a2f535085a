#include "engine/measurement.h"

#include <array>
#include <cstring>

#include "engine/protocol_replies.h"
#include "engine/result_code.h"

namespace vk605 {

int ReadSpectrum(Connection& connection, const SettingsBlock& settings, double* spectra) {
  std::array<char, kReplyBufferSize> reply{};
  const ProtocolCommand& read =
      settings.SpecularMode == 0 ? command::kSpectrumSpecularIncluded : command::kSpectrumSpecularExcluded;
  int result = connection.Exchange(read, reply.data());
  if (result != 0) return result;
  return ParseSpectralReply(reply.data(), spectra) ? 0 : result::kFailedToMeasure;
}

int MeasureSpectrum(EngineContext& context, char* text, double* spectra) {
  Connection connection(context);
  connection.WakeInstrument();
  std::array<char, kReplyBufferSize> reply{};
  connection.Exchange(command::kMeasuringMode, reply.data());
  reply.fill('\0');
  int result = connection.Exchange(command::kMeasure, reply.data());
  if (result == 0) {
    if (IsAccepted(reply.data())) {
      // The instrument needs a moment between accepting the measurement and delivering the spectrum.
      context.clock.WaitMs(200);
      result = ReadSpectrum(connection, context.settings, spectra);
    } else {
      result = result::kFailedToMeasure;
    }
  }
  connection.RefreshStatus(context.state.MeasurementStatus);
  CopyTextTo(context.state, context.state.MeasurementStatus, text);
  return result;
}

}  // namespace vk605
