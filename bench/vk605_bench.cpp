// Speed of the driver against the zero-delay simulator, measured from a host's point of view: the built
// library is copied into a fresh directory and loaded with dlopen, and every operation goes through the
// exports. For each operation: wall time, the fixed waits the protocol prescribes for it, the time beyond
// them (per exchange), the CPU time of the whole host process as a share of the wall time, and the
// process's peak memory.
//
//   vk605_bench [--rounds N] [--library PATH] [--sim PATH] [--usb]
//
// --usb: the same operations with PORT=USB against the simulator's instrument model behind an emulated
// FT8U100AX bridge (umockdev, in this process). The bridge's thread runs in the host process, so the CPU
// column then includes the emulation's share as well as the driver's and libusb's.
//
// Exit status 1 when an operation fails or misses a target.
#include <dlfcn.h>
#include <sys/utsname.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench_host.h"
#include "emulated_usb_bridge.h"
#include "vk605/vk605.h"

namespace vk605::bench {
namespace {

// Targets: CPU under 2 % of the wall time; under 5 ms per exchange beyond the fixed waits (a whole
// measurement under 20 ms).
constexpr double kCpuShareLimit = 2.0;
constexpr double kBeyondPerExchangeLimitMs = 5.0;
constexpr double kBeyondMeasurementLimitMs = 20.0;

int g_message_boxes = 0;

int CountMessageBox(void*, const char* text, const char*, unsigned int) {
  ++g_message_boxes;
  std::fprintf(stderr, "unexpected message box: %s\n", text);
  return 1;
}
void* OpenDialog(void*, const char*, const char*, const char*) {
  static int dialog;
  return &dialog;
}
void SetDialogText(void*, void*, const char*) {}
int PollDialog(void*, void*) {
  return 0;
}
void CloseDialog(void*, void*) {}

struct Operation {
  std::string name;
  double fixed_ms;   // fixed waits of one run
  int runs;          // runs measured together
  bool whole_limit;  // beyond-fixed target for the whole operation instead of per exchange
  std::function<int()> run;
  std::function<void()> prepare = [] {};  // untimed, before the runs
};

struct Row {
  std::string name;
  int runs = 0;
  std::size_t exchanges = 0;
  double wall_ms = 0, fixed_ms = 0, cpu_ms = 0;
  long rss_kb = 0;
  int result = 0;
  bool whole_limit = false;
};

std::string MachineText() {
  std::string model;
  std::ifstream cpuinfo("/proc/cpuinfo");
  for (std::string line; std::getline(cpuinfo, line);) {
    if (line.rfind("model name", 0) == 0) {
      model = line.substr(line.find(':') + 2);
      break;
    }
  }
  utsname names{};
  ::uname(&names);
  return model + ", " + std::to_string(std::thread::hardware_concurrency()) + " CPUs, Linux " + names.release;
}

int Run(int rounds, const std::string& library, const std::string& simulator, bool usb) {
  TempDir dir;
  if (dir.Path().empty()) return 2;
  const std::string root = dir.Path();
  for (const char* sub : {"/config", "/run"}) std::filesystem::create_directories(root + sub);
  ::setenv("VK605_REGISTRY", (root + "/registry.ini").c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
  ::setenv("XDG_RUNTIME_DIR", (root + "/run").c_str(), 1);

  // Zero reply delay (the default). The trigger is acknowledged 100 ms after it is armed: an
  // acknowledgement sent at once would arrive with the reply to the arming "\r" and be read (and lost)
  // as part of that exchange, as with a real instrument triggered within a millisecond. Any delay under
  // the acknowledgement read's 500 ms costs no extra time.
  std::unique_ptr<Simulator> pty_sim;
  std::unique_ptr<sim::EmulatedBridge> bridge;
  std::string port = "USB";
  std::size_t commands_seen = 0;
  std::function<std::size_t()> take_command_count;
  if (usb) {
    sim::SimSettings settings;
    // Acknowledged later than on the pty: over USB the arming exchange reads on until its reply is
    // complete, and an acknowledgement within it would be lost with that read.
    settings.trigger_after_ms = 300;
    bridge = std::make_unique<sim::EmulatedBridge>(settings);
    bridge->AddDevice();
    take_command_count = [&] {
      const std::size_t total = bridge->Commands().size();
      const std::size_t count = total - commands_seen;
      commands_seen = total;
      return count;
    };
  } else {
    pty_sim = std::make_unique<Simulator>(simulator, root + "/sim.sock",
                                          std::vector<std::string>{"--trigger-after-ms", "100"});
    if (!pty_sim->Started()) {
      std::fprintf(stderr, "vk605_bench: cannot start %s\n", simulator.c_str());
      return 2;
    }
    port = pty_sim->Device();
    take_command_count = [&] { return pty_sim->TakeCommandCount(); };
  }
  std::ofstream(root + "/VK605.INI") << "[MAIN]\r\nPORT=" << port << "\r\n";
  const std::string copy = root + "/libvk605.so";
  std::filesystem::copy_file(library, copy);
  static const VK605UiHandler handler{sizeof(VK605UiHandler), nullptr,    CountMessageBox, OpenDialog,
                                      SetDialogText,          PollDialog, CloseDialog};
  void* handle = nullptr;
  int (*initialize)() = nullptr;
  unsigned (*read_head)(unsigned, double*, int*, char*) = nullptr;
  int (*measure)(double*) = nullptr;
  int (*remote)(double*) = nullptr;
  auto fn = [&handle](const char* name) {
    void* symbol = ::dlsym(handle, name);
    if (symbol == nullptr) {
      std::fprintf(stderr, "vk605_bench: missing export %s\n", name);
      std::exit(2);
    }
    return symbol;
  };
  // Loads the library like a host; a reload runs the driver's exit sequence first and then starts afresh
  // with the files the first run left.
  auto load = [&] {
    if (handle != nullptr) ::dlclose(handle);
    handle = ::dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      std::fprintf(stderr, "vk605_bench: dlopen failed: %s\n", ::dlerror());
      std::exit(2);
    }
    reinterpret_cast<int (*)(const VK605UiHandler*)>(fn("SetUserInterfaceHandler"))(&handler);
    initialize = reinterpret_cast<int (*)()>(fn("InitializeDriver"));
    read_head = reinterpret_cast<unsigned (*)(unsigned, double*, int*, char*)>(fn("ReadHead"));
    measure = reinterpret_cast<int (*)(double*)>(fn("PerformMeasurement"));
    remote = reinterpret_cast<int (*)(double*)>(fn("PerformRemoteMeasurement"));
  };
  load();

  static char text[8192];
  static double spectra[40];
  auto status_once = [&] { return static_cast<int>(read_head(2, nullptr, nullptr, text)); };
  // Fixed waits: connect 1000 ms wake-up + 1000 ms + 500 ms around the reset steps + 1000 ms in the
  // version query's wake-up; measurement 1000 ms wake-up + 200 ms before the spectral read; trigger
  // 1000 ms wake-up + 500 ms for the acknowledgement read (a one-line reply ends only at its time-out)
  // + 200 ms before the spectral read; status queries none.
  std::vector<Operation> operations = {
      // The first connect creates the calibration file <serial>.INI and writes each of its keys (one
      // durable write each); a later connect finds them all in place.
      {"first connect", 3500, 1, false, [&] { return initialize(); }},
      {"connect", 3500, 1, false, [&] { return initialize(); }, [&] { load(); }},
      {"status", 0, 10 * rounds, false, status_once},
      {"measurement", 1200, rounds, true, [&] { return measure(spectra); }},
      {"trigger", 1700, rounds, false, [&] { return remote(spectra); }},
      {"100 exchanges", 0, 1, false,
       [&] {
         int result = 0;
         for (int i = 0; i < 50 && result == 0; ++i) result = status_once();  // two exchanges each
         return result;
       }},
  };

  std::vector<Row> rows;
  for (const Operation& op : operations) {
    Row row;
    row.name = op.name;
    row.whole_limit = op.whole_limit;
    op.prepare();
    take_command_count();
    Sample before = Now();
    for (int i = 0; i < op.runs && row.result == 0; ++i) {
      row.result = op.run();
      row.runs = i + 1;
    }
    Sample after = Now();
    row.exchanges = take_command_count();
    row.wall_ms = after.wall_ms - before.wall_ms;
    row.cpu_ms = after.cpu_ms - before.cpu_ms;
    row.fixed_ms = op.fixed_ms * row.runs;
    row.rss_kb = after.max_rss_kb;
    rows.push_back(row);
  }

  std::printf("vk605 bench against the zero-delay simulator%s (%s)\n",
              usb ? " over USB (emulated FT8U100AX bridge; CPU includes the emulation's thread)" : "",
              MachineText().c_str());
  std::printf(
      "wall, fixed and beyond are per run; CPU is the host process (all threads) as a share of wall\n\n");
  std::printf(
      "| operation     | runs | exchanges/run | wall ms | fixed waits ms | beyond ms | beyond/exchange ms "
      "| CPU ms | CPU/exchange us | CPU %% of wall | peak RSS MB | result |\n");
  std::printf(
      "|---------------|-----:|--------------:|--------:|---------------:|----------:|-------------------:"
      "|-------:|----------------:|--------------:|------------:|--------|\n");
  bool all_ok = g_message_boxes == 0;
  for (const Row& row : rows) {
    double runs = row.runs;
    double exchanges = static_cast<double>(row.exchanges) / runs;
    double beyond = (row.wall_ms - row.fixed_ms) / runs;
    double per_exchange = exchanges > 0 ? beyond / exchanges : beyond;
    double cpu_share = row.wall_ms > 0 ? 100.0 * row.cpu_ms / row.wall_ms : 0.0;
    bool ok =
        row.result == 0 && cpu_share < kCpuShareLimit &&
        (row.whole_limit ? beyond < kBeyondMeasurementLimitMs : per_exchange < kBeyondPerExchangeLimitMs);
    all_ok = all_ok && ok;
    char verdict[64];
    if (row.result != 0) {
      std::snprintf(verdict, sizeof verdict, "FAILED (%d)", row.result);
    } else {
      std::snprintf(verdict, sizeof verdict, "%s", ok ? "ok" : "MISSED");
    }
    std::printf(
        "| %-13s | %4d | %13.1f | %7.1f | %14.0f | %9.1f | %18.2f | %6.1f | %15.0f | %13.2f | %11.1f | %-6s "
        "|\n",
        row.name.c_str(), row.runs, exchanges, row.wall_ms / runs, row.fixed_ms / runs, beyond, per_exchange,
        row.cpu_ms / runs, exchanges > 0 ? 1000.0 * row.cpu_ms / runs / exchanges : 0.0, cpu_share,
        static_cast<double>(row.rss_kb) / 1024.0, verdict);
  }
  std::printf(
      "\ntargets: CPU < %.0f %% of wall; beyond fixed waits < %.0f ms per exchange (measurement: < %.0f "
      "ms)\n",
      kCpuShareLimit, kBeyondPerExchangeLimitMs, kBeyondMeasurementLimitMs);
  if (g_message_boxes != 0) std::printf("%d unexpected message boxes\n", g_message_boxes);
  std::fflush(stdout);
  // The driver's unload talks to the instrument one last time: over USB while the emulated bridge still
  // answers (its testbed goes with this function).
  if (usb) ::dlclose(handle);
  return all_ok ? 0 : 1;
}

}  // namespace
}  // namespace vk605::bench

int main(int argc, char** argv) {
  int rounds = 3;
  std::string library = VK605_LIBRARY_PATH;
  std::string simulator = VK605_SIM_PATH;
  bool usb = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--usb") {
      usb = true;
    } else if (i + 1 < argc && arg == "--rounds") {
      rounds = std::max(1, std::atoi(argv[++i]));
    } else if (i + 1 < argc && arg == "--library") {
      library = argv[++i];
    } else if (i + 1 < argc && arg == "--sim") {
      simulator = argv[++i];
    } else {
      std::fprintf(stderr, "usage: vk605_bench [--rounds N] [--library PATH] [--sim PATH] [--usb]\n");
      return 2;
    }
  }
  if (usb && !vk605::sim::EnsureUmockdevPreload(argv)) return 2;
  return vk605::bench::Run(rounds, library, simulator, usb);
}
