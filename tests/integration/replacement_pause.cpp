#include "replacement_pause.h"

#include <dlfcn.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <system_error>

namespace vk605::host {
namespace {

using WriteFunction = ssize_t (*)(int, const void*, size_t);
using RenameFunction = int (*)(const char*, const char*);

// Written once by the host's main thread before the loop that writes; read by any thread that writes.
struct Pause {
  std::atomic<bool> armed{false};
  std::filesystem::path target;
  std::string replacement_prefix;  // "." + target's name + "."
  PausePoint point = PausePoint::kInsideContent;
  std::atomic<int> skip{0};
};

Pause g_pause;

WriteFunction RealWrite() {
  static const auto real = reinterpret_cast<WriteFunction>(dlsym(RTLD_NEXT, "write"));
  return real;
}

RenameFunction RealRename() {
  static const auto real = reinterpret_cast<RenameFunction>(dlsym(RTLD_NEXT, "rename"));
  return real;
}

bool IsReplacementOf(const std::filesystem::path& path) {
  const std::string name = path.filename().string();
  return path.parent_path() == g_pause.target.parent_path() &&
         name.rfind(g_pause.replacement_prefix, 0) == 0 && name.size() > 4 &&
         name.compare(name.size() - 4, 4, ".tmp") == 0;
}

// The file a descriptor writes to, as the kernel names it.
std::filesystem::path PathOf(int fd) {
  std::error_code error;
  return std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), error);
}

// True when this is the moment to stop: armed for point, and every moment to let pass has passed.
bool Due(PausePoint point) {
  if (!g_pause.armed.load() || g_pause.point != point) return false;
  if (g_pause.skip.fetch_sub(1) > 0) return false;
  g_pause.armed = false;
  return true;
}

}  // namespace

void PauseInReplacement(const std::filesystem::path& target, PausePoint point, int skip) {
  g_pause.target = std::filesystem::weakly_canonical(target);
  g_pause.replacement_prefix = "." + g_pause.target.filename().string() + ".";
  g_pause.point = point;
  g_pause.skip = skip;
  g_pause.armed = true;
}

int RemoveLeftoverReplacements(const std::filesystem::path& target) {
  const std::string prefix = "." + target.filename().string() + ".";
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(target.parent_path())) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(prefix, 0) == 0 && name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0) {
      std::filesystem::remove(entry.path());
      ++count;
    }
  }
  return count;
}

}  // namespace vk605::host

using vk605::host::PausePoint;

// The C library's write, except that an armed host stops after half of a write into the watched file or
// one of its replacements (a file written in place would be left torn by the kill that follows).
extern "C" ssize_t write(int fd, const void* data, size_t size) {
  if (vk605::host::g_pause.armed.load() && size > 1) {
    const std::filesystem::path path = vk605::host::PathOf(fd);
    if ((path == vk605::host::g_pause.target || vk605::host::IsReplacementOf(path)) &&
        vk605::host::Due(PausePoint::kInsideContent)) {
      const ssize_t written = vk605::host::RealWrite()(fd, data, size / 2);
      raise(SIGSTOP);
      return written;
    }
  }
  return vk605::host::RealWrite()(fd, data, size);
}

// The C library's rename, except that an armed host stops just before a replacement of the watched file
// is renamed over it.
// Declared as the C library declares it (it throws nothing).
extern "C" int rename(const char* from, const char* to) noexcept {
  std::error_code error;
  if (vk605::host::g_pause.armed.load() && to != nullptr &&
      std::filesystem::weakly_canonical(to, error) == vk605::host::g_pause.target &&
      vk605::host::Due(PausePoint::kBeforeRename)) {
    raise(SIGSTOP);
  }
  return vk605::host::RealRename()(from, to);
}
