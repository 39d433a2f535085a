#include "instrument_model.h"

#include <algorithm>

#include "command_text.h"
#include "reply_formatter.h"
#include "setting_options.h"

namespace vk605::sim {

namespace {

constexpr std::string_view kMeasureModeKey = "0101SM";
constexpr std::string_view kCalibrationModeKey = "0601SM";
constexpr std::string_view kWakeKey = "";
constexpr std::string_view kTriggerName = "TRIGGER";

}  // namespace

InstrumentModel::InstrumentModel(SimSettings settings)
    : settings_(std::move(settings)), shaper_(settings_.seed) {}

void InstrumentModel::Receive(std::string_view bytes, std::uint64_t now_ms) {
  // A trigger that came due before these bytes arrived has already gone out.
  FireTriggerIfDue(now_ms);
  for (CommandSplitter::Event& event : splitter_.Feed(bytes)) {
    if (event.kind == CommandSplitter::Event::Kind::kTrailingComma) {
      AppendTrailingComma();
    } else {
      Execute(event.text, now_ms);
    }
  }
}

std::string InstrumentModel::TakeOutput(std::uint64_t now_ms) {
  FireTriggerIfDue(now_ms);
  return queue_.TakeDue(now_ms);
}

std::optional<std::uint64_t> InstrumentModel::NextDueMs() const {
  const std::optional<std::uint64_t> queued = queue_.NextDueMs();
  if (!queued) return trigger_due_ms_;
  if (!trigger_due_ms_) return queued;
  return std::min(*queued, *trigger_due_ms_);
}

void InstrumentModel::ClearCommands() {
  commands_.clear();
  ++record_generation_;
}

std::optional<std::string> InstrumentModel::ApplyOption(std::string_view name, std::string_view value) {
  const std::uint32_t old_seed = settings_.seed;
  if (std::optional<std::string> error = SettingOptions::Apply(settings_, name, value)) return error;
  if (name == "calibrate-after" || name == "defaults") calibration_prompts_ = 0;
  if (settings_.seed != old_seed) shaper_.Reseed(settings_.seed);
  return std::nullopt;
}

void InstrumentModel::Reset(SimSettings settings) {
  settings_ = std::move(settings);
  splitter_.Reset();
  shaper_.Reseed(settings_.seed);
  queue_.Clear();
  ClearCommands();
  previous_key_.reset();
  calibration_prompts_ = 0;
  armed_ = false;
  trigger_due_ms_.reset();
}

void InstrumentModel::Execute(const std::string& command, std::uint64_t now_ms) {
  Record(command);
  const std::string key = CommandKey(command);
  UpdateState(key, now_ms);
  if (settings_.silent.contains(key)) return;
  Send(key, FormatReply(key, settings_), now_ms + ReplyDelayMs(key));
}

void InstrumentModel::Record(const std::string& command) {
  if (commands_.size() >= kMaxRecordedCommands) {
    commands_.erase(commands_.begin(), commands_.begin() + kMaxRecordedCommands / 2);
  }
  commands_.push_back(command);
  ++record_generation_;
}

void InstrumentModel::AppendTrailingComma() {
  // The record may have been cleared between the CR and its comma; the comma then has no command.
  if (commands_.empty()) return;
  commands_.back() += ',';
  ++record_generation_;
}

void InstrumentModel::UpdateState(const std::string& key, std::uint64_t now_ms) {
  // Any command ends a wait for the trigger; the instrument then left its armed state.
  armed_ = false;
  trigger_due_ms_.reset();
  if (key == kCalibrationModeKey) {
    ++calibration_prompts_;
    if (settings_.calibrate_after > 0 && calibration_prompts_ >= settings_.calibrate_after) {
      settings_.calibrated = true;
    }
  }
  // Measuring mode followed by a bare CR arms the instrument: the operator may now trigger it.
  if (key == kWakeKey && previous_key_ == kMeasureModeKey) {
    armed_ = true;
    if (settings_.trigger_after_ms) trigger_due_ms_ = now_ms + *settings_.trigger_after_ms;
  }
  previous_key_ = key;
}

void InstrumentModel::FireTriggerIfDue(std::uint64_t now_ms) {
  if (!trigger_due_ms_ || *trigger_due_ms_ > now_ms) return;
  const std::uint64_t due = *trigger_due_ms_;
  trigger_due_ms_.reset();
  armed_ = false;
  Send(std::string(kTriggerName), std::string(kAcknowledgeLine), due);
}

void InstrumentModel::Send(const std::string& name, const std::string& reply, std::uint64_t start_ms) {
  queue_.Push(start_ms, shaper_.Shape(reply, FaultFor(name)));
}

std::uint64_t InstrumentModel::ReplyDelayMs(const std::string& key) const {
  const auto found = settings_.command_delay_ms.find(key);
  return found != settings_.command_delay_ms.end() ? found->second : settings_.reply_delay_ms;
}

Fault InstrumentModel::FaultFor(const std::string& name) const {
  if (settings_.fault_only.empty() || settings_.fault_only.contains(name)) return settings_.fault;
  return Fault::kNone;
}

}  // namespace vk605::sim
