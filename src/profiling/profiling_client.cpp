#include "profiling/profiling_client.h"

#include <cstring>

namespace vk605 {

int ProfilingClient::Open(const std::string& serial_number) {
  serial_number_ = serial_number;
  profile_loaded_ = 0;
  component_running_ = 0;
  return profile_loaded_ ? 0 : 401;
}

int ProfilingClient::Apply(double*, int, int) {
  return 0;
}

int ProfilingClient::Close() {
  profile_loaded_ = 0;
  component_running_ = 0;
  return 0;
}

int ProfilingClient::Signature(char* text) {
  if (text != nullptr) std::strcpy(text, "V2");
  return 0;
}

}  // namespace vk605
