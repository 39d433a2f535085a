#include "platform/log_file.h"

#include <algorithm>
#include <limits>

#include "platform/win32/file_replace.h"
#include "platform/win32/unique_handle.h"

namespace vk605 {

namespace {

std::error_code LastError() {
  return std::error_code(static_cast<int>(::GetLastError()), std::system_category());
}

OVERLAPPED At(std::uint64_t offset) {
  OVERLAPPED position{};
  position.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
  position.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return position;
}

class Win32LogFile : public LogFile {
 public:
  explicit Win32LogFile(UniqueHandle file) : file_(std::move(file)) {}

  std::error_code Size(std::uint64_t& size) override {
    LARGE_INTEGER length{};
    if (!::GetFileSizeEx(file_.Get(), &length)) return LastError();
    size = static_cast<std::uint64_t>(length.QuadPart);
    return {};
  }

  std::error_code ReadByteAt(std::uint64_t offset, char& byte) override {
    OVERLAPPED position = At(offset);
    DWORD got = 0;
    if (!::ReadFile(file_.Get(), &byte, 1, &got, &position)) return LastError();
    if (got != 1) return std::make_error_code(std::errc::invalid_argument);
    return {};
  }

  std::error_code WriteAt(std::uint64_t offset, std::string_view bytes) override {
    while (!bytes.empty()) {
      DWORD chunk =
          static_cast<DWORD>(std::min<std::size_t>(bytes.size(), std::numeric_limits<DWORD>::max()));
      OVERLAPPED position = At(offset);
      DWORD written = 0;
      if (!::WriteFile(file_.Get(), bytes.data(), chunk, &written, &position)) return LastError();
      if (written == 0) return std::error_code(ERROR_WRITE_FAULT, std::system_category());
      bytes.remove_prefix(written);
      offset += written;
    }
    return {};
  }

 private:
  UniqueHandle file_;
};

}  // namespace

std::unique_ptr<LogFile> OpenLogFileForAppend(const std::string& path) {
  std::wstring wide = WidePath(path);
  if (wide.empty()) return nullptr;
  // Shared for reading and writing as a C runtime stream is, so a viewer may follow the trace.
  UniqueHandle file(::CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) return nullptr;
  return std::make_unique<Win32LogFile>(std::move(file));
}

}  // namespace vk605
