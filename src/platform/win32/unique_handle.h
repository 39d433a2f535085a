#pragma once

#include "base/unique_resource.h"
#include "platform/win32/windows_headers.h"

namespace vk605 {

struct HandleTraits {
  using Handle = HANDLE;
  static HANDLE Invalid() noexcept { return nullptr; }
  // Both null and INVALID_HANDLE_VALUE mean "no handle", as the creating functions report failure with one
  // or the other.
  static bool IsValid(HANDLE handle) noexcept { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
  static bool Close(HANDLE handle) noexcept { return ::CloseHandle(handle) != 0; }
};

// Owns one kernel object handle. Move-only.
using UniqueHandle = UniqueResource<HandleTraits>;

}  // namespace vk605
