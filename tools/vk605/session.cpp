#include "session.h"

#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "base/ini_text.h"
#include "platform/file_io.h"
#include "text_format.h"
#include "tool_error.h"
#include "tool_paths.h"

namespace vk605::tool {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kTextBuffer = 8192;
constexpr std::size_t kPortLimit = 19;  // the driver keeps at most 19 characters of a port name
constexpr const char* kDriverKey = "Software\\Orvanta\\Spectrophotometers\\VK605";
constexpr const char* kModelName = "VK605";

std::string CallText(int (*fn)(char*)) {
  std::array<char, kTextBuffer> buffer{};
  fn(buffer.data());
  buffer.back() = '\0';
  return buffer.data();
}

// A port path the driver can hold: long /dev/serial/by-id names are replaced by the device they link to.
std::string UsablePort(const std::string& port) {
  if (port.size() <= kPortLimit) return port;
  std::error_code error;
  std::string target = fs::canonical(port, error).string();
  if (!error && target.size() <= kPortLimit) return target;
  throw ToolError(ExitCode::kUsage, "the driver keeps at most " + std::to_string(kPortLimit) +
                                        " characters of a port name; " + port +
                                        " is longer and links to no "
                                        "shorter device name");
}

}  // namespace

Session::Session(const GlobalOptions& options) : options_(options) {
  if (!options.trace.empty()) PrepareTrace(options.trace);
  std::string driver_path = LocateDriver(options.driver);
  if (options.simulate) {
    std::vector<std::string> sim_args = options.sim_args;
    simulator_ = std::make_unique<SimulatorProcess>(LocateSimulator(options.simulator), sim_args);
    driver_path = PrepareSimulatedDriver(driver_path);
  }
  PromptPolicy policy;
  policy.interactive = !options.non_interactive && ::isatty(STDIN_FILENO) == 1 && !options.yes && !options.ok;
  policy.yes = options.yes;
  policy.ok = options.ok;
  ui_ = std::make_unique<TerminalUi>(policy);
  driver_ = std::make_unique<DriverLibrary>(driver_path);
  settings_directory_ = tool::SettingsDirectory(driver_->Path());
  driver_->Api().SetUserInterfaceHandler(ui_->Handler());
  if (!options.port.empty()) {
    std::string port = UsablePort(options.port);
    port_to_restore_ = CallText(driver_->Api().GetPort);
    driver_->Api().SetPort(port.c_str());
  }
}

void Session::PrepareTrace(const std::string& file) {
  // A private copy of the registry stand-in that names the trace file: the driver reads it at load time,
  // and the user's own registry stays as it was.
  std::string content;
  std::string registry = RegistryFile();
  if (!registry.empty()) (void)ReadWholeFile(registry, content);
  IniText ini(content, SectionNames::kKeyPaths, IniStyle::kEdited);
  ini.Set(kDriverKey, "DiagnosticsFileName", Absolute(file));
  std::string pattern = (fs::temp_directory_path() / "vk605-registry-XXXXXX").string();
  int fd = ::mkstemp(pattern.data());
  if (fd < 0) throw ToolError(ExitCode::kFailure, "cannot create a temporary registry for --trace");
  ::close(fd);
  trace_registry_ = pattern;
  WriteFileOrFail(trace_registry_, ini.Serialise());
  if (const char* previous = std::getenv("VK605_REGISTRY")) saved_registry_env_ = previous;
  ::setenv("VK605_REGISTRY", trace_registry_.c_str(), 1);
}

std::string Session::PrepareSimulatedDriver(const std::string& driver_path) {
  // The simulated instrument gets a driver copy of its own, as a host application keeps one beside
  // itself: its VK605.INI names the simulator's pty, and its calibration record lasts from run to run.
  std::string directory = StateDirectory() + "/simulate";
  std::error_code error;
  fs::create_directories(directory, error);
  std::string copy = directory + "/libvk605.so";
  // Replaced as a whole, so a host that loads the copy meanwhile sees the old or the new library.
  std::string library;
  error = ReadWholeFile(driver_path, library);
  if (!error) error = ReplaceFileAtomically(copy, library);
  if (!error) {
    // The copy keeps the library's own permissions, as a copied file does.
    fs::perms mode = fs::status(driver_path, error).permissions();
    if (!error) fs::permissions(copy, mode, error);
  }
  if (error) {
    throw ToolError(ExitCode::kDriverUnavailable,
                    "cannot copy the driver " + driver_path + " to " + directory + ": " + error.message());
  }
  // The control panel's GTK plugin goes with the copy: the driver looks for it beside itself.
  const fs::path plugin = fs::path(driver_path).parent_path() / "libvk605-gtk.so";
  std::string plugin_bytes;
  if (fs::exists(plugin) && !ReadWholeFile(plugin.string(), plugin_bytes))
    (void)ReplaceFileAtomically(directory + "/libvk605-gtk.so", plugin_bytes);
  std::string settings_path = directory + "/VK605.INI";
  std::string content;
  (void)ReadWholeFile(settings_path, content);  // a missing or unreadable file starts empty
  IniText ini(content, SectionNames::kPlain, IniStyle::kEdited);
  ini.Set("MAIN", "PORT", simulator_->Device());
  WriteFileOrFail(settings_path, ini.Serialise());
  return copy;
}

std::string Session::SettingsDirectory() const {
  return settings_directory_;
}

std::string Session::Port() const {
  return CallText(driver_->Api().GetPort);
}

void Session::Initialize() {
  int result = Api().InitializeDriver();
  if (result == 0) return;
  if (Api().GetEmulationMode() != 0) {
    std::fprintf(stderr, "vk605: no instrument answered; the driver continues in emulation mode\n");
    return;
  }
  ResultMeaning meaning = DescribeResult(*this, result);
  throw ToolError(meaning.exit, meaning.text);
}

InstrumentIdentity Session::Identity() const {
  InstrumentIdentity identity;
  std::array<char, kTextBuffer> buffer{};
  int options = 0;
  // Code 0 once connected only copies the identification text the connect routine built.
  Api().ReadHead(0, nullptr, &options, buffer.data());
  buffer.back() = '\0';
  identity.identification = buffer.data();
  identity.model = kModelName;
  identity.serial = identity.identification.rfind(kModelName, 0) == 0
                        ? identity.identification.substr(std::string(kModelName).size())
                        : identity.identification;
  identity.firmware = CallText(Api().GetFirmwareVersion);
  std::string version = CallText(Api().GetDriverVersion);
  const std::string prefix = "Product Version: ";
  identity.driver_version = version.rfind(prefix, 0) == 0 ? version.substr(prefix.size()) : version;
  return identity;
}

std::string Session::ErrorMessage(int message_code) const {
  std::array<char, kTextBuffer> buffer{};
  Api().GetErrorMessage(message_code, buffer.data());
  buffer.back() = '\0';
  return buffer.data();
}

void Session::Close() {
  if (driver_) {
    std::fflush(stdout);
    // The driver's exit sequence resets the instrument and waits: say so rather than seem to hang.
    std::fprintf(stderr, "vk605: resetting the instrument and unloading the driver (about 5 s)\n");
    auto started = std::chrono::steady_clock::now();
    driver_->Unload();
    std::fprintf(
        stderr, "  unloaded after %s s\n",
        FormatFixed(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(), 1)
            .c_str());
    driver_.reset();
  }
  if (port_to_restore_) {
    // The driver wrote the session's port back at unload; the configured one goes back in its place.
    std::string path = settings_directory_ + "/VK605.INI";
    std::string content;
    if (!ReadWholeFile(path, content)) {
      IniText ini(content, SectionNames::kPlain, IniStyle::kEdited);
      ini.Set("MAIN", "PORT", *port_to_restore_);
      try {
        WriteFileOrFail(path, ini.Serialise());
      } catch (const ToolError& error) {
        std::fprintf(stderr, "vk605: %s\n", error.what());
      }
    }
    port_to_restore_.reset();
  }
  if (!trace_registry_.empty()) {
    std::remove(trace_registry_.c_str());
    trace_registry_.clear();
    if (saved_registry_env_) {
      ::setenv("VK605_REGISTRY", saved_registry_env_->c_str(), 1);
    } else {
      ::unsetenv("VK605_REGISTRY");
    }
  }
  simulator_.reset();
}

Session::~Session() {
  Close();
}

ResultMeaning DescribeResult(const Session& session, int result) {
  auto with_code = [&](const std::string& text) {
    return (text.empty() ? std::string("failed") : text) + " (driver result " + std::to_string(result) + ")";
  };
  switch (result) {
    case 2:
      return {ExitCode::kNoInstrument, with_code(session.ErrorMessage(1001)) + " on port " + session.Port()};
    case 31:
    case 111:
      return {ExitCode::kNoInstrument, with_code(session.ErrorMessage(1016)) + " " + session.Port()};
    case 101:
      return {ExitCode::kNotCalibrated, with_code(session.ErrorMessage(2001))};
    case 122:
      return {ExitCode::kAborted,
              with_code("The triggered measurement was aborted or ended without a result.")};
    case 123:
      return {ExitCode::kCalibrationExpired,
              with_code("The calibration has expired; run vk605 calibrate, or relax the limits with "
                        "vk605 config set")};
    default:
      return {ExitCode::kFailure, with_code(result >= 1000 ? session.ErrorMessage(result) : std::string())};
  }
}

}  // namespace vk605::tool
