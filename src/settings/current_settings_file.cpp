#include "settings/current_settings_file.h"

#include <utility>

namespace vk605 {

std::string CurrentSettingsFile::Get() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return path_;
}

void CurrentSettingsFile::Set(std::string path) {
  std::lock_guard<std::mutex> lock(mutex_);
  path_ = std::move(path);
}

}  // namespace vk605
