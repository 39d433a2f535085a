#pragma once

#include <cstdint>

#include "api/driver_services.h"

namespace vk605 {

// A digit setter's value: '0'..'9' give 0..9, any other character 0.
std::uint8_t DigitValue(char digit);

// Bodies of the configuration exports that do more than read or write one field.
class ConfigurationCommands {
 public:
  explicit ConfigurationCommands(DriverServices& services) : s_(services) {}

  // The communication setters store the field, write their key at once, then reapply the port. SetPort
  // refuses a name longer than Port holds with 1 and changes nothing.
  int SetPort(const char* name);
  int SetBaudRate(int rate);
  int SetParity(char digit);
  int SetStopBits(char digit);
  int SetByteSize(char digit);
  int SetEmulationMode(int mode);
  int GetCommunications();
  int SetMode(int mode);
  int GetSpecularComponent();
  int SetSpecularComponent(int component);
  int SetUVPosition(int position);
  int IsUVPosition(int position);
  int IsLens(int size);
  int IsAperture(int size);
  int SetWavelengthInterval(int interval);
  int GetReferenceFlashInterval(int index);
  int SetReferenceFlashInterval(int index, int interval);

 private:
  [[nodiscard]] bool WriteMain(const char* key, const std::string& value);
  int ReapplyPort();
  // Status query (code 2) into text; true when it succeeded.
  bool StatusRead(char* text);

  DriverServices& s_;
};

}  // namespace vk605
