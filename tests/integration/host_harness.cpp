#include "host_harness.h"
#include "leak_check.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>
#include <random>

namespace vk605::host {
namespace {

std::atomic<int> g_failures{0};
UiScript g_script;

int ScriptMessageBox(void*, const char* text, const char* caption, unsigned type) {
  g_script.boxes.push_back({text ? text : "", caption ? caption : "", type});
  if (g_script.answers.empty()) return g_script.default_answer;
  int answer = g_script.answers.front();
  g_script.answers.pop_front();
  return answer;
}

void* ScriptOpenDialog(void*, const char* caption, const char* text, const char* button) {
  g_script.dialog_events.push_back(std::string("open:") + caption + "|" + text + "|" + button);
  return &g_script;
}

void ScriptSetDialogText(void*, void*, const char* text) {
  g_script.dialog_events.push_back(std::string("text:") + text);
}

int ScriptPollDialog(void*, void*) {
  ++g_script.polls;
  usleep(1000);
  return g_script.press_after_polls > 0 && g_script.polls >= g_script.press_after_polls;
}

void ScriptCloseDialog(void*, void*) {
  g_script.dialog_events.push_back("close");
}

std::string Trim(const std::string& s) {
  std::size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  std::size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

TempDir::TempDir() {
  std::random_device rd;
  path_ = std::filesystem::temp_directory_path() /
          ("vk605-host-" + std::to_string(getpid()) + "-" + std::to_string(rd()));
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream os;
  os << in.rdbuf();
  return os.str();
}

void WriteFile(const std::filesystem::path& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

std::map<std::string, std::string> IniSection(const std::filesystem::path& path, const std::string& section) {
  std::map<std::string, std::string> values;
  std::istringstream in(ReadFile(path));
  std::string line;
  bool inside = false;
  while (std::getline(in, line)) {
    line = Trim(line);
    if (line.empty()) continue;
    if (line.front() == '[') {
      inside = Upper(line) == "[" + Upper(section) + "]";
      continue;
    }
    std::size_t eq = line.find('=');
    if (inside && eq != std::string::npos) {
      std::string key = Upper(Trim(line.substr(0, eq)));
      if (values.count(key) == 0) values[key] = Trim(line.substr(eq + 1));
    }
  }
  return values;
}

Driver::Driver(const std::filesystem::path& directory) : directory_(directory) {
  std::filesystem::path copy = directory / "libvk605.so";
  std::filesystem::copy_file(VK605_LIBRARY_PATH, copy, std::filesystem::copy_options::overwrite_existing);
  handle_ = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    std::fprintf(stderr, "dlopen failed: %s\n", dlerror());
    std::_Exit(91);
  }
}

Driver::~Driver() = default;

void Driver::Unload() {
  if (handle_ != nullptr) dlclose(handle_);
  handle_ = nullptr;
}

UiScript& Script() {
  return g_script;
}

void InstallScriptedUi(const Driver& driver) {
  static VK605UiHandler handler{sizeof(VK605UiHandler), nullptr,          ScriptMessageBox, ScriptOpenDialog,
                                ScriptSetDialogText,    ScriptPollDialog, ScriptCloseDialog};
  driver.Fn<int(const VK605UiHandler*)>("SetUserInterfaceHandler")(&handler);
}

void Check(bool condition, const std::string& what) {
  if (!condition) {
    ++g_failures;
    std::fprintf(stderr, "host check failed: %s\n", what.c_str());
  }
}

void EndHostWithoutUnload() {
  Check(!FoundLeaks(), "no memory leaked (LeakSanitizer report above)");
  std::fflush(stderr);
  std::_Exit(std::min(g_failures.load(), 80));
}

int RunHost(const TempDir& dir, const std::function<void()>& body) {
  std::fflush(stdout);
  std::fflush(stderr);
  pid_t pid = fork();
  if (pid == 0) {
    setenv("VK605_REGISTRY", (dir / "registry.ini").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (dir / "run").c_str(), 1);
    std::filesystem::create_directories(dir / "run");
    body();
    Check(!FoundLeaks(), "no memory leaked (LeakSanitizer report above)");
    std::fflush(stderr);
    std::_Exit(std::min(g_failures.load(), 80));
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFSIGNALED(status)) return 100 + WTERMSIG(status);
  return WEXITSTATUS(status);
}

}  // namespace vk605::host
