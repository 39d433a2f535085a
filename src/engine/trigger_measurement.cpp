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
  std::lock_guard<std::mutex> lock(job->mutex);
  return job->abandoned;
}

// Polls the serial layer for the instrument's unsolicited "<00>": reads of up to three lines or 500 ms
// (the time-out the arming exchange left), each followed by a 50 ms pause, the last one included: with
// the worker's 200 ms the spectrum is asked for 250 ms after the acknowledgement was read. Each read
// holds the channel's lock, so an abandoned worker's read never takes the reply of the measurement that
// follows, and other exchanges get the line between reads.
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
    ctx.clock.WaitMs(kPollPauseMs);
    if (outcome != kStillWaiting) return outcome;
  }
}

}  // namespace

TriggerWorkers::~TriggerWorkers() {
  JoinAll();
}

void TriggerWorkers::Adopt(std::thread worker) {
  std::lock_guard<std::mutex> lock(mutex_);
  threads_.push_back(std::move(worker));
}

void TriggerWorkers::JoinAll() {
  std::vector<std::thread> threads;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    threads.swap(threads_);
  }
  for (std::thread& t : threads) {
    if (t.joinable()) t.join();
  }
}

void RunTriggerWorker(EngineContext& ctx, const std::shared_ptr<TriggerJob>& job) {
  Connection connection(ctx);
  std::array<char, kReplyBufferSize> reply{};
  // The port stays open for the whole trigger so the acknowledgement is not lost between reads. (Every
  // exchange sets its own reply-line count, so the worker leaves the channel's count alone.)
  ctx.channel.SetHoldPortOpenLocked(1);
  connection.WakeInstrument();
  if (connection.Exchange(command::kMeasuringMode, reply.data()) == 0) {
    connection.Exchange(command::kTriggerArm, reply.data());
  }
  int result = WaitForAcknowledgement(ctx, job);
  double spectra[kSpectrumPoints] = {};
  char status[kTextBufferSize] = {};
  if (result == 0) {
    ctx.clock.WaitMs(200);
    result = ReadSpectrum(connection, ctx.settings, spectra);
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

  std::unique_lock<std::mutex> lock(job->mutex);
  while (job->running && !dialog.IsDone()) {
    if (dialog.IsCreated()) {
      lock.unlock();
      dialog.PumpStep();
      lock.lock();
      job->finished.wait_for(lock, std::chrono::milliseconds(10));
    } else {
      job->finished.wait(lock);
    }
  }
  int result = result::kTriggerAborted;
  if (job->running) {
    // Aborted: the worker finishes its current exchange on its own and discards what it read.
    job->abandoned = true;
    lock.unlock();
    workers.Adopt(std::move(worker));
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
