// Several hosts at once: two processes sharing the system-wide mutexes, eight threads of one host, and a
// host killed while it holds "UniCommMutex".
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "host_process.h"
#include "host_test.h"

namespace vk605::host {
namespace {

using SeveralHosts = HostTest;

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
    int result = VK605_EXPORT(driver, PerformMeasurement)(spectra);
    Check(result == 0, who + ": measurement " + std::to_string(i) + " returned " + std::to_string(result));
    Check(spectra[0] == Percent(first) && spectra[4] == Percent(first), who + ": 400 nm");
    Check(spectra[34] == Percent(last) && spectra[39] == Percent(last), who + ": 700 nm");
  }
}

int Count(const std::vector<std::string>& commands, const std::string& escaped) {
  int count = 0;
  for (const std::string& c : commands) count += c == escaped ? 1 : 0;
  return count;
}

// Two host processes, each with its own instrument, measuring at the same time: the named mutexes live in
// the one runtime directory both use, and each host still gets its own instrument's spectra.
TEST_F(SeveralHosts, TwoProcessesMeasureTheirOwnInstrumentsAtOnce) {
  SimProcess& sim_a = StartSim();
  SimProcess& sim_b = StartSim({"--spectrum", SecondSample()});
  WriteDriverIni(Path("a"), sim_a.Device());
  WriteDriverIni(Path("b"), sim_b.Device());
  HostProcess a(Dir().Path(), Path("a"),
                [&](Driver& driver) { MeasureTimes(driver, 3, 52.31f, 80.21f, "host a"); });
  HostProcess b(Dir().Path(), Path("b"),
                [&](Driver& driver) { MeasureTimes(driver, 3, 20.50f, 50.50f, "host b"); });
  EXPECT_EQ(a.Wait(kHostTimeoutMs), 0);
  EXPECT_EQ(b.Wait(kHostTimeoutMs), 0);
  EXPECT_EQ(Count(sim_a.Commands(), "104GF\\r"), 3);
  EXPECT_EQ(Count(sim_b.Commands(), "104GF\\r"), 3);
  EXPECT_TRUE(std::filesystem::exists(Path("run") / "vk605" / "UniCommMutex.lock"));
  EXPECT_TRUE(std::filesystem::exists(Path("run") / "vk605" / "MeasurementMutex.lock"));
}

// Host a waits for a measure reply that never comes, holding "UniCommMutex" inside its exchange; host b's
// first exchange waits for that lock (the kernel's lock table shows b queued behind a, and b's instrument
// has heard nothing). Killed, host a leaves the mutex to the kernel, and host b carries on.
TEST_F(SeveralHosts, HostKilledHoldingUniCommMutexReleasesIt) {
  SimProcess& sim_a = StartSim({"--silent", "RM"});
  SimProcess& sim_b = StartSim({"--spectrum", SecondSample()});
  WriteDriverIni(Path("a"), sim_a.Device());
  WriteDriverIni(Path("b"), sim_b.Device());
  const std::filesystem::path lock = Path("run") / "vk605" / "UniCommMutex.lock";
  HostProcess a(Dir().Path(), Path("a"), [&](Driver& driver) {
    double spectra[40] = {};
    VK605_EXPORT(driver, PerformMeasurement)(spectra);
  });
  ASSERT_TRUE(WaitForCommand(sim_a, "RM\\r"));
  ASSERT_EQ(FlockProcesses(lock, FlockState::kHolding), std::vector<pid_t>{a.Pid()});
  HostProcess b(Dir().Path(), Path("b"), [&](Driver& driver) {
    HOST_CHECK_EQ(VK605_EXPORT(driver, InitializeDriver)(), 0);
    MeasureTimes(driver, 1, 20.50f, 50.50f, "host b");
  });
  // Host b waits in the mutex's queue: asleep on the queue entry of host a.
  const std::filesystem::path queue = Path("run") / "vk605" / "UniCommMutex.queue";
  ASSERT_TRUE(WaitFor([&] {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(queue, error)) {
      if (FlockProcesses(entry.path(), FlockState::kWaiting) == std::vector<pid_t>{b.Pid()}) return true;
    }
    return false;
  })) << "host b never queued for UniCommMutex";
  EXPECT_EQ(Joined(sim_b.Commands()), "") << "host b exchanged while host a held UniCommMutex";
  a.Kill(SIGKILL);
  EXPECT_EQ(a.Wait(kHostTimeoutMs), 100 + SIGKILL);
  EXPECT_EQ(b.Wait(kHostTimeoutMs), 0);
  std::vector<std::string> commands = sim_b.Commands();
  ASSERT_FALSE(commands.empty());
  EXPECT_EQ(commands.front(), "\\r");
  EXPECT_EQ(Count(commands, "104GF\\r"), 1);
}

// Four hosts share one instrument with the port opened only around each exchange (HOLD_PORT_OPEN=0) and
// connect at the same time. The connect's test open used to run outside "UniCommMutex", so it met another
// host's exchange holding the port and failed with 111; now it waits its turn like every exchange.
TEST_F(SeveralHosts, FourHostsConnectToASharedPortAtOnce) {
  SimProcess& sim = StartSim();
  std::vector<std::unique_ptr<HostProcess>> hosts;
  for (int i = 0; i < 4; ++i) {
    std::filesystem::path directory = Path("host" + std::to_string(i));
    WriteDriverIni(directory, sim.Device(), "HOLD_PORT_OPEN=0\r\n");
    hosts.push_back(std::make_unique<HostProcess>(Dir().Path(), directory, [](Driver& driver) {
      VK605_EXPORT(driver, DisableDriverUI)();
      HOST_CHECK_EQ(VK605_EXPORT(driver, InitializeDriver)(), 0);
      char identification[64] = {};
      VK605_EXPORT(driver, ReadHead)(0, nullptr, nullptr, identification);
      HOST_CHECK_EQ(std::string(identification), "VK60512345");
      HOST_CHECK(Script().boxes.empty());
    }));
  }
  for (int i = 0; i < 4; ++i) EXPECT_EQ(hosts[i]->Wait(kHostTimeoutMs), 0) << "host " << i;
  EXPECT_EQ(Count(sim.Commands(), "00SN\\r"), 4);
}

// Eight threads of one host: two measure, the others refresh the status through the instrument, read the
// stored status texts, the cached firmware version and plain settings. Every call gets its exact answer.
TEST_F(SeveralHosts, EightThreadsOfOneHost) {
  SimProcess& sim = StartInstrument({"--trigger-never"});
  int failures = RunHost([&](Driver& driver) {
    HOST_CHECK_EQ(VK605_EXPORT(driver, InitializeDriver)(), 0);
    const int specular = VK605_EXPORT(driver, GetSpecularComponent)();
    const int uv_included = VK605_EXPORT(driver, IsUVIncluded)();
    const int aperture = VK605_EXPORT(driver, GetApertureSize)();
    HOST_CHECK_EQ(specular, 1);  // "CREILL": index 2 'E', specular excluded
    sim.ClearRecord();
    auto text_of = [](decltype(&::GetPort) text_export, const char* name) {
      char text[8192] = {};
      int result = text_export(text);
      Check(result == 0, std::string(name) + " returned " + std::to_string(result));
      return std::string(text);
    };
#define TEXT_OF(name) text_of(VK605_EXPORT(driver, name), #name)
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t) {
      threads.emplace_back(
          [&, t] { MeasureTimes(driver, 2, 52.31f, 80.21f, "thread " + std::to_string(t)); });
    }
    for (int t = 2; t < 4; ++t) {
      threads.emplace_back([&] {
        for (int i = 0; i < 4; ++i) HOST_CHECK_EQ(VK605_EXPORT(driver, GetSpecularComponent)(), specular);
      });
    }
    threads.emplace_back([&] {
      for (int i = 0; i < 4; ++i) HOST_CHECK_EQ(VK605_EXPORT(driver, IsUVIncluded)(), uv_included);
      // The flags status queries and measurements write while this thread reads them.
      for (int i = 0; i < 50; ++i) {
        HOST_CHECK_EQ(VK605_EXPORT(driver, GetApertureSize)(), aperture);
        HOST_CHECK_EQ(VK605_EXPORT(driver, IsProfiled)(), 0);
        HOST_CHECK_EQ(VK605_EXPORT(driver, SetVSAVMode)(1), 0);
        const int vsav = VK605_EXPORT(driver, GetVSAVMode)();
        HOST_CHECK(vsav == 0 || vsav == 1);
      }
    });
    threads.emplace_back([&] {
      for (int i = 0; i < 50; ++i) {
        HOST_CHECK_EQ(TEXT_OF(GetInstrumentStatus), std::string("CREILL"));
        HOST_CHECK_EQ(TEXT_OF(GetMeasurementStatus), std::string("CREILL"));
        HOST_CHECK_EQ(TEXT_OF(GetCalibrationStatus), std::string("CREILL"));
      }
    });
    threads.emplace_back([&] {
      for (int i = 0; i < 50; ++i) HOST_CHECK_EQ(TEXT_OF(GetFirmwareVersion), std::string("VK605 V1.07"));
    });
    threads.emplace_back([&] {
      for (int i = 0; i < 200; ++i) {
        HOST_CHECK_EQ(VK605_EXPORT(driver, GetWavelengthCount)(), 40);
        HOST_CHECK_EQ(VK605_EXPORT(driver, GetStartingWavelength)(), 360);
        HOST_CHECK_EQ(VK605_EXPORT(driver, GetBaudRate)(), 9600);
        HOST_CHECK_EQ(TEXT_OF(GetPort), sim.Device());
      }
    });
#undef TEXT_OF
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
