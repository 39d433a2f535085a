#pragma once

namespace vk605::text {

// Texts of the driver's string table and the fixed messages of its prompts.
inline constexpr const char* kUncalibratedPrompt =
    "E-101 Instrument is not calibrated! Do you want to calibrate it?";  // string 117
inline constexpr const char* kTriggerWait =
    "Please lower the unit to the target window and hold it firmly in place while measuring.  Release the "
    "unit "
    "when the measurement is complete.  (i.e., the spectrophotometer will momentarily display \"Reading "
    "Complete\" and then data will appear on its display). ";                                  // string 3000
inline constexpr const char* kAbortMeasurement = "Abort Measurement";                          // string 3001
inline constexpr const char* kAttemptingToConnect = "Attempting To Connect To Instrument...";  // string 10000
inline constexpr const char* kControlPanelUnavailable = "Unable to load instrument control panel.";  // 101

inline constexpr const char* kConnecting = "Attempting to communicate with the spectrophotometer...";
inline constexpr const char* kInitializing = "Initializing driver...";
inline constexpr const char* kEnableEmulation =
    "Unable to communicate with spectrophotometer.  Do you want to enable emulation mode?";
inline constexpr const char* kCalibrationInstructions =
    "The spectrophotometer has been placed in calibration mode for you.  Please follow the directions on the "
    "spectrophotometer's display in order to proceed with calibration."
    "\nIf you are uncertain as to how to calibrate your spectrophotometer, please refer to your "
    "spectrophotometer owner's manual."
    "\n\nDo NOT click the OK button on this window until calibration is complete.";
inline constexpr const char* kCalibrationCancelled =
    "You have cancelled calibration.  You will not be able to take measurements until you calibrate the "
    "spectrophotometer.";
inline constexpr const char* kCalibrationCompleteMeasure =
    "Calibration is complete!\n\nPlease center the target window opening over the sample to be measured.";
inline constexpr const char* kCalibrationCompleteTrigger =
    "Calibration is complete!\n\nPlease place the spectrophotometer onto the specimen that you wish to "
    "measure.";
inline constexpr const char* kCalibrationExpired =
    "The calibration has expired. The instrument must be recalibrated before taking measurements.";
inline constexpr const char* kOleFailed = "OLE initialization failed. Calvera not available.";
inline constexpr const char* kTriggerThreadFailed = "Error creating trigger thread.";

}  // namespace vk605::text

namespace vk605::text::panel {

// Texts of the control panel's pages.
inline constexpr const char* kCalibrated = "Calibrated";                                 // 103
inline constexpr const char* kCommunicationsFailure = "Communications Failure";          // 104
inline constexpr const char* kReflectance = "Reflectance";                               // 106
inline constexpr const char* kIncluded = "Included";                                     // 107
inline constexpr const char* kExcluded = "Excluded";                                     // 108
inline constexpr const char* kCommunicationsEstablished = "Communications Established";  // 115
inline constexpr const char* kEmulating = "Emulating Instrument";                        // 118
inline constexpr const char* kTimerRefused = "Cannot START the Control-Panel timer!";    // 122, 1130
inline constexpr const char* kProfilingNotInstalled = "Calvera is not installed on this computer.";  // 1146
inline constexpr const char* kNoProfile = "No profile available for s/n %s";                         // 1147
inline constexpr const char* kProfilingEnabled = "Calvera is enabled";                               // 1148
inline constexpr const char* kProfilingTurnedOff = "Calvera has been turned off by the user.";

inline constexpr const char* kZeroTime =
    "The Expiration Time cannot be 0:00. Please enter a valid expiration time:\nHours: 0 to 720\nMinutes: 0 "
    "to 59";                                                                                      // 9046
inline constexpr const char* kMinutesRange = "Expiration MINUTES must be in the range 0 to 59.";  // 9047
inline constexpr const char* kHoursRange = "Expiration HOURS must be in the range 0 to 720.";     // 9048
inline constexpr const char* kLimitRange =
    "Expiration Measurements must be in the range 1 to 10000.";  // 9049
inline constexpr const char* kNotAnInteger = "Please enter an integer.";

}  // namespace vk605::text::panel
