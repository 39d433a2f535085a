#pragma once

namespace vk605 {

// Result values returned by the driver's operations (0 = success).
namespace result {
inline constexpr int kOk = 0;
inline constexpr int kNotSupportedByInstrument = -1;
inline constexpr int kLinkFailure = 2;
inline constexpr int kPortNotOpen = 31;
inline constexpr int kUncalibrated = 101;
inline constexpr int kInstrumentError = 110;
inline constexpr int kCannotOpenPort = 111;
inline constexpr int kProfilingObjectFailed = 114;
inline constexpr int kTriggerTimeout = 116;
inline constexpr int kTriggerAborted = 122;
inline constexpr int kCalibrationExpired = 123;
inline constexpr int kProfilingFailed = 125;
inline constexpr int kProfilingUnavailable = 401;
inline constexpr int kFailedToMeasure = 1006;
inline constexpr int kFunctionalityNotSupported = 1015;
inline constexpr int kFeatureNotSupported = 1023;
inline constexpr int kVersionBlockUnavailable = 2000;
}  // namespace result

}  // namespace vk605
