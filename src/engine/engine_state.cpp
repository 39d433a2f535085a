#include "engine/engine_state.h"

#include <cstring>

#include "settings/settings_block.h"

namespace vk605 {

void ResetStatusTexts(EngineState& state) {
  std::lock_guard<std::mutex> lock(state.TextLock);
  std::strcpy(state.InstrumentStatus, "CREILL");
  std::strcpy(state.CalibrationStatus, "CREILL");
  std::strcpy(state.MeasurementStatus, "CREILL");
}

std::string LoadText(const EngineState& state, const StateText& text) {
  std::lock_guard<std::mutex> lock(state.TextLock);
  return std::string(text, strnlen(text, kTextBufferSize));
}

void StoreText(EngineState& state, StateText& text, const char* value) {
  std::lock_guard<std::mutex> lock(state.TextLock);
  CopyField(text, value);
}

void StoreStatusCharacters(EngineState& state, StateText& text, const char (&status)[kStatusLength]) {
  std::lock_guard<std::mutex> lock(state.TextLock);
  std::memcpy(text, status, kStatusLength);
}

void CopyText(char* destination, const char* text) {
  if (destination != nullptr && destination != text) std::strcpy(destination, text);
}

void CopyTextTo(const EngineState& state, const StateText& text, char* out) {
  if (out == nullptr || out == text) return;
  std::lock_guard<std::mutex> lock(state.TextLock);
  std::strcpy(out, text);
}

bool IsUncalibrated(const EngineState& state, const StateText& text) {
  std::lock_guard<std::mutex> lock(state.TextLock);
  return text[0] == 'X';
}

void MarkUncalibrated(EngineState& state) {
  std::lock_guard<std::mutex> lock(state.TextLock);
  state.CalibrationStatus[0] = 'X';
  state.InstrumentStatus[0] = 'X';
}

}  // namespace vk605
