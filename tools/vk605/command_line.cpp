#include "command_line.h"

#include <algorithm>
#include <charconv>

#include "text_format.h"
#include "tool_error.h"

namespace vk605::tool {

namespace {

[[noreturn]] void Usage(const std::string& message) {
  throw ToolError(ExitCode::kUsage, message + " (vk605 --help shows the usage)");
}

bool Contains(const std::vector<std::string>& list, const std::string& name) {
  return std::find(list.begin(), list.end(), name) != list.end();
}

}  // namespace

Invocation ParseCommandLine(int argc, char** argv) {
  Invocation invocation;
  GlobalOptions& global = invocation.global;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    std::string value;
    bool has_inline_value = false;
    if (arg.rfind("--", 0) == 0 && arg.find('=') != std::string::npos) {
      value = arg.substr(arg.find('=') + 1);
      arg = arg.substr(0, arg.find('='));
      has_inline_value = true;
    }
    auto take_value = [&]() -> std::string {
      if (has_inline_value) return value;
      if (i + 1 >= argc) Usage(arg + " needs a value");
      return argv[++i];
    };
    if (arg == "--port") {
      global.port = take_value();
    } else if (arg == "--driver") {
      global.driver = take_value();
    } else if (arg == "--sim") {
      global.simulator = take_value();
    } else if (arg == "--sim-arg") {
      global.sim_args.push_back(take_value());
    } else if (arg == "--trace") {
      global.trace = take_value();
    } else if (arg == "--simulate") {
      global.simulate = true;
    } else if (arg == "--json") {
      global.json = true;
    } else if (arg == "--non-interactive") {
      global.non_interactive = true;
    } else if (arg == "--yes" || arg == "-y") {
      global.yes = true;
      global.ok = true;
    } else if (arg == "--no") {
      global.yes = false;
      global.ok = false;
    } else if (arg == "--answer") {
      std::string answer = Lower(take_value());
      if (answer == "ok" || answer == "yes") {
        global.ok = true;
      } else if (answer == "cancel" || answer == "no") {
        global.ok = false;
      } else {
        Usage("--answer takes ok or cancel, not '" + answer + "'");
      }
    } else if (arg == "--help" || arg == "-h") {
      invocation.help = true;
    } else if (arg == "--version" && invocation.command.empty()) {
      invocation.version = true;
    } else if (invocation.command.empty() && !arg.empty() && arg.front() != '-') {
      invocation.command = arg;
    } else {
      invocation.args.push_back(has_inline_value ? arg + "=" + value : arg);
    }
  }
  if (!global.port.empty() && global.simulate) Usage("--port and --simulate exclude each other");
  return invocation;
}

CommandArgs::CommandArgs(const std::string& command, const std::vector<std::string>& args,
                         const std::vector<std::string>& valued, const std::vector<std::string>& flags) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    std::optional<std::string> inline_value;
    if (arg.rfind("--", 0) == 0 && arg.find('=') != std::string::npos) {
      inline_value = arg.substr(arg.find('=') + 1);
      arg = arg.substr(0, arg.find('='));
    }
    if (Contains(valued, arg)) {
      if (!inline_value && i + 1 >= args.size()) Usage(command + ": " + arg + " needs a value");
      options_.emplace_back(arg, inline_value ? *inline_value : args[++i]);
    } else if (Contains(flags, arg) && !inline_value) {
      options_.emplace_back(arg, "");
    } else if (arg.size() > 1 && arg.front() == '-' &&
               arg.find_first_not_of("-.0123456789") != std::string::npos) {
      Usage(command + ": unknown option " + arg);
    } else {
      positional_.push_back(args[i]);
    }
  }
}

bool CommandArgs::Has(const std::string& name) const {
  return std::any_of(options_.begin(), options_.end(), [&](const auto& o) { return o.first == name; });
}

std::optional<std::string> CommandArgs::Value(const std::string& name) const {
  std::optional<std::string> found;
  for (const auto& option : options_) {
    if (option.first == name) found = option.second;  // the last one wins
  }
  return found;
}

int ParseCount(const std::string& text, int low, int high, const std::string& what) {
  int value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
    Usage(what + " must be a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
          ", not '" + text + "'");
  }
  return value;
}

}  // namespace vk605::tool
