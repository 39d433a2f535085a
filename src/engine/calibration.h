#pragma once

#include "engine/engine_context.h"

namespace vk605 {

// The calibration sequence: calibration mode, the operator prompt until the instrument reports itself
// calibrated or the operator cancels, then measuring mode again. status receives each status refresh.
// 0, 101 when cancelled while uncalibrated, or the first failed exchange's result. A calibration the
// instrument confirmed (calibration mode accepted, calibrated at the answer) counts in
// ConfirmedCalibrations, even when the closing measuring-mode exchange then fails.
int RunCalibration(EngineContext& context, StateText& status);

}  // namespace vk605
