#include "setting_options.h"

#include <array>
#include <charconv>

#include "command_text.h"

namespace vk605::sim {

namespace {

using Error = std::optional<std::string>;

constexpr std::array<SettingOption, 22> kOptions = {{
    {"serial", "TEXT", "serial number, first line of the \"00SN\\r\" reply (default 12345)"},
    {"firmware", "TEXT", "firmware version, first line of the \"SV\\r\" reply (default \"VK605 V1.07\")"},
    {"calibrated", "", "the instrument reports itself calibrated (default)"},
    {"uncalibrated", "", "the instrument reports itself uncalibrated"},
    {"calibrate-after", "N",
     "uncalibrated until the N-th \"0601SM\\r\" calibration prompt (0: prompts change nothing)"},
    {"accept-measure", "", "\"RM\\r\" is accepted with \"<00>\" (default)"},
    {"refuse-measure", "", "\"RM\\r\" is refused with \"<01>\""},
    {"spectrum", "V1,...,V31", "the 31 percentages, 400 nm to 700 nm, each within -99.99..999.99"},
    {"normal-spectrum", "", "spectral replies hold all 31 values (default)"},
    {"malformed-spectrum", "", "spectral replies hold only the first 20 values"},
    {"garbage-spectrum", "", "spectral replies hold 31 unreadable fields \"  -.--\""},
    {"delay-ms", "N", "every reply starts N ms after its command (default 0)"},
    {"command-delay", "CMD=N", "the reply to CMD starts N ms after it, instead of --delay-ms"},
    {"silent", "CMD", "CMD gets no reply at all (repeatable; \"\" is the bare CR)"},
    {"answer", "CMD", "CMD is answered again"},
    {"trigger-after-ms", "N",
     "once armed (\"0101SM\\r\" then \"\\r\"), send \"<00>\" after N ms (default 2000)"},
    {"trigger-never", "", "once armed, never send the trigger acknowledgement"},
    {"fault", "KIND", "none|cut|trickle|noise|star|oversize, applied to every reply (default none)"},
    {"fault-only", "CMD", "restrict the fault to CMD (repeatable; TRIGGER is the trigger acknowledgement)"},
    {"fault-all", "", "the fault applies to every reply again"},
    {"seed", "N", "seed of the noise bytes (default 1)"},
    {"defaults", "", "every setting back to its default (mostly for the control channel)"},
}};

Error ParseUnsigned(std::string_view text, std::uint32_t& out) {
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, out);
  if (text.empty() || ec != std::errc() || ptr != end) return "not an unsigned number: " + std::string(text);
  return std::nullopt;
}

Error ParseSpectrum(std::string_view text, Spectrum& out) {
  Spectrum values{};
  std::size_t count = 0;
  while (true) {
    const std::size_t comma = text.find(',');
    const std::string_view item = text.substr(0, comma);
    double value = 0;
    const char* end = item.data() + item.size();
    const auto [ptr, ec] = std::from_chars(item.data(), end, value);
    if (item.empty() || ec != std::errc() || ptr != end) return "not a number: " + std::string(item);
    if (value < -99.99 || value > 999.99) return "outside -99.99..999.99: " + std::string(item);
    if (count == kSpectrumValues) return "more than 31 values";
    values[count++] = value;
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  if (count != kSpectrumValues) return "31 values needed, got " + std::to_string(count);
  out = values;
  return std::nullopt;
}

Error ParseCommand(std::string_view text, std::string& out) {
  std::optional<std::string> name = CommandNameFromUser(text);
  if (!name) return "bad escape in command name: " + std::string(text);
  out = *name;
  return std::nullopt;
}

Error ParseFault(std::string_view text, Fault& out) {
  static const std::array<std::pair<std::string_view, Fault>, 6> kNames = {{{"none", Fault::kNone},
                                                                            {"cut", Fault::kCut},
                                                                            {"trickle", Fault::kTrickle},
                                                                            {"noise", Fault::kNoise},
                                                                            {"star", Fault::kStar},
                                                                            {"oversize", Fault::kOversize}}};
  for (const auto& [name, fault] : kNames) {
    if (text == name) {
      out = fault;
      return std::nullopt;
    }
  }
  return "unknown fault: " + std::string(text);
}

Error ApplyCommandDelay(SimSettings& settings, std::string_view value) {
  const std::size_t equals = value.rfind('=');
  if (equals == std::string_view::npos) return "CMD=N expected: " + std::string(value);
  std::string name;
  std::uint32_t delay = 0;
  if (Error error = ParseCommand(value.substr(0, equals), name)) return error;
  if (Error error = ParseUnsigned(value.substr(equals + 1), delay)) return error;
  settings.command_delay_ms[name] = delay;
  return std::nullopt;
}

Error ApplyCommandSet(std::set<std::string>& set, std::string_view value, bool insert) {
  std::string name;
  if (Error error = ParseCommand(value, name)) return error;
  if (insert) {
    set.insert(name);
  } else {
    set.erase(name);
  }
  return std::nullopt;
}

Error ApplySwitch(SimSettings& s, std::string_view name) {
  if (name == "calibrated" || name == "uncalibrated") {
    s.calibrated = name == "calibrated";
  } else if (name == "accept-measure" || name == "refuse-measure") {
    s.refuse_measure = name == "refuse-measure";
  } else if (name == "normal-spectrum") {
    s.spectrum_form = SpectrumForm::kNormal;
  } else if (name == "malformed-spectrum") {
    s.spectrum_form = SpectrumForm::kShort;
  } else if (name == "garbage-spectrum") {
    s.spectrum_form = SpectrumForm::kGarbage;
  } else if (name == "trigger-never") {
    s.trigger_after_ms.reset();
  } else if (name == "fault-all") {
    s.fault_only.clear();
  } else if (name == "defaults") {
    s = SimSettings{};
  }
  return std::nullopt;
}

Error ApplyNumber(SimSettings& s, std::string_view name, std::string_view value) {
  std::uint32_t number = 0;
  if (Error error = ParseUnsigned(value, number)) return error;
  if (name == "calibrate-after") {
    // Counting prompts only makes sense for an instrument that starts uncalibrated.
    s.calibrate_after = number;
    if (number > 0) s.calibrated = false;
  } else if (name == "delay-ms") {
    s.reply_delay_ms = number;
  } else if (name == "trigger-after-ms") {
    s.trigger_after_ms = number;
  } else if (name == "seed") {
    s.seed = number;
  }
  return std::nullopt;
}

Error ApplyValue(SimSettings& s, std::string_view name, std::string_view value) {
  if (name == "serial") {
    s.serial_number = value;
    return std::nullopt;
  }
  if (name == "firmware") {
    s.firmware_version = value;
    return std::nullopt;
  }
  if (name == "spectrum") return ParseSpectrum(value, s.spectrum);
  if (name == "command-delay") return ApplyCommandDelay(s, value);
  if (name == "silent") return ApplyCommandSet(s.silent, value, true);
  if (name == "answer") return ApplyCommandSet(s.silent, value, false);
  if (name == "fault") return ParseFault(value, s.fault);
  if (name == "fault-only") return ApplyCommandSet(s.fault_only, value, true);
  return ApplyNumber(s, name, value);
}

}  // namespace

std::span<const SettingOption> SettingOptions::All() {
  return kOptions;
}

const SettingOption* SettingOptions::Find(std::string_view name) {
  for (const SettingOption& option : kOptions) {
    if (option.name == name) return &option;
  }
  return nullptr;
}

std::optional<std::string> SettingOptions::Apply(SimSettings& settings, std::string_view name,
                                                 std::string_view value) {
  const SettingOption* option = Find(name);
  if (option == nullptr) return "unknown option: " + std::string(name);
  if (option->value_name.empty()) {
    if (!value.empty()) return "option " + std::string(name) + " takes no value";
    return ApplySwitch(settings, name);
  }
  return ApplyValue(settings, name, value);
}

std::string SettingOptions::Help() {
  std::string help;
  for (const SettingOption& option : kOptions) {
    std::string left = "  --" + std::string(option.name);
    if (!option.value_name.empty()) left += " " + std::string(option.value_name);
    if (left.size() < 28) left.resize(28, ' ');
    help += left + " " + std::string(option.help) + "\n";
  }
  return help;
}

}  // namespace vk605::sim
