#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/named_mutex.h"

namespace vk605 {

inline constexpr std::size_t kTextBufferSize = 8192;
inline constexpr std::size_t kStatusLength = 6;

// The command engine's working state: connection flag, the two connect-created mutexes, the firmware
// version cache and the three status texts (instrument, calibration, measurement).
struct EngineState {
  std::int32_t Connected = 0;  // read and written with LoadFlag / StoreFlag
  std::unique_ptr<NamedMutex> MeasurementMutex;
  std::unique_ptr<NamedMutex> GetDataMutex;
  // Counts the calibrations the instrument confirmed (calibration mode accepted, then reported
  // calibrated when the operator answered), so a caller can tell whether its calibration happened.
  std::atomic<std::uint32_t> ConfirmedCalibrations{0};
  char FirmwareVersion[kTextBufferSize] = {};
  char InstrumentStatus[kTextBufferSize] = {};
  char CalibrationStatus[kTextBufferSize] = {};
  char MeasurementStatus[kTextBufferSize] = {};
  // Held for every access to the four texts above: host threads read them while a call on another
  // thread, or a trigger worker, writes them.
  mutable std::mutex TextLock;
};

using StateText = char[kTextBufferSize];

// Sets all three status texts to the start-up status "CREILL".
void ResetStatusTexts(EngineState& state);

std::string LoadText(const EngineState& state, const StateText& text);
// Replaces the text with value, cut to the buffer.
void StoreText(EngineState& state, StateText& text, const char* value);
// Writes the six status characters over the start of the text; what follows them stays.
void StoreStatusCharacters(EngineState& state, StateText& text, const char (&status)[kStatusLength]);
// Copies a message or reply text whole into a host's buffer (null: nothing).
void CopyText(char* destination, const char* text);
// Copies the text whole into a host's buffer (null: nothing).
void CopyTextTo(const EngineState& state, const StateText& text, char* out);
// An 'X' first: the instrument reports itself uncalibrated.
bool IsUncalibrated(const EngineState& state, const StateText& text);
// Marks the calibration and instrument status uncalibrated ('X' first).
void MarkUncalibrated(EngineState& state);

}  // namespace vk605
