// vk605 config get|set: the driver's communication settings (through its exports) and the calibration
// expiry limits (the instrument's calibration record).
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "calibration_record.h"
#include "commands.h"
#include "output.h"
#include "session.h"
#include "text_format.h"
#include "tool_error.h"

namespace vk605::tool {

namespace {

[[noreturn]] void ConfigUsage(const std::string& message) {
  throw ToolError(ExitCode::kUsage, "config: " + message + " (vk605 config --help lists the keys)");
}

struct CommKey {
  const char* name;
  std::function<std::string(const DriverApi&)> get;
  std::function<int(const DriverApi&, const std::string&)> set;
};

char Digit(const std::string& value, const std::vector<std::pair<std::string, char>>& table,
           const char* key) {
  for (const auto& [text, digit] : table) {
    if (Lower(value) == text) return digit;
  }
  ConfigUsage(std::string("bad value '") + value + "' for " + key);
}

const std::vector<CommKey>& CommKeys() {
  static const std::vector<CommKey> keys = {
      {"port",
       [](const DriverApi& api) {
         std::array<char, 8192> text{};
         api.GetPort(text.data());
         return std::string(text.data());
       },
       [](const DriverApi& api, const std::string& value) {
         if (value.size() > 19) ConfigUsage("the driver keeps at most 19 characters of a port name");
         return api.SetPort(value.c_str());
       }},
      {"baudrate", [](const DriverApi& api) { return std::to_string(api.GetBaudRate()); },
       [](const DriverApi& api, const std::string& value) {
         return api.SetBaudRate(ParseCount(value, 50, 4000000, "baudrate"));
       }},
      {"parity",
       [](const DriverApi& api) {
         int parity = api.GetParity();
         return std::string(parity == 1 ? "odd" : parity == 2 ? "even" : parity == 0 ? "none" : "?");
       },
       [](const DriverApi& api, const std::string& value) {
         return api.SetParity(
             Digit(value, {{"none", '0'}, {"n", '0'}, {"odd", '1'}, {"o", '1'}, {"even", '2'}, {"e", '2'}},
                   "parity"));
       }},
      {"stopbits",
       [](const DriverApi& api) {
         int stop = api.GetStopBits();
         return std::string(stop == 0 ? "1" : stop == 1 ? "1.5" : stop == 2 ? "2" : "?");
       },
       [](const DriverApi& api, const std::string& value) {
         return api.SetStopBits(Digit(value, {{"1", '0'}, {"1.5", '1'}, {"2", '2'}}, "stopbits"));
       }},
      {"bytesize", [](const DriverApi& api) { return std::to_string(api.GetByteSize()); },
       [](const DriverApi& api, const std::string& value) {
         return api.SetByteSize(Digit(value, {{"7", '7'}, {"8", '8'}}, "bytesize"));
       }},
      {"emulation", [](const DriverApi& api) { return std::string(api.GetEmulationMode() ? "on" : "off"); },
       [](const DriverApi& api, const std::string& value) {
         return api.SetEmulationMode(
             Digit(value, {{"on", '1'}, {"1", '1'}, {"off", '0'}, {"0", '0'}}, "emulation") - '0');
       }},
  };
  return keys;
}

struct ExpiryKey {
  const char* name;
  const char* ini_key;
  int high;  // 1 for the on/off rules
};
constexpr ExpiryKey kExpiryKeys[] = {{"hours", "HOURS", 65535},
                                     {"minutes", "MINUTES", 59},
                                     {"measurements", "MEASUREMENTS", 65535},
                                     {"time-rule", "bTIME", 1},
                                     {"count-rule", "bMEASUREMENTS", 1}};

std::string ExpiryValue(const CalibrationRecord& record, const ExpiryKey& key) {
  std::string name = key.name;
  if (name == "hours") return std::to_string(record.hours);
  if (name == "minutes") return std::to_string(record.minutes);
  if (name == "measurements") return std::to_string(record.measurement_limit);
  if (name == "time-rule") return record.time_rule ? "on" : "off";
  return record.count_rule ? "on" : "off";
}

std::string ExpiryText(const ExpiryKey& key, const std::string& value) {
  if (key.high != 1) return std::to_string(ParseCount(value, 0, key.high, key.name));
  std::string word = Lower(value);
  if (word == "on" || word == "1") return "1";
  if (word == "off" || word == "0") return "0";
  ConfigUsage(std::string(key.name) + " is on or off, not '" + value + "'");
}

// The calibration record of the instrument on the port: --serial names it without connecting.
std::string RecordPath(Session& session, const CommandArgs& args) {
  std::string identification;
  if (std::optional<std::string> serial = args.Value("--serial")) {
    identification = "VK605" + *serial;
  } else {
    std::array<char, 8192> text{};
    int options = 0;
    // Connects without loading the record, so the driver will not write it back over this edit.
    int result = static_cast<int>(session.Api().ReadHead(0, nullptr, &options, text.data()));
    if (result != 0) {
      ResultMeaning meaning = DescribeResult(session, result);
      throw ToolError(meaning.exit,
                      meaning.text + " (--serial SERIAL names the record without an instrument)");
    }
    text.back() = '\0';
    identification = text.data();
  }
  return CalibrationFilePath(session.SettingsDirectory(), identification);
}

void Print(const Output& out, const std::string& key, const std::string& value, const std::string& where) {
  out.Object(JsonObject().Add("kind", "config").Add("key", key).Add("value", value).Add("file", where));
  out.Text(key + " = " + value + "\n");
}

}  // namespace

ExitCode RunConfig(const Invocation& invocation) {
  CommandArgs args("config", invocation.args, {"--serial"}, {});
  const std::vector<std::string>& words = args.Positional();
  if (words.empty() || (words[0] != "get" && words[0] != "set")) ConfigUsage("get or set?");
  bool set = words[0] == "set";
  if (set && words.size() != 3) ConfigUsage("set takes KEY VALUE");
  if (!set && words.size() > 2) ConfigUsage("get takes at most one KEY");
  std::string key = words.size() > 1 ? Lower(words[1]) : "";

  const CommKey* comm = nullptr;
  for (const CommKey& candidate : CommKeys()) {
    if (key == candidate.name) comm = &candidate;
  }
  const ExpiryKey* expiry = nullptr;
  for (const ExpiryKey& candidate : kExpiryKeys) {
    if (key == candidate.name) expiry = &candidate;
  }
  if (!key.empty() && comm == nullptr && expiry == nullptr) ConfigUsage("unknown key '" + key + "'");

  Output out(invocation.global.json);
  Session session(invocation.global);
  std::string settings_file = session.SettingsDirectory() + "/VK605.INI";
  if (set && comm != nullptr) {
    int result = comm->set(session.Api(), words[2]);
    if (result != 0) {
      ResultMeaning meaning = DescribeResult(session, result);
      throw ToolError(meaning.exit, meaning.text);
    }
    Print(out, key, comm->get(session.Api()), settings_file);
    return ExitCode::kOk;
  }
  if (set) {
    std::string path = RecordPath(session, args);
    WriteCalibrationKey(path, expiry->ini_key, ExpiryText(*expiry, words[2]));
    Print(out, key, ExpiryValue(ReadCalibrationRecord(path), *expiry), path);
    return ExitCode::kOk;
  }
  if (comm != nullptr || key.empty()) {
    for (const CommKey& candidate : CommKeys()) {
      if (comm == nullptr || comm == &candidate)
        Print(out, candidate.name, candidate.get(session.Api()), settings_file);
    }
  }
  if (expiry != nullptr || key.empty()) {
    std::string path = RecordPath(session, args);
    CalibrationRecord record = ReadCalibrationRecord(path);
    for (const ExpiryKey& candidate : kExpiryKeys) {
      if (expiry == nullptr || expiry == &candidate)
        Print(out, candidate.name, ExpiryValue(record, candidate), path);
    }
  }
  return ExitCode::kOk;
}

}  // namespace vk605::tool
