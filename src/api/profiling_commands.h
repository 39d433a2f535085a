#pragma once

#include "api/driver_services.h"

namespace vk605 {

// Bodies of the profiling exports.
class ProfilingCommands {
 public:
  explicit ProfilingCommands(DriverServices& services) : s_(services) {}

  int EnableCalvera();
  int DisableCalvera();
  int IsCalveraActive();
  int GetDigitalSignature(char* text);
  int IsConfiguredToProfile(int* out);

 private:
  DriverServices& s_;
};

}  // namespace vk605
