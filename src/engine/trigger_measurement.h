#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
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
  int result = 0;
  double spectra[kSpectrumPoints] = {};
  std::string status;
};

// Worker threads of triggered measurements; an aborted worker finishes its current exchange on its own
// and is joined here at the latest when the driver unloads.
class TriggerWorkers {
 public:
  TriggerWorkers() = default;
  ~TriggerWorkers();
  TriggerWorkers(const TriggerWorkers&) = delete;
  TriggerWorkers& operator=(const TriggerWorkers&) = delete;

  void Adopt(std::thread worker);
  void JoinAll();

 private:
  std::mutex mutex_;
  std::vector<std::thread> threads_;
};

// A measurement the operator starts at the instrument: the worker arms the instrument and waits up to
// 30 s for its "<00>", then reads the spectrum, while the calling thread shows the wait dialog (when
// options points to a non-zero value) and returns 122 at once when its "Abort Measurement" is pressed.
int TriggerMeasurement(EngineContext& context, TriggerWorkers& workers, int* options, double* spectra,
                       char* text);

// The worker's body (runs on its own thread).
void RunTriggerWorker(EngineContext& context, const std::shared_ptr<TriggerJob>& job);

}  // namespace vk605
