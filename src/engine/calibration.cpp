#include "engine/calibration.h"

#include <array>

#include "engine/connection.h"
#include "engine/result_code.h"
#include "ui/driver_strings.h"

namespace vk605 {

int RunCalibration(EngineContext& context, StateText& status) {
  Connection connection(context);
  std::array<char, kReplyBufferSize> reply{};
  int result = 0;
  connection.WakeInstrument();
  for (;;) {
    // A failed exchange stops further mode commands but not the prompts: the operator may still finish.
    if (result == 0) result = connection.Exchange(command::kCalibrationMode, reply.data());
    int answer = context.ui.MessageBox(text::kCalibrationInstructions, kDriverCaption, kMbOkCancel);
    connection.RefreshStatus(status);
    const bool uncalibrated = IsUncalibrated(context.state, status);
    if (answer == kIdOk && uncalibrated) continue;
    if (answer == kIdCancel && uncalibrated) {
      context.ui.MessageBox(text::kCalibrationCancelled, kDriverCaption, kMbOk);
      result = result::kUncalibrated;
    } else if (result == 0) {
      ++context.state.ConfirmedCalibrations;
    }
    break;
  }
  connection.WakeInstrument();
  if (result == 0) result = connection.Exchange(command::kMeasuringMode, reply.data());
  return result;
}

}  // namespace vk605
