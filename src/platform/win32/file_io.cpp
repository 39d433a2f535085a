#include "platform/file_io.h"

#include <algorithm>
#include <atomic>
#include <limits>

#include "platform/win32/file_replace.h"
#include "platform/win32/unique_handle.h"

namespace vk605 {

namespace {

std::error_code ErrorOf(DWORD code) {
  // Spelled as the portable conditions where callers test them, the rest as the system's own codes.
  if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) {
    return std::make_error_code(std::errc::no_such_file_or_directory);
  }
  return std::error_code(static_cast<int>(code), std::system_category());
}

std::error_code LastError() {
  return ErrorOf(::GetLastError());
}

std::wstring DirectoryPrefixOf(const std::wstring& path) {
  std::size_t separator = path.find_last_of(L"\\/");
  return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
}

std::wstring BaseNameOf(const std::wstring& path) {
  std::size_t separator = path.find_last_of(L"\\/");
  return separator == std::wstring::npos ? path : path.substr(separator + 1);
}

// A new file beside path under a name no other writer uses (process id and a counter, created exclusively).
UniqueHandle CreateTemporaryBeside(const std::wstring& path, std::wstring& temp_path,
                                   std::error_code& error) {
  static std::atomic<unsigned> counter{0};
  std::wstring prefix = DirectoryPrefixOf(path) + L"." + BaseNameOf(path) + L".";
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp_path = prefix + std::to_wstring(::GetCurrentProcessId()) + L"." +
                std::to_wstring(counter.fetch_add(1)) + L".tmp";
    UniqueHandle file(::CreateFileW(temp_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.IsValid()) return file;
    DWORD code = ::GetLastError();
    error = ErrorOf(code);
    if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) break;
  }
  temp_path.clear();
  return UniqueHandle();
}

std::error_code WriteAll(HANDLE file, std::string_view data) {
  while (!data.empty()) {
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size(), std::numeric_limits<DWORD>::max()));
    DWORD written = 0;
    if (!::WriteFile(file, data.data(), chunk, &written, nullptr)) return LastError();
    if (written == 0) return ErrorOf(ERROR_WRITE_FAULT);
    data.remove_prefix(written);
  }
  return {};
}

}  // namespace

std::wstring WidePath(const std::string& path) {
  if (path.empty()) return std::wstring();
  int length = ::MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), wide.data(), length);
  return wide;
}

DWORD MoveFileOver(const std::wstring& temp, const std::wstring& target) {
  DWORD attributes = ::GetFileAttributesW(target.c_str());
  // A directory in the file's place is never replaced (Wine's ReplaceFileW would move a file over it).
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return ERROR_ACCESS_DENIED;
  }
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (::ReplaceFileW(target.c_str(), temp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                       nullptr)) {
      return ERROR_SUCCESS;
    }
    DWORD code = ::GetLastError();
    // Only a target that went away in between is moved to instead; any other failure left it as it was.
    if (code != ERROR_FILE_NOT_FOUND) return code;
  }
  if (::MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return ERROR_SUCCESS;
  }
  return ::GetLastError();
}

std::error_code ReadWholeFile(const std::string& path, std::string& content) {
  content.clear();
  UniqueHandle file(::CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) {
    DWORD code = ::GetLastError();
    // A directory opens only with backup semantics; asked for as a file it is refused as no regular file.
    if (code == ERROR_ACCESS_DENIED) {
      DWORD attributes = ::GetFileAttributesW(WidePath(path).c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return std::make_error_code(std::errc::is_a_directory);
      }
    }
    return ErrorOf(code);
  }
  if (::GetFileType(file.Get()) != FILE_TYPE_DISK) return std::make_error_code(std::errc::invalid_argument);
  char chunk[65536];
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(file.Get(), chunk, sizeof chunk, &got, nullptr)) {
      std::error_code error = LastError();
      content.clear();
      return error;
    }
    if (got == 0) return {};
    content.append(chunk, got);
  }
}

bool IsMissingFile(std::error_code error) {
  return error == std::errc::no_such_file_or_directory;
}

std::error_code ReplaceFileAtomically(const std::string& path, std::string_view content) {
  std::wstring target = WidePath(path);
  if (target.empty()) return std::make_error_code(std::errc::invalid_argument);
  std::wstring temp_path;
  std::error_code error;
  UniqueHandle temp = CreateTemporaryBeside(target, temp_path, error);
  if (!temp.IsValid()) return error;
  error = WriteAll(temp.Get(), content);
  if (!error && !::FlushFileBuffers(temp.Get())) error = LastError();
  if (!temp.Close() && !error) error = LastError();
  if (!error) {
    DWORD code = MoveFileOver(temp_path, target);
    if (code != ERROR_SUCCESS) error = ErrorOf(code);
  }
  if (error) ::DeleteFileW(temp_path.c_str());
  return error;
}

}  // namespace vk605
