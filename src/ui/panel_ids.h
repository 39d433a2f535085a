#pragma once

namespace vk605::panel {

// Control identifiers of the dialog templates 7510 (status page) and 107 (calibration page).
inline constexpr int kSystemStatus = 1023;
inline constexpr int kSerialNumber = 1024;
inline constexpr int kProfilingCheck = 3001;
inline constexpr int kProfilingLine = 10190;
inline constexpr int kCalibration = 1022;
inline constexpr int kUv = 1017;
inline constexpr int kMode = 1015;
inline constexpr int kSpecular = 1016;
inline constexpr int kLensPosition = 1020;
inline constexpr int kAperture = 1021;
inline constexpr int kVersion = 1032;

inline constexpr int kTimeCheck = 1112;
inline constexpr int kCountCheck = 1113;
inline constexpr int kHoursEdit = 10240;
inline constexpr int kMinutesEdit = 10242;
inline constexpr int kLimitEdit = 10241;

inline constexpr int kStatusPage = 0;
inline constexpr int kCalibrationPage = 1;

inline constexpr unsigned kRefreshTimer = 1000;
inline constexpr unsigned kRefreshPeriodMs = 5000;

}  // namespace vk605::panel
