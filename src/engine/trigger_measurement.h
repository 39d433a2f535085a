#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/engine_context.h"
#include "engine/protocol_replies.h"

namespace vk605 {

// What one trigger worker shares with the thread that waits for it. Each trigger has its own, so a
// worker left behind by an abort can never write into a later measurement.
struct TriggerJob {
  std::mutex mutex;
  std::condition_variable finished;
  bool running = true;
  bool abandoned = false;
  // Set with abandoned: the worker starts no further exchange or pause.
  std::atomic<bool> stopping{false};
  // Set when the driver unloads: the exchange under way gives up at once too.
  std::atomic<bool> cancel{false};
  int result = 0;
  double spectra[kSpectrumPoints] = {};
  std::string status;
};

// Worker threads of triggered measurements left behind by an abort. Such a worker finishes the exchange
// under way (the instrument's reply must not fall into the next exchange) and starts nothing more; when
// the driver unloads, JoinAll cancels that exchange too, so the unload does not wait for it.
class TriggerWorkers {
 public:
  TriggerWorkers() = default;
  ~TriggerWorkers();
  TriggerWorkers(const TriggerWorkers&) = delete;
  TriggerWorkers& operator=(const TriggerWorkers&) = delete;

  void Adopt(std::thread worker, std::shared_ptr<TriggerJob> job);
  // Cancels the exchanges of the workers adopted so far.
  void CancelAll();
  // Cancels, then waits for every worker adopted so far.
  void JoinAll();

 private:
  std::mutex mutex_;
  std::vector<std::pair<std::thread, std::shared_ptr<TriggerJob>>> workers_;
};

// A measurement the operator starts at the instrument: the worker arms the instrument and waits up to
// 30 s for its "<00>", then reads the spectrum, while the calling thread shows the wait dialog (when
// options points to a non-zero value) and returns 122 at once when its "Abort Measurement" is pressed.
int TriggerMeasurement(EngineContext& context, TriggerWorkers& workers, int* options, double* spectra,
                       char* text);

// The worker's body (runs on its own thread).
void RunTriggerWorker(EngineContext& context, const std::shared_ptr<TriggerJob>& job);

}  // namespace vk605
