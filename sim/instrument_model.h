#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "command_splitter.h"
#include "fault_shaper.h"
#include "output_queue.h"
#include "sim_settings.h"

namespace vk605::sim {

// The simulated VK605 instrument without any I/O: bytes from the driver go in, reply bytes come out when
// they are due. Time is passed in by the caller as milliseconds of a monotonic clock.
class InstrumentModel {
 public:
  // The record keeps the newest commands; when it grows past this, the older half is dropped.
  static constexpr std::size_t kMaxRecordedCommands = 65536;

  explicit InstrumentModel(SimSettings settings = {});

  // Bytes written by the driver, received at now_ms. Each command is executed at its CR.
  void Receive(std::string_view bytes, std::uint64_t now_ms);
  // Every output byte due at or before now_ms, in order.
  std::string TakeOutput(std::uint64_t now_ms);
  // When the next output byte is due; empty when nothing is waiting.
  std::optional<std::uint64_t> NextDueMs() const;

  // Every command received, in order, with its CR and the comma that followed it ("AT\r,").
  const std::vector<std::string>& Commands() const { return commands_; }
  void ClearCommands();
  // Changes whenever Commands() changes, so a front end can tell when to write the record out.
  std::uint64_t RecordGeneration() const { return record_generation_; }

  const SimSettings& Settings() const { return settings_; }
  // Applies one setting option (see SettingOptions) at run time; the error text when it is refused.
  std::optional<std::string> ApplyOption(std::string_view name, std::string_view value);
  // Back to the given settings: record, pending output, prompt count and trigger cleared.
  void Reset(SimSettings settings);

  bool IsCalibrated() const { return settings_.calibrated; }
  unsigned CalibrationPrompts() const { return calibration_prompts_; }
  bool IsTriggerArmed() const { return armed_; }
  std::size_t DroppedOutputBytes() const { return queue_.DroppedBytes(); }

 private:
  void Execute(const std::string& command, std::uint64_t now_ms);
  void Record(const std::string& command);
  void AppendTrailingComma();
  void UpdateState(const std::string& key, std::uint64_t now_ms);
  void FireTriggerIfDue(std::uint64_t now_ms);
  void Send(const std::string& name, const std::string& reply, std::uint64_t start_ms);
  std::uint64_t ReplyDelayMs(const std::string& key) const;
  Fault FaultFor(const std::string& name) const;

  SimSettings settings_;
  CommandSplitter splitter_;
  FaultShaper shaper_;
  OutputQueue queue_;
  std::vector<std::string> commands_;
  std::uint64_t record_generation_ = 0;
  std::optional<std::string> previous_key_;
  unsigned calibration_prompts_ = 0;
  bool armed_ = false;
  std::optional<std::uint64_t> trigger_due_ms_;
};

}  // namespace vk605::sim
