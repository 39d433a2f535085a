// Several hosts at once: two processes sharing the system-wide mutexes, eight threads of one host, and a
// host killed while it holds "UniCommMutex".
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <thread>
#include <vector>

#include "host_harness.h"
#include "host_process.h"
#include "sim_process.h"

namespace vk605::host {
namespace {

using IntFn = int();
using MeasureFn = int(double*);
using TextFn = int(char*);

constexpr int kHostTimeoutMs = 90000;

// A sample of the second instrument, unlike the simulator's default: 20.50 % at 400 nm rising by 1 % per
// step to 50.50 % at 700 nm.
std::string SecondSample() {
  std::string values;
  for (int i = 0; i < 31; ++i) values += (i == 0 ? "" : ",") + std::to_string(20 + i) + ".50";
  return values;
}

void MeasureTimes(const Driver& driver, int times, float first, float last, const std::string& who) {
  for (int i = 0; i < times; ++i) {
    double spectra[40] = {};
    int result = driver.Fn<MeasureFn>("PerformMeasurement")(spectra);
    Check(result == 0, who + ": measurement " + std::to_string(i) + " returned " + std::to_string(result));
    Check(spectra[0] == Percent(first) && spectra[4] == Percent(first), who + ": 400 nm");
    Check(spectra[34] == Percent(last) && spectra[39] == Percent(last), who + ": 700 nm");
  }
}

bool WaitForCommand(SimProcess& sim, const std::string& escaped) {
  for (int i = 0; i < 6000; ++i) {
    if (Joined(sim.Commands()).find(escaped) != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

int Count(const std::vector<std::string>& commands, const std::string& escaped) {
  int count = 0;
  for (const std::string& c : commands) count += c == escaped ? 1 : 0;
  return count;
}

// Two host processes, each with its own instrument, measuring at the same time: the named mutexes live in
// the one runtime directory both use, and each host still gets its own instrument's spectra.
TEST(SeveralHosts, TwoProcessesMeasureTheirOwnInstrumentsAtOnce) {
  TempDir shared;
  TempDir sim_dir_a;
  TempDir sim_dir_b;
  SimProcess sim_a(sim_dir_a);
  SimProcess sim_b(sim_dir_b, {"--spectrum", SecondSample()});
  WriteDriverIni(shared / "a", sim_a.Device());
  WriteDriverIni(shared / "b", sim_b.Device());
  HostProcess a(shared, [&] {
    Driver driver(shared / "a");
    InstallScriptedUi(driver);
    MeasureTimes(driver, 3, 52.31f, 80.21f, "host a");
  });
  HostProcess b(shared, [&] {
    Driver driver(shared / "b");
    InstallScriptedUi(driver);
    MeasureTimes(driver, 3, 20.50f, 50.50f, "host b");
  });
  EXPECT_EQ(a.Wait(kHostTimeoutMs), 0);
  EXPECT_EQ(b.Wait(kHostTimeoutMs), 0);
  EXPECT_EQ(Count(sim_a.Commands(), "104GF\\r"), 3);
  EXPECT_EQ(Count(sim_b.Commands(), "104GF\\r"), 3);
  EXPECT_TRUE(std::filesystem::exists(shared / "run" / "vk605" / "UniCommMutex.lock"));
  EXPECT_TRUE(std::filesystem::exists(shared / "run" / "vk605" / "MeasurementMutex.lock"));
}

// Host a waits for a measure reply that never comes, holding "UniCommMutex" inside its exchange; host b's
// first exchange waits for it. Killed, host a leaves the mutex to the kernel, and host b carries on.
TEST(SeveralHosts, HostKilledHoldingUniCommMutexReleasesIt) {
  TempDir shared;
  TempDir sim_dir_a;
  TempDir sim_dir_b;
  SimProcess sim_a(sim_dir_a, {"--silent", "RM"});
  SimProcess sim_b(sim_dir_b, {"--spectrum", SecondSample()});
  WriteDriverIni(shared / "a", sim_a.Device());
  WriteDriverIni(shared / "b", sim_b.Device());
  HostProcess a(shared, [&] {
    Driver driver(shared / "a");
    InstallScriptedUi(driver);
    double spectra[40] = {};
    driver.Fn<MeasureFn>("PerformMeasurement")(spectra);
  });
  ASSERT_TRUE(WaitForCommand(sim_a, "RM\\r"));
  HostProcess b(shared, [&] {
    Driver driver(shared / "b");
    InstallScriptedUi(driver);
    HOST_CHECK_EQ(driver.Fn<IntFn>("InitializeDriver")(), 0);
    MeasureTimes(driver, 1, 20.50f, 50.50f, "host b");
  });
  // Long enough for host b to load the driver and reach its first exchange many times over.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(Joined(sim_b.Commands()), "") << "host b exchanged while host a held UniCommMutex";
  a.Kill(SIGKILL);
  EXPECT_EQ(a.Wait(kHostTimeoutMs), 100 + SIGKILL);
  EXPECT_EQ(b.Wait(kHostTimeoutMs), 0);
  std::vector<std::string> commands = sim_b.Commands();
  ASSERT_FALSE(commands.empty());
  EXPECT_EQ(commands.front(), "\\r");
  EXPECT_EQ(Count(commands, "104GF\\r"), 1);
}

// Eight threads of one host: two measure, the others refresh the status through the instrument, read the
// stored status texts, the cached firmware version and plain settings. Every call gets its exact answer.
TEST(SeveralHosts, EightThreadsOfOneHost) {
  TempDir dir;
  SimProcess sim(dir, {"--trigger-never"});
  WriteDriverIni(dir.Path(), sim.Device());
  int failures = RunHost(dir, [&] {
    Driver driver(dir.Path());
    InstallScriptedUi(driver);
    HOST_CHECK_EQ(driver.Fn<IntFn>("InitializeDriver")(), 0);
    const int specular = driver.Fn<IntFn>("GetSpecularComponent")();
    const int uv_included = driver.Fn<IntFn>("IsUVIncluded")();
    const int aperture = driver.Fn<IntFn>("GetApertureSize")();
    HOST_CHECK_EQ(specular, 1);  // "CREILL": index 2 'E', specular excluded
    sim.ClearRecord();
    auto text_of = [&driver](const char* name) {
      char text[8192] = {};
      int result = driver.Fn<TextFn>(name)(text);
      Check(result == 0, std::string(name) + " returned " + std::to_string(result));
      return std::string(text);
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t) {
      threads.emplace_back(
          [&, t] { MeasureTimes(driver, 2, 52.31f, 80.21f, "thread " + std::to_string(t)); });
    }
    for (int t = 2; t < 4; ++t) {
      threads.emplace_back([&] {
        for (int i = 0; i < 4; ++i) HOST_CHECK_EQ(driver.Fn<IntFn>("GetSpecularComponent")(), specular);
      });
    }
    threads.emplace_back([&] {
      for (int i = 0; i < 4; ++i) HOST_CHECK_EQ(driver.Fn<IntFn>("IsUVIncluded")(), uv_included);
      // The flags status queries and measurements write while this thread reads them.
      for (int i = 0; i < 50; ++i) {
        HOST_CHECK_EQ(driver.Fn<IntFn>("GetApertureSize")(), aperture);
        HOST_CHECK_EQ(driver.Fn<IntFn>("IsProfiled")(), 0);
        HOST_CHECK_EQ(driver.Fn<int(int)>("SetVSAVMode")(1), 0);
        const int vsav = driver.Fn<IntFn>("GetVSAVMode")();
        HOST_CHECK(vsav == 0 || vsav == 1);
      }
    });
    threads.emplace_back([&] {
      for (int i = 0; i < 50; ++i) {
        HOST_CHECK_EQ(text_of("GetInstrumentStatus"), std::string("CREILL"));
        HOST_CHECK_EQ(text_of("GetMeasurementStatus"), std::string("CREILL"));
        HOST_CHECK_EQ(text_of("GetCalibrationStatus"), std::string("CREILL"));
      }
    });
    threads.emplace_back([&] {
      for (int i = 0; i < 50; ++i) HOST_CHECK_EQ(text_of("GetFirmwareVersion"), std::string("VK605 V1.07"));
    });
    threads.emplace_back([&] {
      for (int i = 0; i < 200; ++i) {
        HOST_CHECK_EQ(driver.Fn<IntFn>("GetWavelengthCount")(), 40);
        HOST_CHECK_EQ(driver.Fn<IntFn>("GetStartingWavelength")(), 360);
        HOST_CHECK_EQ(driver.Fn<IntFn>("GetBaudRate")(), 9600);
        HOST_CHECK_EQ(text_of("GetPort"), sim.Device());
      }
    });
    for (std::thread& thread : threads) thread.join();
    std::vector<std::string> commands = sim.Commands();
    HOST_CHECK_EQ(Count(commands, "RM\\r"), 4);
    HOST_CHECK_EQ(Count(commands, "104GF\\r"), 4);
    HOST_CHECK(Script().boxes.empty());
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

}  // namespace
}  // namespace vk605::host
