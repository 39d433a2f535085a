#include "host_harness.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstring>
#include <thread>

#include "base/ini_text.h"

namespace vk605::host {
namespace {

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
  g_script.opened = std::chrono::steady_clock::now();
  return &g_script;
}

void ScriptSetDialogText(void*, void*, const char* text) {
  g_script.dialog_events.push_back(std::string("text:") + text);
}

int ScriptPollDialog(void*, void*) {
  ++g_script.polls;
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const bool pressed_by_time =
      g_script.press_after_ms > 0 && std::chrono::steady_clock::now() - g_script.opened >=
                                         std::chrono::milliseconds(g_script.press_after_ms);
  return pressed_by_time || (g_script.press_after_polls > 0 && g_script.polls >= g_script.press_after_polls);
}

void ScriptCloseDialog(void*, void*) {
  g_script.dialog_events.push_back("close");
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

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

void WriteDriverIni(const std::filesystem::path& directory, const std::string& port,
                    const std::string& more_lines) {
  std::filesystem::create_directories(directory);
  WriteFile(directory / "VK605.INI", "[MAIN]\r\nPORT=" + port + "\r\n" + more_lines);
}

std::map<std::string, std::string> IniSection(const std::filesystem::path& path, const std::string& section) {
  std::map<std::string, std::string> values;
  // Read as the driver reads its files, so a test sees what the driver would.
  for (const IniEntry& entry : IniText(ReadFile(path)).Entries(section)) {
    values.emplace(Upper(entry.key), entry.value);
  }
  return values;
}

UiScript& Script() {
  return g_script;
}

void InstallScriptedUi(const Driver& driver) {
  static VK605UiHandler handler{sizeof(VK605UiHandler), nullptr,          ScriptMessageBox, ScriptOpenDialog,
                                ScriptSetDialogText,    ScriptPollDialog, ScriptCloseDialog};
  VK605_EXPORT(driver, SetUserInterfaceHandler)(&handler);
}

namespace {
std::atomic<int> g_host_failures{0};
}  // namespace

int HostFailures() {
  return g_host_failures.load();
}

void Check(bool condition, const std::string& what) {
  if (!condition) {
    ++g_host_failures;
    std::fprintf(stderr, "host check failed: %s\n", what.c_str());
  }
}

}  // namespace vk605::host
