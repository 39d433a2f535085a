#include "api/configuration_commands.h"

#include <string>

#include "api/settings_exchange.h"
#include "engine/result_code.h"
#include "settings/one_line.h"
#include "settings/shared_flag.h"

namespace vk605 {

std::uint8_t DigitValue(char digit) {
  return digit >= '0' && digit <= '9' ? static_cast<std::uint8_t>(digit - '0') : 0;
}

namespace {
// What a setter returns when its value could not be stored (the file is not writable, the disk is full,
// the file is above the size limit): the setting stays as it was, in memory and in the file.
constexpr int kNotStored = 1;
}  // namespace

bool ConfigurationCommands::WriteMain(const char* key, const std::string& value) {
  return s_.profile.WriteString("MAIN", key, OneLine(value), s_.settings_file.Get());
}

int ConfigurationCommands::ReapplyPort() {
  char scratch[kTextBufferSize] = {};
  return static_cast<int>(s_.engine.ReadHead(code::kReopenPort, nullptr, nullptr, scratch));
}

bool ConfigurationCommands::StatusRead(char* text) {
  return s_.engine.ReadHead(code::kStatus, nullptr, nullptr, text) == 0;
}

int ConfigurationCommands::SetPort(const char* name) {
  // A name longer than the field holds would be kept and saved cut, naming some other device or none,
  // and the setting the user had would be lost: such a name is refused and nothing changes.
  constexpr int kRefused = 1;
  if (!FitsField(s_.state.settings.Port, name)) return kRefused;
  if (!WriteMain("PORT", name != nullptr ? name : "")) return kNotStored;
  CopyField(s_.state.settings.Port, name);
  SelectLinkForPort(s_.state.settings);
  return ReapplyPort();
}

int ConfigurationCommands::SetBaudRate(int rate) {
  if (!WriteMain("BAUDRATE", std::to_string(rate))) return kNotStored;
  s_.state.settings.BaudRate = rate;
  return ReapplyPort();
}

int ConfigurationCommands::SetParity(char digit) {
  std::uint8_t value = DigitValue(digit);
  // Values without a letter are kept in memory only, as before.
  const char* letter = value == 2 ? "E" : value == 1 ? "O" : value == 0 ? "N" : nullptr;
  if (letter != nullptr && !WriteMain("PARITY", letter)) return kNotStored;
  s_.state.settings.Parity = value;
  return ReapplyPort();
}

int ConfigurationCommands::SetStopBits(char digit) {
  std::uint8_t value = DigitValue(digit);
  const char* text = value == 0 ? "1" : value == 2 ? "2" : value == 1 ? "1.5" : nullptr;
  if (text != nullptr && !WriteMain("STOPBITS", text)) return kNotStored;
  s_.state.settings.StopBits = value;
  return ReapplyPort();
}

int ConfigurationCommands::SetByteSize(char digit) {
  std::uint8_t value = DigitValue(digit);
  if ((value == 8 || value == 7) && !WriteMain("BYTESIZE", std::to_string(value))) return kNotStored;
  s_.state.settings.ByteSize = value;
  return ReapplyPort();
}

int ConfigurationCommands::SetEmulationMode(int mode) {
  if (!WriteMain("EMULATION_MODE", std::to_string(mode))) return kNotStored;
  s_.state.settings.EmulationMode = mode;
  return 0;
}

int ConfigurationCommands::GetCommunications() {
  char scratch[kTextBufferSize] = {};
  return StatusRead(scratch) ? 1 : 0;
}

int ConfigurationCommands::SetMode(int mode) {
  char scratch[kTextBufferSize] = {};
  switch (mode) {
    case 0:
      return static_cast<int>(s_.engine.ReadHead(code::kReflectAlternate, nullptr, nullptr, scratch));
    case 1:
      return static_cast<int>(s_.engine.ReadHead(code::kReflect, nullptr, nullptr, scratch));
    case 2:
      return static_cast<int>(s_.engine.ReadHead(code::kModeTwo, nullptr, nullptr, scratch));
    default:
      return 0;
  }
}

int ConfigurationCommands::GetSpecularComponent() {
  char status[kTextBufferSize] = {};
  StatusRead(status);
  switch (status[2]) {
    case 'I':
      return 0;
    case 'E':
      return 1;
    case 'D':
      return 2;
    default:
      return -1;
  }
}

int ConfigurationCommands::SetSpecularComponent(int component) {
  char scratch[kTextBufferSize] = {};
  switch (component) {
    case 0:
      return static_cast<int>(s_.engine.ReadHead(code::kSpecularIncluded, nullptr, nullptr, scratch));
    case 1:
      return static_cast<int>(s_.engine.ReadHead(code::kSpecularExcluded, nullptr, nullptr, scratch));
    case 2:
      return static_cast<int>(s_.engine.ReadHead(code::kSpecularPartial, nullptr, &component, scratch));
    default:
      return result::kFeatureNotSupported;
  }
}

int ConfigurationCommands::SetUVPosition(int position) {
  char scratch[kTextBufferSize] = {};
  if (position == 0)
    return static_cast<int>(s_.engine.ReadHead(code::kUvIncluded, nullptr, nullptr, scratch));
  if (position == 1)
    return static_cast<int>(s_.engine.ReadHead(code::kUvExcluded, nullptr, nullptr, scratch));
  return position == 2 ? 1 : 0;
}

int ConfigurationCommands::IsUVPosition(int position) {
  char scratch[kTextBufferSize] = {};
  if (!StatusRead(scratch)) return 0;
  return s_.state.settings.UVPosition == position ? 1 : 0;
}

int ConfigurationCommands::IsLens(int size) {
  char scratch[kTextBufferSize] = {};
  return StatusRead(scratch) && size == s_.state.settings.LensSize ? 1 : 0;
}

int ConfigurationCommands::IsAperture(int size) {
  char scratch[kTextBufferSize] = {};
  return StatusRead(scratch) && size == LoadFlag(s_.state.settings.ApertureSize) ? 1 : 0;
}

int ConfigurationCommands::SetWavelengthInterval(int interval) {
  return static_cast<int>(s_.engine.ReadHead(code::kWavelengthInterval, nullptr, &interval, nullptr));
}

int ConfigurationCommands::GetReferenceFlashInterval(int index) {
  if (index != 0 && index != 1) return -1;
  return s_.state.settings.ReferenceFlashInterval[index];
}

int ConfigurationCommands::SetReferenceFlashInterval(int index, int interval) {
  if (index != 0 && index != 1) return 1;
  s_.state.settings.ReferenceFlashInterval[index] = interval;
  return interval <= 0 ? 1 : 0;
}

}  // namespace vk605
