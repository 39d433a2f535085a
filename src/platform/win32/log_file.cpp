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

LogFileOpen OpenLogFileForAppend(const std::string& path, std::unique_ptr<LogFile>& file) {
  file.reset();
  std::wstring wide = WidePath(path);
  if (wide.empty()) return LogFileOpen::kFailed;
  // A directory does not open as a file; told apart here so that it is refused rather than tried again.
  DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return LogFileOpen::kNoRegularFile;
  }
  // Shared for reading and writing as a C runtime stream is, so a viewer may follow the trace.
  UniqueHandle handle(::CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle.IsValid()) return LogFileOpen::kFailed;
  // A device name such as "CON" or a pipe ("\\.\pipe\...") opens too, but is no trace file.
  if (::GetFileType(handle.Get()) != FILE_TYPE_DISK) return LogFileOpen::kNoRegularFile;
  file = std::make_unique<Win32LogFile>(std::move(handle));
  return LogFileOpen::kOpened;
}

}  // namespace vk605
