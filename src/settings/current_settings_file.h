#pragma once

#include <mutex>
#include <string>

namespace vk605 {

// The process-wide current settings file: every profile read and write goes to the file named here at
// the moment of the call. Starts as the bare name "VK605"; start-up points it at VK605.INI.
class CurrentSettingsFile {
 public:
  CurrentSettingsFile() = default;
  std::string Get() const;
  void Set(std::string path);

 private:
  mutable std::mutex mutex_;
  std::string path_ = "VK605";
};

}  // namespace vk605
