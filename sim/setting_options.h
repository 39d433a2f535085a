#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "sim_settings.h"

namespace vk605::sim {

// One way to change the simulated instrument, shared by the command line ("--name value") and the
// control channel ("name value").
struct SettingOption {
  std::string_view name;
  std::string_view value_name;  // empty: a switch without a value
  std::string_view help;
};

class SettingOptions {
 public:
  static std::span<const SettingOption> All();
  static const SettingOption* Find(std::string_view name);
  // Applies one option; the error text when the name or the value is not acceptable.
  static std::optional<std::string> Apply(SimSettings& settings, std::string_view name,
                                          std::string_view value);
  // The options as lines of a help text.
  static std::string Help();
};

}  // namespace vk605::sim
