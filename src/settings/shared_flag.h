#pragma once

#include <atomic>
#include <cstdint>

namespace vk605 {

// The driver's records are plain structures shared by every thread of the host. The few flags that one
// call writes while calls on other threads read them (the connection flag, the one-call VSAV flag, the
// aperture size a status query finds, the profiled flag of the last measurement) are read and written
// through these, so each access is a whole, ordered one.
inline std::int32_t LoadFlag(const std::int32_t& flag) {
  return std::atomic_ref<std::int32_t>(const_cast<std::int32_t&>(flag)).load();
}

inline void StoreFlag(std::int32_t& flag, std::int32_t value) {
  std::atomic_ref<std::int32_t>(flag).store(value);
}

}  // namespace vk605
