// vk605 doctor: why the instrument cannot be reached, each finding with its fix.
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "commands.h"
#include "output.h"
#include "platform/file_io.h"
#include "serial_candidates.h"
#include "session.h"
#include "text_format.h"
#include "tool_error.h"
#include "usb_bridges.h"

namespace vk605::tool {

namespace fs = std::filesystem;

namespace {

enum class Verdict { kOk, kWarn, kFail };

class Findings {
 public:
  explicit Findings(const Output& out) : out_(out) {}
  void Report(const std::string& check, Verdict verdict, const std::string& detail,
              const std::string& fix = {}) {
    static const char* kNames[] = {"ok", "warn", "fail"};
    static const char* kTags[] = {"[ ok ]", "[warn]", "[FAIL]"};
    int index = static_cast<int>(verdict);
    out_.Object(JsonObject()
                    .Add("kind", "finding")
                    .Add("check", check)
                    .Add("result", kNames[index])
                    .Add("detail", detail)
                    .Add("fix", fix));
    out_.Text(std::string(kTags[index]) + " " + detail + "\n" +
              (fix.empty() ? "" : "       fix: " + fix + "\n"));
    if (verdict == Verdict::kFail) failed_ = true;
  }
  bool Failed() const { return failed_; }

 private:
  const Output& out_;
  bool failed_ = false;
};

// The parent process id of a /proc entry.
std::string ParentOf(const fs::path& process) {
  std::string status;
  (void)ReadWholeFile((process / "status").string(), status);
  std::size_t at = status.find("\nPPid:");
  return at == std::string::npos ? std::string()
                                 : Trim(status.substr(at + 6, status.find('\n', at + 1) - at - 6));
}

// Processes with the device open, other than this one and its children (the simulator keeps its own pty
// end open by design).
std::vector<std::string> Holders(const std::string& device) {
  std::vector<std::string> holders;
  std::error_code error;
  std::string target = fs::canonical(device, error).string();
  if (error) return holders;
  std::string self = std::to_string(::getpid());
  for (const auto& process : fs::directory_iterator("/proc", error)) {
    std::string pid = process.path().filename().string();
    if (pid.find_first_not_of("0123456789") != std::string::npos || pid == self) continue;
    if (ParentOf(process.path()) == self) continue;
    std::error_code fd_error;
    for (const auto& fd : fs::directory_iterator(process.path() / "fd", fd_error)) {
      std::error_code link_error;
      if (fs::read_symlink(fd.path(), link_error).string() == target) {
        std::string name;
        (void)ReadWholeFile((process.path() / "comm").string(), name);
        holders.push_back(Trim(name) + " (pid " + pid + ")");
        break;
      }
    }
  }
  return holders;
}

bool ProcessRunning(const std::string& name) {
  std::error_code error;
  for (const auto& process : fs::directory_iterator("/proc", error)) {
    std::string comm;
    if (!ReadWholeFile((process.path() / "comm").string(), comm) && Trim(comm) == name) return true;
  }
  return false;
}

bool UdevIgnoresForModemManager(const struct stat& status) {
  std::string data;
  std::string path = "/run/udev/data/c" + std::to_string(major(status.st_rdev)) + ":" +
                     std::to_string(minor(status.st_rdev));
  return !ReadWholeFile(path, data) && data.find("E:ID_MM_DEVICE_IGNORE=1") != std::string::npos;
}

bool InGroup(gid_t gid) {
  if (::getegid() == gid) return true;
  int count = ::getgroups(0, nullptr);
  std::vector<gid_t> groups(static_cast<std::size_t>(std::max(count, 0)));
  count = ::getgroups(count, groups.data());
  return count > 0 && std::find(groups.begin(), groups.begin() + count, gid) != groups.begin() + count;
}

// Port USB: the driver opens the first usable bridge of vendor 0971 through libusb, which needs read and
// write access to its /dev/bus/usb node.
// The last check: the connect, and the instrument's identity when it answers; fix is the advice when not.
ExitCode CheckInstrument(Findings& findings, Session& session, const std::string& fix) {
  try {
    session.Initialize();
    InstrumentIdentity identity = session.Identity();
    findings.Report("instrument", Verdict::kOk,
                    "an instrument answers: " + identity.model + " serial " + identity.serial +
                        ", firmware " + identity.firmware);
  } catch (const ToolError& error) {
    findings.Report("instrument", Verdict::kFail, std::string("no instrument answers: ") + error.what(), fix);
    return ExitCode::kNoInstrument;
  }
  return findings.Failed() ? ExitCode::kFailure : ExitCode::kOk;
}

ExitCode CheckUsbBridge(Findings& findings, Session& session) {
  std::vector<UsbBridge> bridges = FindUsbBridges();
  if (bridges.empty()) {
    findings.Report("port", Verdict::kFail, "port USB: no USB bridge of vendor 0971 is connected",
                    "connect the instrument by USB and switch it on; vk605 ports lists what is found");
    return ExitCode::kNoInstrument;
  }
  const UsbBridge& bridge = bridges.front();
  findings.Report("port", Verdict::kOk, "port USB: bridge " + bridge.usb_id + " at " + bridge.node);
  if (bridge.accessible) {
    findings.Report("access", Verdict::kOk, "you may open " + bridge.node + " for reading and writing");
  } else {
    findings.Report("access", Verdict::kFail, "you may not open " + bridge.node,
                    "install the udev rule (packaging/70-vk605.rules, sudo cmake --install), which gives the "
                    "logged-in user access to the bridge, then plug the instrument in again");
    return ExitCode::kNoInstrument;
  }
  return CheckInstrument(findings, session,
                         "another program may hold the bridge; the diagnostics log names the USB error");
}

}  // namespace

ExitCode RunDoctor(const Invocation& invocation) {
  CommandArgs args("doctor", invocation.args, {}, {});
  Output out(invocation.global.json);
  Findings findings(out);
  GlobalOptions global = invocation.global;
  global.yes = false;  // the doctor examines the instrument; it never switches the driver to emulation
  global.non_interactive = true;
  Session session(global);
  std::string port = session.Port();
  if (port.empty()) {
    findings.Report("port", Verdict::kFail, "no port is configured",
                    "vk605 config set port /dev/ttyUSB0 (vk605 ports lists the candidates)");
    return ExitCode::kNoInstrument;
  }
  if (IsUsbPort(port)) return CheckUsbBridge(findings, session);
  std::string device = DeviceForPort(port);
  struct stat status {};
  if (::stat(device.c_str(), &status) != 0) {
    findings.Report("port", Verdict::kFail, "port " + port + ": " + device + " does not exist",
                    "connect the instrument and switch it on; vk605 ports lists the serial devices, "
                    "vk605 config set port PATH chooses one");
    return ExitCode::kNoInstrument;
  }
  findings.Report("port", S_ISCHR(status.st_mode) ? Verdict::kOk : Verdict::kFail,
                  "port " + port + (device != port ? " (" + device + ")" : "") +
                      (S_ISCHR(status.st_mode) ? " exists" : " is not a character device"),
                  S_ISCHR(status.st_mode) ? "" : "vk605 config set port PATH with a serial device");
  SerialCandidate candidate = DescribeSerialDevice(device);
  bool member = InGroup(status.st_gid);
  if (candidate.accessible) {
    findings.Report("access", Verdict::kOk, "you may open " + device + " for reading and writing");
  } else {
    findings.Report(
        "access", Verdict::kFail, "you may not open " + device + " (owner group " + candidate.group + ")",
        member ? "log in again so the group membership takes effect"
               : "sudo usermod -aG " + candidate.group +
                     " $USER and log in again, or install the udev rule (packaging/60-vk605.rules), "
                     "which gives the logged-in user access");
  }
  findings.Report("group", member || candidate.accessible ? Verdict::kOk : Verdict::kWarn,
                  std::string("you are ") + (member ? "" : "not ") + "in the group " + candidate.group +
                      " that owns " + device,
                  member || candidate.accessible ? "" : "sudo usermod -aG " + candidate.group + " $USER");
  std::vector<std::string> holders = Holders(device);
  if (holders.empty()) {
    findings.Report("busy", Verdict::kOk, "no other process has " + device + " open");
  } else {
    std::string list;
    for (const std::string& holder : holders) list += (list.empty() ? "" : ", ") + holder;
    findings.Report("busy", Verdict::kFail, device + " is held by " + list,
                    "close that program; the driver opens the port exclusively");
  }
  bool modem_manager = ProcessRunning("ModemManager");
  bool ignored = UdevIgnoresForModemManager(status);
  if (modem_manager && !ignored && candidate.bus == "usb") {
    findings.Report("modemmanager", Verdict::kWarn,
                    "ModemManager is running and may probe " + device + " (no ID_MM_DEVICE_IGNORE)",
                    "install packaging/60-vk605.rules (sudo cmake --install) or stop ModemManager");
  } else {
    findings.Report("modemmanager", Verdict::kOk,
                    modem_manager
                        ? (ignored ? "ModemManager is told to leave " + device + " alone"
                                   : "ModemManager is running; " + device + " is not a USB modem candidate")
                        : "ModemManager is not running");
  }
  if (!candidate.accessible || !holders.empty()) return ExitCode::kNoInstrument;
  return CheckInstrument(
      findings, session,
      "check the cable and that the instrument is switched on; vk605 config get shows the line "
      "settings (9600 8N1 by default)");
}

}  // namespace vk605::tool
