#include "serial_candidates.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "platform/file_io.h"
#include "text_format.h"

namespace vk605::tool {

namespace fs = std::filesystem;

namespace {

std::map<std::string, std::string> ByIdLinks() {
  std::map<std::string, std::string> links;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/dev/serial/by-id", error)) {
    std::error_code resolve_error;
    fs::path target = fs::canonical(entry.path(), resolve_error);
    if (!resolve_error) links[target.string()] = entry.path().string();
  }
  return links;
}

// ttyS ports exist for every possible UART; the "type" attribute is 0 where there is no hardware.
bool HasUart(const std::string& name) {
  std::string type = SysfsAttribute(fs::path("/sys/class/tty") / name, "type");
  return !type.empty() && type != "0";
}

}  // namespace

std::string DeviceForPort(const std::string& port) {
  std::string name = port;
  if (!name.empty() && name.back() == ':') name.pop_back();
  if (name.size() > 3 && name.size() < 8 && Lower(name.substr(0, 3)) == "com" &&
      name.find_first_not_of("0123456789", 3) == std::string::npos) {
    int number = std::stoi(name.substr(3));
    if (number >= 1) return "/dev/ttyS" + std::to_string(number - 1);
  }
  return port;
}

SerialCandidate DescribeSerialDevice(const std::string& path) {
  SerialCandidate candidate;
  candidate.path = path;
  std::error_code error;
  std::string name = fs::path(fs::canonical(path, error)).filename().string();
  if (error) name = fs::path(path).filename().string();
  fs::path device = fs::canonical(fs::path("/sys/class/tty") / name / "device", error);
  if (!error) {
    std::error_code driver_error;
    fs::path driver = fs::read_symlink(device / "driver", driver_error);
    if (!driver_error) candidate.kernel_driver = driver.filename().string();
    candidate.bus = "platform";
    // The USB device directory is an ancestor that carries idVendor.
    for (fs::path up = device; up.has_parent_path() && up != up.parent_path(); up = up.parent_path()) {
      if (fs::exists(up / "idVendor")) {
        candidate.bus = "usb";
        candidate.usb_id = SysfsAttribute(up, "idVendor") + ":" + SysfsAttribute(up, "idProduct");
        candidate.description =
            Trim(SysfsAttribute(up, "manufacturer") + " " + SysfsAttribute(up, "product"));
        candidate.usb_serial = SysfsAttribute(up, "serial");
        break;
      }
    }
  }
  struct stat status {};
  if (::stat(path.c_str(), &status) == 0) {
    const group* owner = ::getgrgid(status.st_gid);
    candidate.group = owner != nullptr ? owner->gr_name : std::to_string(status.st_gid);
  }
  candidate.accessible = ::access(path.c_str(), R_OK | W_OK) == 0;
  return candidate;
}

std::vector<SerialCandidate> FindSerialCandidates() {
  std::map<std::string, std::string> by_id = ByIdLinks();
  std::vector<std::string> paths;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/dev", error)) {
    std::string name = entry.path().filename().string();
    bool usb = name.rfind("ttyUSB", 0) == 0 || name.rfind("ttyACM", 0) == 0;
    bool uart = name.rfind("ttyS", 0) == 0 && HasUart(name);
    if (usb || uart) paths.push_back(entry.path().string());
  }
  for (const auto& [target, link] : by_id) {
    if (std::find(paths.begin(), paths.end(), target) == paths.end()) paths.push_back(target);
  }
  std::sort(paths.begin(), paths.end());
  std::vector<SerialCandidate> candidates;
  for (const std::string& path : paths) {
    SerialCandidate candidate = DescribeSerialDevice(path);
    auto link = by_id.find(path);
    if (link != by_id.end()) candidate.by_id = link->second;
    candidates.push_back(candidate);
  }
  return candidates;
}

std::string SysfsAttribute(const fs::path& directory, const char* name) {
  std::string text;
  (void)ReadWholeFile((directory / name).string(), text);
  return Trim(text);
}

}  // namespace vk605::tool
