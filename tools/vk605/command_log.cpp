// vk605 log: where the driver's diagnostics log goes and its last lines.
#include <deque>
#include <sstream>
#include <string>

#include "base/ini_text.h"
#include "commands.h"
#include "output.h"
#include "platform/file_io.h"
#include "tool_error.h"
#include "tool_paths.h"

namespace vk605::tool {

ExitCode RunLog(const Invocation& invocation) {
  CommandArgs args("log", invocation.args, {"-n", "--file"}, {});
  Output out(invocation.global.json);
  int lines = args.Value("-n") ? ParseCount(*args.Value("-n"), 0, 100000, "-n") : 20;
  std::string registry = RegistryFile();
  std::string file = args.Value("--file").value_or("");
  std::string source = "--file";
  if (file.empty()) {
    std::string content;
    (void)ReadWholeFile(registry, content);
    file = IniText(content, SectionNames::kKeyPaths)
               .Find("Software\\Orvanta\\Spectrophotometers\\VK605", "DiagnosticsFileName")
               .value_or("");
    source = registry;
  }
  if (file.empty()) {
    out.Object(
        JsonObject().Add("kind", "log").Add("registry", registry).Add("file", "").Add("enabled", false));
    out.Text(
        "The diagnostics log is off: no DiagnosticsFileName under "
        "[Software\\Orvanta\\Spectrophotometers\\VK605]"
        " in " +
        registry + ".\nvk605 --trace FILE COMMAND writes one for a single run.\n");
    return ExitCode::kOk;
  }
  std::string content;
  bool readable = !ReadWholeFile(file, content);
  std::deque<std::string> tail;
  std::istringstream in(content);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    tail.push_back(line);
    if (static_cast<int>(tail.size()) > lines) tail.pop_front();
  }
  std::string joined;
  for (const std::string& l : tail) joined += l + "\n";
  out.Object(JsonObject()
                 .Add("kind", "log")
                 .Add("registry", registry)
                 .Add("file", file)
                 .Add("enabled", true)
                 .Add("readable", readable)
                 .Add("tail", joined));
  out.Text("Diagnostics log: " + file + " (from " + source + ")" + (readable ? "" : ", not written yet") +
           "\n" + joined);
  return ExitCode::kOk;
}

}  // namespace vk605::tool
