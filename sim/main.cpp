// vk605-sim: a VK605 spectrophotometer on a pseudo-terminal, for tests, demos and host development.

#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "command_line.h"
#include "control_interpreter.h"
#include "control_server.h"
#include "instrument_model.h"
#include "platform/file_io.h"
#include "pseudo_terminal.h"
#include "pty_server.h"
#include "record_file.h"

namespace {

using vk605::sim::CommandLine;
using vk605::sim::CommandLineOptions;

vk605::sim::PtyServer* g_server = nullptr;

void OnStopSignal(int) {
  if (g_server != nullptr) g_server->RequestStop();
}

void InstallSignalHandlers() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  action.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &action, nullptr);
}

int Fail(const std::string& error) {
  std::fprintf(stderr, "vk605-sim: %s\n", error.c_str());
  return 1;
}

bool WritePortFile(const std::string& path, int port, std::string& error) {
  if (std::error_code failure = vk605::ReplaceFileAtomically(path, std::to_string(port) + "\n")) {
    error = "cannot write the control port to " + path + ": " + failure.message();
    return false;
  }
  return true;
}

int Run(const CommandLineOptions& options) {
  std::string error;
  vk605::sim::InstrumentModel model(options.settings);
  vk605::sim::PseudoTerminal terminal;
  if (!terminal.Open(error)) return Fail(error);
  if (!options.link_path.empty() && !terminal.Link(options.link_path, error)) return Fail(error);
  vk605::sim::ControlInterpreter interpreter(model, options.settings);
  interpreter.SetPlugHandler([&terminal](bool plugged) -> std::optional<std::string> {
    std::string plug_error;
    if (!plugged) {
      terminal.Unplug();
    } else if (!terminal.Replug(plug_error)) {
      return plug_error;
    }
    return std::nullopt;
  });
  std::unique_ptr<vk605::sim::ControlServer> control;
  int control_port = 0;
  if (!options.control_path.empty()) {
    control = std::make_unique<vk605::sim::ControlServer>(interpreter);
    if (!control->Listen(options.control_path, error)) return Fail(error);
  } else if (!options.control_port_file.empty()) {
    control = std::make_unique<vk605::sim::ControlServer>(interpreter);
    if (!control->ListenLoopback(control_port, error)) return Fail(error);
  }
  std::unique_ptr<vk605::sim::RecordFile> record;
  if (!options.record_path.empty()) {
    record = std::make_unique<vk605::sim::RecordFile>(options.record_path);
    if (!record->Write(model.Commands(), error)) return Fail(error);
  }
  vk605::sim::PtyServer server({model, terminal, control.get(), record.get(), options.verbose});
  if (!server.IsReady(error)) return Fail(error);
  g_server = &server;
  InstallSignalHandlers();
  // The port file appears complete (renamed into place) only once everything is ready, like the first line.
  if (!options.control_port_file.empty() && !WritePortFile(options.control_port_file, control_port, error)) {
    return Fail(error);
  }
  // The first line tells the caller that the device, the link, the socket and the record are ready.
  std::printf("%s\n", terminal.SlavePath().c_str());
  std::fflush(stdout);
  const bool served = server.Serve(error);
  g_server = nullptr;
  return served ? 0 : Fail(error);
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const std::optional<CommandLineOptions> options =
      CommandLine::Parse(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!options) {
    std::fprintf(stderr, "vk605-sim: %s\nTry 'vk605-sim --help'.\n", error.c_str());
    return 2;
  }
  if (options->help) {
    std::fputs(CommandLine::Help().c_str(), stdout);
    return 0;
  }
  return Run(*options);
}
