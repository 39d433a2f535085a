#include "engine/trigger_measurement.h"

#include <array>
#include <chrono>
#include <cstring>
#include <system_error>

#include "engine/connection.h"
#include "engine/measurement.h"
#include "engine/result_code.h"
#include "ui/driver_strings.h"
#include "ui/msg_dlg.h"

namespace vk605 {
namespace {

constexpr std::uint64_t kAcknowledgementLimitMs = 30000;

bool IsAbandoned(const std::shared_ptr<TriggerJob>& job) {
  return job->stopping.load();
}

// The worker's pauses, in short steps so that an abandoned worker ends at once instead of sleeping on.
void Pause(EngineContext& ctx, const std::shared_ptr<TriggerJob>& job, std::uint32_t ms) {
  constexpr std::uint32_t kStepMs = 50;
  while (ms > 0 && !IsAbandoned(job)) {
    std::uint32_t step = ms < kStepMs ? ms : kStepMs;
    ctx.clock.WaitMs(step);
    ms -= step;
  }
}

// Polls the serial layer for the instrument's unsolicited "<00>": reads of up to three lines or 500 ms
// (the time-out the arming exchange left), each followed by a 50 ms pause, the last one included: with
// the worker's 200 ms the spectrum is asked for 250 ms after the acknowledgement was read. Each read
// keeps this process's other exchanges out, so an abandoned worker's read never takes the reply of the
// measurement that follows; other processes are not held up by the wait ("UniCommMutex" is not taken).
int WaitForAcknowledgement(EngineContext& ctx, const std::shared_ptr<TriggerJob>& job) {
  constexpr std::uint32_t kReadTimeoutMs = 500;
  constexpr std::uint32_t kReadLines = 3;
  constexpr std::uint32_t kPollPauseMs = 50;
  constexpr int kStillWaiting = -1;
  std::array<char, kReplyBufferSize> buffer{};
  const std::uint64_t start = ctx.clock.TickMs();
  for (;;) {
    if (IsAbandoned(job)) return result::kTriggerAborted;
    buffer.fill('\0');
    ctx.channel.ReadUnasked(kReadTimeoutMs, kReadLines, buffer.data());
    int outcome = kStillWaiting;
    if (IsAccepted(buffer.data())) {
      outcome = 0;
    } else if (ctx.clock.TickMs() - start > kAcknowledgementLimitMs) {
      outcome = result::kTriggerTimeout;
    }
    Pause(ctx, job, kPollPauseMs);
    if (outcome != kStillWaiting) return outcome;
  }
}

}  // namespace

TriggerWorkers::~TriggerWorkers() {
  JoinAll();
}

void TriggerWorkers::Adopt(std::thread worker, std::shared_ptr<TriggerJob> job) {
  std::lock_guard<std::mutex> lock(mutex_);
  workers_.emplace_back(std::move(worker), std::move(job));
}

void TriggerWorkers::CancelAll() {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto& worker : workers_) worker.second->cancel = true;
}

void TriggerWorkers::JoinAll() {
  std::vector<std::pair<std::thread, std::shared_ptr<TriggerJob>>> workers;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    workers.swap(workers_);
  }
  for (auto& worker : workers) worker.second->cancel = true;
  for (auto& worker : workers) {
    if (worker.first.joinable()) worker.first.join();
  }
}

void RunTriggerWorker(EngineContext& ctx, const std::shared_ptr<TriggerJob>& job) {
  Connection connection(ctx);
  // Cancelled at unload, the exchange under way gives up instead of waiting out its time-out (up to 25 s
  // for the spectrum), so the unload does not wait for a result no one takes.
  ScopedReadCancel cancel(job->cancel);
  std::array<char, kReplyBufferSize> reply{};
  // The port stays open for the whole trigger so the acknowledgement is not lost between reads. (Every
  // exchange sets its own reply-line count, so the worker leaves the channel's count alone.)
  ctx.channel.SetHoldPortOpenLocked(1);
  connection.Exchange(command::kWake, reply.data());
  Pause(ctx, job, 1000);  // the wake-up's second
  if (!IsAbandoned(job) && connection.Exchange(command::kMeasuringMode, reply.data()) == 0) {
    connection.Exchange(command::kTriggerArm, reply.data());
  }
  int result = WaitForAcknowledgement(ctx, job);
  double spectra[kSpectrumPoints] = {};
  char status[kTextBufferSize] = {};
  if (result == 0) {
    Pause(ctx, job, 200);
    result = IsAbandoned(job) ? result::kTriggerAborted : ReadSpectrum(connection, ctx.settings, spectra);
  }
  if (!IsAbandoned(job)) {
    CopyTextTo(ctx.state, ctx.state.MeasurementStatus, status);
    connection.QueryStatus(status);
  }
  ctx.channel.SetHoldPortOpenLocked(ctx.settings.HoldPortOpen);

  std::lock_guard<std::mutex> lock(job->mutex);
  if (!job->abandoned) {
    std::memcpy(job->spectra, spectra, sizeof(spectra));
    job->status = status;
  }
  job->result = result;
  job->running = false;
  job->finished.notify_all();
}

int TriggerMeasurement(EngineContext& ctx, TriggerWorkers& workers, int* options, double* spectra,
                       char* text) {
  ctx.log.LogLine("Start of Trigger Measurement");
  ctx.log.LogLine("Trigger command sent to spectrophotometer");
  CMsgDlg dialog(ctx.ui);
  ctx.log.LogLine("Create CMsgDlg object.");
  if (options != nullptr && *options != 0) {
    dialog.SetCaption(kDriverCaption);
    dialog.SetMessageText(text::kTriggerWait);
    dialog.SetButtonText(text::kAbortMeasurement);
    dialog.CreateModeless();
  }
  ctx.log.LogLine("Created CMsgDlg dialog and setting captions & text.");
  ctx.log.LogLine("About to create trigger thread.");

  auto job = std::make_shared<TriggerJob>();
  std::thread worker;
  try {
    worker = std::thread([&ctx, job] { RunTriggerWorker(ctx, job); });
  } catch (const std::system_error&) {
    ctx.ui.MessageBox(text::kTriggerThreadFailed, kDriverCaption, kMbOk);
    return result::kTriggerAborted;
  }
  ctx.log.LogLine("Trigger thread created.");

  // The calling thread keeps pumping its messages while it waits, with or without the window (a host's
  // window must not freeze for the 30 s); between steps it sleeps until the worker ends or 10 ms pass.
  std::unique_lock<std::mutex> lock(job->mutex);
  while (job->running && !dialog.IsDone()) {
    lock.unlock();
    dialog.PumpStep();
    lock.lock();
    if (job->running && !dialog.IsDone()) job->finished.wait_for(lock, std::chrono::milliseconds(10));
  }
  int result = result::kTriggerAborted;
  if (job->running) {
    // Aborted: the worker finishes the exchange under way (so the instrument's reply cannot fall into the
    // next one), discards what it read and ends on its own.
    job->abandoned = true;
    job->stopping = true;
    lock.unlock();
    workers.Adopt(std::move(worker), job);
  } else {
    lock.unlock();
    worker.join();
    StoreText(ctx.state, ctx.state.MeasurementStatus, job->status.c_str());
    if (!dialog.IsDone() && job->result == 0) {
      if (spectra != nullptr) std::memcpy(spectra, job->spectra, sizeof(job->spectra));
      StoreText(ctx.state, ctx.state.InstrumentStatus, job->status.c_str());
      CopyTextTo(ctx.state, ctx.state.MeasurementStatus, text);
      result = 0;
    }
  }
  dialog.DestroyWindow();
  return result;
}

}  // namespace vk605
