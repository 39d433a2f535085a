#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim_settings.h"

namespace vk605::sim {

// How the emulated bridge misbehaves; kNone is a healthy bridge.
enum class BridgeFault {
  kNone,
  kStatusOnlyBetween,  // a 2-byte (status-only) transfer between any two transfers that carry text
  kUnknownCommand,     // every command is answered "ERROR:  unknown command\n>"
  kFailedTransfer,     // the first bulk-in transfer after a command stalls (EPIPE)
  kNoAnswer,           // bulk-in transfers never complete, not even with status bytes
  kUnplugDuringRead,   // the device is removed while the first bulk-in transfer after a command waits
  kClaimedElsewhere,   // claiming the interface fails: another process holds it (EBUSY)
  kNoPermission,       // the device node cannot be opened by the user (mode 0000)
};

// One request the driver sent on the control pipe (its setup packet), in order.
struct ControlRequest {
  std::uint8_t request_type = 0;
  std::uint8_t request = 0;
  std::uint16_t value = 0;
  std::uint16_t index = 0;
  std::uint16_t length = 0;
};

// FT8U100AX bridges of vendor 0971 emulated with umockdev: sysfs entries and descriptors that libusb
// enumerates, and a usbdevfs ioctl handler on each /dev/bus/usb node that forwards bulk-out bytes (pipe
// 0x02) to a simulated instrument and answers bulk-in transfers (pipe 0x82) with two status bytes plus
// the instrument's reply, at most transfer_size bytes per transfer. Processes started (or forked) from
// this one reach the devices when they run with umockdev's preload library (EnsureUmockdevPreload); the
// ioctls are answered on umockdev's thread of this process.
class EmulatedBridge {
 public:
  static constexpr std::uint16_t kVendorId = 0x0971;
  static constexpr std::uint16_t kProductId = 0x2007;

  explicit EmulatedBridge(sim::SimSettings settings = {});
  ~EmulatedBridge();
  EmulatedBridge(const EmulatedBridge&) = delete;
  EmulatedBridge& operator=(const EmulatedBridge&) = delete;

  // Plugs in one more bridge, each with an instrument of its own; returns its index (0 for the first).
  std::size_t AddDevice(std::uint16_t product_id = kProductId);
  // Unplugs a bridge: its sysfs entry goes, with a "remove" uevent, and every request on an open handle
  // fails with ENODEV.
  void RemoveDevice(std::size_t index);
  // Sends an "add" uevent for a bridge (AddDevice sends none: libusb's first scan finds it anyway).
  void AnnounceDevice(std::size_t index);
  // Makes one harmless request on the first bridge from this process, so umockdev's worker thread is
  // known before the first host is forked (forks park it; see WorkerPark). False when it is not answered.
  bool AwaitWorker();

  // The largest bulk-in transfer, status bytes included (at least 3); 64 like the FT8U100AX.
  void SetTransferSize(std::size_t size);
  // The fault hits from the command from_command on ("RM": from the first "RM\r"), or from the start.
  // Claiming and permission faults hit every open at once; kNoPermission applies to the bridges plugged
  // in so far.
  void SetFault(BridgeFault fault, const std::string& from_command = "");

  // The commands the instrument of bridge index received, escaped ("0005CF\r" reads "0005CF\\r").
  std::vector<std::string> Commands(std::size_t index = 0) const;
  std::vector<ControlRequest> ControlRequests(std::size_t index = 0) const;
  // Bulk-in transfers the bridge completed with data (status bytes only or more) for bridge index.
  std::size_t InTransfers(std::size_t index = 0) const;
  // The /dev/bus/usb path of bridge index (as the emulated system names it).
  std::string DeviceNode(std::size_t index = 0) const;
  std::uint32_t UniqueId(std::size_t index = 0) const;

  struct State;

 private:
  std::unique_ptr<State> state_;
};

// Makes sure umockdev's preload library is in this process from its start: when it is not, executes
// this program again with it added to LD_PRELOAD (and AddressSanitizer's link-order check off, since the
// preload comes before its runtime). Returns only when the preload is loaded; false (with a message on
// stderr) when it cannot be.
//
// The emulation lives in that preload: it interposes open, ioctl, poll and the netlink socket calls of
// libusb and libudev, and only a library preloaded at start-up comes before libc for a driver loaded
// later with dlopen. umockdev-wrapper would do the same from outside, but then every way of starting
// the program (ctest, the test discovery, by hand, a debugger) would have to remember it; re-executing
// keeps the program self-contained. Child processes inherit the preload and the testbed's UMOCKDEV_DIR.
bool EnsureUmockdevPreload(char** argv);

// Makes this process obey file permissions even when it runs as root (drops CAP_DAC_OVERRIDE and
// CAP_DAC_READ_SEARCH from its effective set), so a host child sees a mode-0000 device node as a user
// does. False when the capabilities cannot be changed.
bool DropFileCapabilities();

}  // namespace vk605::sim
