#pragma once

#include <string>

namespace vk605 {

// The device path of a port name: "COMn:" and "COMn" (any case, n from 1 without leading zeros) name
// /dev/ttyS<n-1>; every other name is a path already and is returned as it is.
std::string SerialDevicePath(const std::string& name);

}  // namespace vk605
