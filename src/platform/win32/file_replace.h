#pragma once

#include <string>

#include "platform/win32/windows_headers.h"

namespace vk605 {

// The path (in the ANSI code page, as the driver's paths are) for the wide-character file functions.
std::wstring WidePath(const std::string& path);

// Moves the finished file temp over target in one step and flushes the move to disk: ReplaceFileW when
// target exists (it keeps the target's attributes and security), MoveFileExW otherwise. ERROR_SUCCESS or
// the failure's code; target is untouched on failure and temp is left for the caller to delete.
DWORD MoveFileOver(const std::wstring& temp, const std::wstring& target);

}  // namespace vk605
