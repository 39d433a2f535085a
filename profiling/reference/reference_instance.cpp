#include "reference_instance.h"

namespace vk605::reference {
namespace {

constexpr std::int32_t kNoProfile = static_cast<std::int32_t>(0x80040201u);

}  // namespace

std::int32_t ReferenceInstance::ProfileLoaded(bool& loaded) const {
  loaded = profile_.has_value();
  return 0;
}

std::int32_t ReferenceInstance::CreationDate(double& date) const {
  if (!profile_) return kNoProfile;
  date = profile_->created;
  return 0;
}

std::int32_t ReferenceInstance::Description(std::string& text) const {
  text = profile_ ? profile_->description : std::string();
  return 0;
}

std::int32_t ReferenceInstance::LoadProfile(const std::string& path, bool& loaded) {
  profile_ = LoadReferenceProfile(path);
  loaded = profile_.has_value();
  return 0;
}

std::int32_t ReferenceInstance::Correct(bool transmission, float* values, std::int32_t specular_included,
                                        bool& corrected) const {
  corrected = false;
  if (!profile_) return 0;
  return CorrectSpectrum(*profile_, transmission, values, specular_included, corrected);
}

}  // namespace vk605::reference
