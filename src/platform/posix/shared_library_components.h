#pragma once

#include "platform/profiling_component.h"
#include "platform/registry.h"

namespace vk605 {

// Profiling components as shared libraries: the library named by the value "Library" of the key
// "Software\Classes\CalveraSrv.ProfileV1" is loaded for each instance and unloaded with it, and its
// factory's operation table (vk605/component/profiling_component.h) does the work.
class SharedLibraryComponents : public ProfilingComponents {
 public:
  explicit SharedLibraryComponents(Registry& registry) : registry_(registry) {}
  std::unique_ptr<ProfilingComponent> Start() override;
  // POSIX has no message texts for component status codes.
  std::optional<std::string> SystemMessage(ComponentStatus) override { return std::nullopt; }

 private:
  Registry& registry_;
};

}  // namespace vk605
