#include "profiling/profiling_client.h"

#include <cstring>
#include <optional>

#include "profiling/component_error_text.h"
#include "profiling/profile_signature.h"

namespace vk605 {
namespace {

constexpr int kProfileNotLoaded = 401;
// The profile path is read into a buffer of this size, terminator included.
constexpr std::size_t kProfilePathCapacity = 128;
constexpr const char* kProfileKeys[] = {"Software\\Orvanta\\Calvera\\Profiles\\",
                                        "Software\\Orvanta\\Calvera 1.0\\Profiles\\"};

}  // namespace

// The profile file registered for the serial number under the first key that opens; empty when neither
// opens. A missing or over-long "LocalFile" value gives an empty path, which no component loads.
std::optional<std::string> ProfilingClient::ProfilePath() {
  for (const char* prefix : kProfileKeys) {
    std::string key = prefix + serial_number_;
    if (!registry_.KeyExists(key)) continue;
    return registry_.ReadString(key, "LocalFile", kProfilePathCapacity).value_or(std::string());
  }
  return std::nullopt;
}

int ProfilingClient::Open(const std::string& serial_number) {
  serial_number_ = serial_number;
  // A client opened twice starts from scratch; the earlier instance goes.
  component_.reset();
  profile_loaded_ = 0;
  component_running_ = 0;
  component_ = components_.Start();
  if (!component_) return kProfileNotLoaded;
  component_running_ = 1;
  std::optional<std::string> path = ProfilePath();
  if (!path) return kProfileNotLoaded;
  // A failing call counts as a "no": the profile is then not used, and the measurement trace says so.
  bool loaded = false;
  if (component_->LoadProfile(*path, loaded) >= 0 && loaded) profile_loaded_ = 1;
  loaded = false;
  if (component_->ProfileLoaded(loaded) >= 0 && loaded) profile_loaded_ = 1;
  std::string description;
  (void)component_->Description(description);
  component_->QuerySecondaryInterfaces();
  return profile_loaded_ ? 0 : kProfileNotLoaded;
}

int ProfilingClient::Apply(double* spectrum, int specular_flag, int mode) {
  if (profile_loaded_ == 0 || spectrum == nullptr || !component_) return 0;
  std::int32_t specular_included = specular_flag == 0 ? 1 : 0;
  float values[kComponentPoints];
  for (int i = 0; i < kComponentPoints; ++i) values[i] = static_cast<float>(spectrum[i] * 100.0);
  int result = 0;
  ComponentStatus status = 0;
  bool corrected = true;
  if (mode == 0) {
    status = component_->CorrectReflectance(values, specular_included, corrected);
  } else if (mode == 1) {
    status = component_->CorrectTransmission(values, specular_included, corrected);
  }
  if (status < 0) {
    ShowComponentError(status);
    return 1;
  }
  if (!corrected) result = 1;
  // Every mode comes back through single precision and without negative values.
  for (int i = 0; i < kComponentPoints; ++i) {
    double value = static_cast<double>(values[i]) * 0.01;
    spectrum[i] = value < 0.0 ? 0.0 : value;
  }
  return result;
}

int ProfilingClient::Close() {
  if (component_running_ != 0 && component_) component_->ReleaseMain();
  profile_loaded_ = 0;
  component_running_ = 0;
  return 0;
}

int ProfilingClient::Signature(char* text) {
  std::optional<double> date;
  if (profile_loaded_ != 0 && component_) {
    double value = 0.0;
    // A date the component cannot give leaves the signature without one.
    if (component_->CreationDate(value) >= 0) date = value;
  }
  std::string signature = ProfileSignature(date);
  if (text != nullptr) std::memcpy(text, signature.c_str(), signature.size() + 1);
  return 0;
}

void ProfilingClient::ShowComponentError(ComponentStatus status) {
  alerts_.ShowComponentError(ComponentErrorText(status, components_.SystemMessage(status)));
}

}  // namespace vk605
