#include "engine/connection.h"

#include <array>
#include <cstring>
#include <memory>

#include "engine/engine_state.h"
#include "engine/protocol_replies.h"
#include "engine/result_code.h"
#include "engine/vk605_instrument.h"
#include "settings/shared_flag.h"
#include "ui/driver_strings.h"

namespace vk605 {
namespace {

using ReplyBuffer = std::array<char, kReplyBufferSize>;

}  // namespace

int Connection::Exchange(const ProtocolCommand& command, char* reply) {
  return ctx_.channel.Transact(command.text, command.timeout_ms, command.reply_lines, reply);
}

void Connection::BusyWait(std::uint32_t ms) {
  ctx_.clock.WaitMs(ms);
}

int Connection::WakeInstrument() {
  ReplyBuffer scratch{};
  int result = Exchange(command::kWake, scratch.data());
  // The instrument needs a second after the wake-up before it takes commands.
  BusyWait(1000);
  return result;
}

int Connection::Connect(char* text) {
  EngineState& state = ctx_.state;
  SettingsBlock& settings = ctx_.settings;
  if (!state.GetDataMutex) state.GetDataMutex = std::make_unique<NamedMutex>("GetDataMutex");
  if (!state.MeasurementMutex) state.MeasurementMutex = std::make_unique<NamedMutex>("MeasurementMutex");
  StoreFlag(state.Connected, 0);

  std::unique_ptr<Vk605Instrument> progress;
  if (settings.EmulationMode == 0) {
    progress = std::make_unique<Vk605Instrument>(ctx_);
    progress->ShowProgress(kDriverCaption, text::kConnecting);
  }

  int result = ConfigurePort();
  if (result == 0) {
    result = ResetInstrument(text);
    if (result == 0) {
      if (progress) progress->UpdateProgress(text::kInitializing);
      RefreshStatus(state.InstrumentStatus);
      if (settings.EmulationMode == 0) StoreFlag(state.Connected, 1);
      settings.Communications = 1;
    }
  }

  if (LoadFlag(state.Connected) == 0 && settings.EmulationMode == 0) {
    int answer = ctx_.ui.MessageBox(text::kEnableEmulation, kDriverCaption, kMbYesNo | kMbIconQuestion);
    if (answer == kIdYes) settings.EmulationMode = 1;
  }
  if (progress) progress->CloseProgress();
  return result;
}

int Connection::ConfigurePort() {
  SettingsBlock& settings = ctx_.settings;
  if (settings.EmulationMode != 0) return 0;
  CommChannel& channel = ctx_.channel;
  channel.SetLinkType(settings.CommPortType);
  channel.SetTerminator("\r\n");
  channel.SetCountedText("\r\n");
  channel.SetPortName(settings.Port);
  channel.SetLineBaudRate(static_cast<std::uint32_t>(settings.BaudRate));
  channel.SetHoldPortOpen(settings.HoldPortOpen);

  LineSettings line;
  channel.GetDefaultLineSettings(line);
  line.baud_rate = static_cast<std::uint32_t>(settings.BaudRate);
  line.byte_size = settings.ByteSize;
  line.parity = settings.Parity;
  line.stop_bits = settings.StopBits;
  channel.SetLineSettings(line);
  // Reads return at once with what has arrived (the read loop does the waiting); a write may take 65 s.
  channel.SetPortTimeouts(0xFFFFFFFFu, 0, 0, 0, 65000);

  return channel.TestOpenPort(settings.Port, static_cast<std::uint32_t>(settings.BaudRate));
}

int Connection::ResetInstrument(char* text) {
  ReplyBuffer scratch{};
  std::string serial;
  WakeInstrument();
  BusyWait(1000);
  int result = 0;
  for (const ProtocolCommand& step : command::kResetSteps) {
    result = Exchange(step, scratch.data());
    if (result != 0) break;
  }
  BusyWait(500);
  if (result == 0) {
    // The reset steps report success even when nothing answers (their replies are not examined): only
    // the serial number shows that an instrument is there. Without it the version query is not sent.
    bool identified = QuerySerialNumber(serial) == 0;
    if (identified || ctx_.settings.EmulationMode != 0) {
      scratch.fill('\0');
      result = QueryVersion(scratch.data());
    } else {
      ctx_.log.LogLine("No instrument identified itself on the port.");
      result = result::kLinkFailure;
    }
  }
  std::string identification = std::string(ctx_.settings.ModelPrefix) + serial;
  CopyField(ctx_.settings.SerialNumber, identification.c_str());
  CopyText(text, ctx_.settings.SerialNumber);
  return result;
}

int Connection::QueryVersion(char* text) {
  WakeInstrument();
  ReplyBuffer reply{};
  int result = Exchange(command::kVersion, reply.data());
  std::string version = FirstReplyLine(reply.data());
  StoreText(ctx_.state, ctx_.state.FirmwareVersion, version.c_str());
  CopyTextTo(ctx_.state, ctx_.state.FirmwareVersion, text);
  return result;
}

int Connection::QuerySerialNumber(std::string& out) {
  ReplyBuffer reply{};
  // A reply that is not an identification (a timed-out read, noise) reads as no serial number at all.
  if (Exchange(command::kSerialNumber, reply.data()) != 0 || !IdentifiesInstrument(reply.data())) {
    out.clear();
    return 1;
  }
  if (std::optional<std::string> line = SerialNumberLine(reply.data())) out = *line;
  return 0;
}

int Connection::QueryStatus(char* status) {
  const bool emulating = ctx_.settings.EmulationMode != 0;
  ReplyBuffer reply{};
  bool calibrated = false;
  if (!emulating) {
    calibrated = Exchange(command::kCalibrationState, reply.data()) == 0 && ReportsCalibrated(reply.data());
  }
  status[0] = calibrated ? 'C' : 'X';

  int aperture_result = 0;
  bool large_aperture = false;
  if (!emulating) {
    reply.fill('\0');
    aperture_result = Exchange(command::kAperture, reply.data());
    // Any answer at all means the large aperture plate is fitted.
    large_aperture = aperture_result == 0;
  }
  status[4] = status[5] = large_aperture ? 'L' : 'S';
  StoreFlag(ctx_.settings.ApertureSize, large_aperture ? 0 : 2);
  status[1] = 'R';
  status[2] = 'E';
  status[3] = 'I';
  return aperture_result;
}

int Connection::RefreshStatus(StateText& text) {
  char status[kStatusLength];
  int result = QueryStatus(status);
  StoreStatusCharacters(ctx_.state, text, status);
  return result;
}

}  // namespace vk605
