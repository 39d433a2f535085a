#include "emulated_usb_bridge.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <linux/capability.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <umockdev.h>

#include <pthread.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "command_text.h"
#include "instrument_model.h"

namespace vk605::sim {

namespace {

constexpr int kBus = 3;
constexpr int kFirstAddress = 5;
constexpr std::size_t kStatusBytes = 2;
// The FT8U100AX's modem and line status, in front of every bulk-in transfer.
constexpr std::uint8_t kStatus[kStatusBytes] = {0x31, 0x60};
// A bridge without data completes a bulk-in transfer with its status bytes after its latency.
constexpr auto kStatusLatency = std::chrono::milliseconds(4);
// A reap that finds nothing to hand back waits this long for the instrument before it says EAGAIN, so
// libusb's event loop (the device node polls as always ready) does not spin.
constexpr auto kReapWait = std::chrono::milliseconds(1);
constexpr char kUnknownCommandReply[] = "ERROR:  unknown command\n>";

std::uint64_t NowMs() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

std::string Hex(const std::uint8_t* bytes, std::size_t size) {
  std::string text;
  char digits[3];
  for (std::size_t i = 0; i < size; ++i) {
    std::snprintf(digits, sizeof digits, "%02x", bytes[i]);
    text += digits;
  }
  return text;
}

}  // namespace

// A submitted URB: the client's record and its buffer, resolved into this process.
struct BridgeUrb {
  UMockdevIoctlData* urb = nullptr;
  UMockdevIoctlData* buffer = nullptr;
  std::chrono::steady_clock::time_point submitted;
  // The connection (one open device node) that submitted it: only that one reaps it.
  UMockdevIoctlClient* client = nullptr;
};

inline void ReleaseUrb(BridgeUrb& urb) {
  if (urb.buffer != nullptr) umockdev_ioctl_data_unref(urb.buffer);
  if (urb.urb != nullptr) umockdev_ioctl_data_unref(urb.urb);
  urb.buffer = nullptr;
  urb.urb = nullptr;
}

inline usbdevfs_urb* RecordOf(const BridgeUrb& urb) {
  return reinterpret_cast<usbdevfs_urb*>(urb.urb->data);
}

struct EmulatedDevice {
  EmulatedBridge::State* owner = nullptr;
  std::size_t index = 0;
  std::string devpath;  // below /sys
  std::string syspath;  // with /sys, as umockdev names devices
  std::string node;
  int address = 0;
  std::uint16_t product_id = 0;
  UMockdevIoctlBase* handler = nullptr;
  sim::InstrumentModel model;
  std::string pending_text;  // reply bytes not yet handed out
  bool text_since_status = false;
  bool faulted_since_command = false;
  bool gone = false;
  std::deque<BridgeUrb> in_flight;
  std::deque<BridgeUrb> done;
  std::vector<ControlRequest> control;
  std::size_t in_transfers = 0;

  explicit EmulatedDevice(const sim::SimSettings& settings) : model(settings) {}
};

struct EmulatedBridge::State {
  UMockdevTestbed* testbed = nullptr;
  sim::SimSettings settings;
  mutable std::mutex mutex;  // the devices' state, shared by umockdev's thread and the test
  std::vector<std::unique_ptr<EmulatedDevice>> devices;
  std::size_t transfer_size = 64;
  BridgeFault fault = BridgeFault::kNone;
  std::string fault_from;  // the command that arms the fault; empty: armed from the start
  bool armed = true;

  BridgeFault Active() const { return armed ? fault : BridgeFault::kNone; }

  static gboolean OnIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, gpointer user_data);
  bool Handle(EmulatedDevice& device, UMockdevIoctlClient* client);
  void Submit(EmulatedDevice& device, UMockdevIoctlClient* client, UMockdevIoctlData* arg);
  void Reap(EmulatedDevice& device, UMockdevIoctlClient* client, UMockdevIoctlData* arg,
            std::unique_lock<std::mutex>& lock);
  bool FillIn(EmulatedDevice& device, BridgeUrb& urb);
  void Unplug(EmulatedDevice& device);
};

namespace {

void Complete(UMockdevIoctlClient* client, long result, int error) {
  umockdev_ioctl_client_complete(client, result, error);
}

// Host children are forked from the process whose umockdev worker thread answers their ioctls. A fork
// while that thread is inside the allocator leaves the child's allocator locked for ever (ASan's
// allocator of this toolchain has no fork handlers: such a host hung until its test's time-out). So every
// fork parks the worker first: a callback on its main context waits there until the fork is done, and
// while it waits the worker holds no lock. The worker's context is learnt from its first ioctl
// (EmulatedBridge::AwaitWorker makes one).
class WorkerPark {
 public:
  static WorkerPark& Instance() {
    static WorkerPark* park = [] {
      auto* made = new WorkerPark;
      ::pthread_atfork(&WorkerPark::BeforeFork, &WorkerPark::AfterFork, &WorkerPark::InChild);
      return made;
    }();
    return *park;
  }

  void NoteWorker() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (worker_ == nullptr) worker_ = g_main_context_ref_thread_default();
  }

 private:
  // A worker busy with one long request (a reap that waits for its time-out) is not waited for beyond this.
  static constexpr auto kParkWait = std::chrono::seconds(5);

  static void BeforeFork() { Instance().Park(); }
  static void AfterFork() { Instance().Release(); }
  static void InChild() {
    // The child has no worker; its own forks have nothing to park.
    WorkerPark& park = Instance();
    park.worker_ = nullptr;
    park.state_ = State::kRunning;
  }

  static gboolean Parked(gpointer data) {
    auto* park = static_cast<WorkerPark*>(data);
    std::unique_lock<std::mutex> lock(park->mutex_);
    if (park->state_ != State::kAsked) return G_SOURCE_REMOVE;  // the fork went ahead without it
    park->state_ = State::kParked;
    park->changed_.notify_all();
    park->changed_.wait(lock, [park] { return park->state_ != State::kParked; });
    return G_SOURCE_REMOVE;
  }

  void Park() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (worker_ == nullptr || g_main_context_is_owner(worker_)) return;
    state_ = State::kAsked;
    lock.unlock();
    g_main_context_invoke(worker_, &WorkerPark::Parked, this);
    lock.lock();
    changed_.wait_for(lock, kParkWait, [this] { return state_ == State::kParked; });
  }

  void Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    state_ = State::kRunning;
    changed_.notify_all();
  }

  enum class State { kRunning, kAsked, kParked };
  std::mutex mutex_;
  std::condition_variable changed_;
  GMainContext* worker_ = nullptr;
  State state_ = State::kRunning;
};

}  // namespace

gboolean EmulatedBridge::State::OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer user_data) {
  WorkerPark::Instance().NoteWorker();
  auto* device = static_cast<EmulatedDevice*>(user_data);
  return device->owner->Handle(*device, client) ? TRUE : FALSE;
}

bool EmulatedBridge::State::Handle(EmulatedDevice& device, UMockdevIoctlClient* client) {
  std::unique_lock<std::mutex> lock(mutex);
  const unsigned long request = umockdev_ioctl_client_get_request(client);
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  if (device.gone && request != USBDEVFS_REAPURB && request != USBDEVFS_REAPURBNDELAY &&
      request != USBDEVFS_DISCARDURB) {
    Complete(client, -1, ENODEV);
    return true;
  }
  switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
      UMockdevIoctlData* data = umockdev_ioctl_data_resolve(arg, 0, sizeof(std::uint32_t), nullptr);
      if (data == nullptr) return false;
      std::uint32_t capabilities = USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                   USBDEVFS_CAP_REAP_AFTER_DISCONNECT | USBDEVFS_CAP_ZERO_PACKET;
      umockdev_ioctl_data_update(data, 0, reinterpret_cast<guint8*>(&capabilities), sizeof capabilities);
      umockdev_ioctl_data_unref(data);
      Complete(client, 0, 0);
      return true;
    }
    case USBDEVFS_CLAIMINTERFACE:
    case USBDEVFS_DISCONNECT_CLAIM:
      if (Active() == BridgeFault::kClaimedElsewhere) {
        Complete(client, -1, EBUSY);
      } else {
        Complete(client, 0, 0);
      }
      return true;
    case USBDEVFS_GETDRIVER:
      // No kernel driver is bound to the bridge's interface.
      Complete(client, -1, ENODATA);
      return true;
    case USBDEVFS_IOCTL:
      // Detaching a kernel driver: there is none.
      Complete(client, -1, ENODATA);
      return true;
    case USBDEVFS_RELEASEINTERFACE:
    case USBDEVFS_SETCONFIGURATION:
    case USBDEVFS_SETINTERFACE:
    case USBDEVFS_CLEAR_HALT:
    case USBDEVFS_RESETEP:
    case USBDEVFS_RESET:
      Complete(client, 0, 0);
      return true;
    case USBDEVFS_SUBMITURB:
      Submit(device, client, arg);
      return true;
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY:
      Reap(device, client, arg, lock);
      return true;
    case USBDEVFS_DISCARDURB: {
      unsigned long address = 0;
      if (arg->data != nullptr && static_cast<std::size_t>(arg->data_len) >= sizeof address) {
        std::memcpy(&address, arg->data, sizeof address);
      }
      for (auto it = device.in_flight.begin(); it != device.in_flight.end(); ++it) {
        if (it->client != client || it->urb->client_addr != address) continue;
        RecordOf(*it)->status = -ENOENT;
        RecordOf(*it)->actual_length = 0;
        device.done.push_back(*it);
        device.in_flight.erase(it);
        Complete(client, 0, 0);
        return true;
      }
      Complete(client, -1, EINVAL);
      return true;
    }
    default:
      Complete(client, -1, ENOTTY);
      return true;
  }
}

void EmulatedBridge::State::Submit(EmulatedDevice& device, UMockdevIoctlClient* client,
                                   UMockdevIoctlData* arg) {
  BridgeUrb urb;
  urb.urb = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
  if (urb.urb == nullptr) {
    Complete(client, -1, EFAULT);
    return;
  }
  usbdevfs_urb* record = RecordOf(urb);
  const std::size_t length = record->buffer_length < 0 ? 0 : static_cast<std::size_t>(record->buffer_length);
  if (length > 0) {
    urb.buffer = umockdev_ioctl_data_resolve(urb.urb, offsetof(usbdevfs_urb, buffer), length, nullptr);
    if (urb.buffer == nullptr) {
      ReleaseUrb(urb);
      Complete(client, -1, EFAULT);
      return;
    }
  }
  urb.submitted = std::chrono::steady_clock::now();
  urb.client = client;
  record->status = 0;
  record->actual_length = 0;
  if (record->type == USBDEVFS_URB_TYPE_CONTROL) {
    if (length < 8) {
      ReleaseUrb(urb);
      Complete(client, -1, EINVAL);
      return;
    }
    const std::uint8_t* setup = urb.buffer->data;
    ControlRequest control;
    control.request_type = setup[0];
    control.request = setup[1];
    control.value = static_cast<std::uint16_t>(setup[2] | (setup[3] << 8));
    control.index = static_cast<std::uint16_t>(setup[4] | (setup[5] << 8));
    control.length = static_cast<std::uint16_t>(setup[6] | (setup[7] << 8));
    device.control.push_back(control);
    if (control.request_type == 0x40 && control.request == 0x00 && control.value == 1) {
      // Purge of the receive buffer: what the instrument sent and no one read yet is gone.
      device.pending_text.clear();
      static_cast<void>(device.model.TakeOutput(NowMs()));
    }
    std::size_t data_length = control.length < length - 8 ? control.length : length - 8;
    if ((control.request_type & 0x80) != 0) {
      // A read request answers with the bridge's status bytes (and zeros for the rest).
      std::vector<std::uint8_t> answer(data_length, 0);
      for (std::size_t i = 0; i < data_length && i < kStatusBytes; ++i) answer[i] = kStatus[i];
      if (data_length > 0)
        umockdev_ioctl_data_update(urb.buffer, 8, answer.data(), static_cast<gint>(data_length));
    }
    // Without a data stage nothing is transferred: 0 bytes.
    record->actual_length = static_cast<int>(data_length);
    umockdev_ioctl_data_update(urb.urb, 0, urb.urb->data, urb.urb->data_len);
    device.done.push_back(urb);
    Complete(client, 0, 0);
    return;
  }
  if (record->type != USBDEVFS_URB_TYPE_BULK || (record->endpoint != 0x02 && record->endpoint != 0x82)) {
    ReleaseUrb(urb);
    Complete(client, -1, EINVAL);
    return;
  }
  if (record->endpoint == 0x02) {
    std::string bytes(reinterpret_cast<const char*>(urb.buffer != nullptr ? urb.buffer->data : nullptr),
                      length);
    if (!armed && bytes.find(fault_from + "\r") != std::string::npos) armed = true;
    if (Active() == BridgeFault::kUnknownCommand) {
      if (bytes.find('\r') != std::string::npos) device.pending_text += kUnknownCommandReply;
    } else {
      device.model.Receive(bytes, NowMs());
    }
    if (bytes.find('\r') != std::string::npos) device.faulted_since_command = false;
    record->actual_length = static_cast<int>(length);
    umockdev_ioctl_data_update(urb.urb, 0, urb.urb->data, urb.urb->data_len);
    device.done.push_back(urb);
    Complete(client, 0, 0);
    return;
  }
  device.in_flight.push_back(urb);
  Complete(client, 0, 0);
}

// Completes the bulk-in URB when the bridge has something for it; false while it still waits.
bool EmulatedBridge::State::FillIn(EmulatedDevice& device, BridgeUrb& urb) {
  usbdevfs_urb* record = RecordOf(urb);
  const BridgeFault active = Active();
  if (active == BridgeFault::kNoAnswer) return false;
  device.pending_text += device.model.TakeOutput(NowMs());
  const bool command_answered = !device.faulted_since_command && !device.pending_text.empty();
  if (active == BridgeFault::kFailedTransfer && command_answered) {
    device.faulted_since_command = true;
    record->status = -EPIPE;
    record->actual_length = 0;
    umockdev_ioctl_data_update(urb.urb, 0, urb.urb->data, urb.urb->data_len);
    return true;
  }
  if (active == BridgeFault::kUnplugDuringRead && command_answered) {
    device.faulted_since_command = true;
    Unplug(device);
    return true;
  }
  const std::size_t room = urb.buffer == nullptr ? 0 : static_cast<std::size_t>(urb.buffer->data_len);
  const std::size_t limit = room < transfer_size ? room : transfer_size;
  if (limit < kStatusBytes) return false;
  bool status_only = device.pending_text.empty();
  if (!status_only && active == BridgeFault::kStatusOnlyBetween && device.text_since_status)
    status_only = true;
  if (status_only && std::chrono::steady_clock::now() - urb.submitted < kStatusLatency &&
      device.pending_text.empty()) {
    return false;
  }
  std::string transfer(reinterpret_cast<const char*>(kStatus), kStatusBytes);
  if (!status_only) {
    std::size_t count =
        device.pending_text.size() < limit - kStatusBytes ? device.pending_text.size() : limit - kStatusBytes;
    transfer += device.pending_text.substr(0, count);
    device.pending_text.erase(0, count);
    device.text_since_status = true;
  } else {
    device.text_since_status = false;
  }
  umockdev_ioctl_data_update(urb.buffer, 0, reinterpret_cast<guint8*>(transfer.data()),
                             static_cast<gint>(transfer.size()));
  record->actual_length = static_cast<int>(transfer.size());
  record->status = 0;
  umockdev_ioctl_data_update(urb.urb, 0, urb.urb->data, urb.urb->data_len);
  ++device.in_transfers;
  return true;
}

void EmulatedBridge::State::Unplug(EmulatedDevice& device) {
  if (device.gone) return;
  device.gone = true;
  for (BridgeUrb& urb : device.in_flight) {
    RecordOf(urb)->status = -ENODEV;
    RecordOf(urb)->actual_length = 0;
    umockdev_ioctl_data_update(urb.urb, 0, urb.urb->data, urb.urb->data_len);
    device.done.push_back(urb);
  }
  device.in_flight.clear();
  umockdev_testbed_uevent(testbed, device.syspath.c_str(), "remove");
  umockdev_testbed_remove_device(testbed, device.syspath.c_str());
}

void EmulatedBridge::State::Reap(EmulatedDevice& device, UMockdevIoctlClient* client, UMockdevIoctlData* arg,
                                 std::unique_lock<std::mutex>& lock) {
  auto own = [client](const BridgeUrb& urb) { return urb.client == client; };
  const auto deadline = std::chrono::steady_clock::now() + kReapWait;
  std::deque<BridgeUrb>::iterator finished;
  for (;;) {
    finished = std::find_if(device.done.begin(), device.done.end(), own);
    if (finished != device.done.end()) break;
    auto waiting = std::find_if(device.in_flight.begin(), device.in_flight.end(), own);
    if (waiting != device.in_flight.end() && FillIn(device, *waiting)) {
      // An unplug has moved every URB to the finished ones already.
      if (!device.gone) {
        device.done.push_back(*waiting);
        device.in_flight.erase(waiting);
      }
      continue;
    }
    if (device.gone) {
      Complete(client, -1, ENODEV);
      return;
    }
    if (waiting == device.in_flight.end() || std::chrono::steady_clock::now() >= deadline) {
      Complete(client, -1, EAGAIN);
      return;
    }
    lock.unlock();
    std::this_thread::sleep_for(std::chrono::microseconds(200));
    lock.lock();
  }
  BridgeUrb urb = *finished;
  device.done.erase(finished);
  UMockdevIoctlData* pointer = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), nullptr);
  if (pointer == nullptr) {
    ReleaseUrb(urb);
    Complete(client, -1, EFAULT);
    return;
  }
  umockdev_ioctl_data_set_ptr(pointer, 0, urb.urb);
  umockdev_ioctl_data_unref(pointer);
  Complete(client, 0, 0);
  ReleaseUrb(urb);
}

EmulatedBridge::EmulatedBridge(sim::SimSettings settings) : state_(std::make_unique<State>()) {
  state_->settings = std::move(settings);
  state_->testbed = umockdev_testbed_new();
  if (state_->testbed == nullptr) throw std::runtime_error("umockdev testbed cannot be made");
}

EmulatedBridge::~EmulatedBridge() {
  for (auto& device : state_->devices) {
    if (!device->gone) umockdev_testbed_detach_ioctl(state_->testbed, device->node.c_str(), nullptr);
  }
  g_object_unref(state_->testbed);
  for (auto& device : state_->devices) {
    for (BridgeUrb& urb : device->in_flight) ReleaseUrb(urb);
    for (BridgeUrb& urb : device->done) ReleaseUrb(urb);
    if (device->handler != nullptr) g_object_unref(device->handler);
  }
}

std::size_t EmulatedBridge::AddDevice(std::uint16_t product_id) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  auto device = std::make_unique<EmulatedDevice>(state_->settings);
  device->owner = state_.get();
  device->index = state_->devices.size();
  device->address = kFirstAddress + static_cast<int>(device->index);
  device->product_id = product_id;
  char name[64];
  std::snprintf(name, sizeof name, "/devices/pci0000:00/usb%d/%d-%zu", kBus, kBus, device->index + 1);
  device->devpath = name;
  device->syspath = std::string("/sys") + name;
  std::snprintf(name, sizeof name, "/dev/bus/usb/%03d/%03d", kBus, device->address);
  device->node = name;

  device->handler = umockdev_ioctl_base_new();
  g_signal_connect_data(device->handler, "handle-ioctl", reinterpret_cast<GCallback>(&State::OnIoctl),
                        device.get(), nullptr, G_CONNECT_AFTER);
  if (!umockdev_testbed_attach_ioctl(state_->testbed, device->node.c_str(), device->handler, nullptr)) {
    throw std::runtime_error("umockdev cannot emulate " + device->node);
  }
  // EmulatedDevice descriptor (USB 1.1, 8-byte control packets, vendor 0971), then the one configuration: one
  // vendor-specific interface with bulk-in 0x82 and bulk-out 0x02 of 64 bytes.
  const std::uint8_t descriptors[] = {
      0x12, 0x01, 0x10, 0x01, 0x00, 0x00, 0x00, 0x08, 0x71, 0x09,
      static_cast<std::uint8_t>(product_id & 0xFF), static_cast<std::uint8_t>(product_id >> 8), 0x00, 0x04,
      0x01, 0x02, 0x00, 0x01,
      // configuration
      0x09, 0x02, 0x20, 0x00, 0x01, 0x01, 0x00, 0x80, 0x2D,
      // interface
      0x09, 0x04, 0x00, 0x00, 0x02, 0xFF, 0xFF, 0xFF, 0x00,
      // endpoints
      0x07, 0x05, 0x82, 0x02, 0x40, 0x00, 0x00, 0x07, 0x05, 0x02, 0x02, 0x40, 0x00, 0x00};
  char busnum[8];
  char devnum[8];
  std::snprintf(busnum, sizeof busnum, "%03d", kBus);
  std::snprintf(devnum, sizeof devnum, "%03d", device->address);
  std::string description;
  description += "P: " + device->devpath + "\n";
  description += "N: " + device->node.substr(5) + "\n";
  description += "E: SUBSYSTEM=usb\nE: DRIVER=usb\nE: DEVTYPE=usb_device\n";
  description += std::string("E: BUSNUM=") + busnum + "\nE: DEVNUM=" + devnum + "\n";
  description += "E: DEVNAME=" + device->node + "\n";
  description += "A: busnum=" + std::to_string(kBus) + "\\n\n";
  description += "A: devnum=" + std::to_string(device->address) + "\\n\n";
  description += "A: bConfigurationValue=1\\n\nA: speed=12\\n\n";
  description += "H: descriptors=" + Hex(descriptors, sizeof descriptors) + "\n";
  GError* error = nullptr;
  if (!umockdev_testbed_add_from_string(state_->testbed, description.c_str(), &error)) {
    std::string message = error != nullptr ? error->message : "?";
    if (error != nullptr) g_error_free(error);
    throw std::runtime_error("umockdev cannot add the bridge: " + message);
  }
  state_->devices.push_back(std::move(device));
  return state_->devices.size() - 1;
}

void EmulatedBridge::RemoveDevice(std::size_t index) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->Unplug(*state_->devices.at(index));
}

void EmulatedBridge::AnnounceDevice(std::size_t index) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  umockdev_testbed_uevent(state_->testbed, state_->devices.at(index)->syspath.c_str(), "add");
}

void EmulatedBridge::SetTransferSize(std::size_t size) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->transfer_size = size < kStatusBytes + 1 ? kStatusBytes + 1 : size;
}

void EmulatedBridge::SetFault(BridgeFault fault, const std::string& from_command) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->fault = fault;
  state_->fault_from = from_command;
  state_->armed = from_command.empty();
  if (fault == BridgeFault::kNoPermission) {
    // Only root's (or a capable process's) open gets past mode 0000; the tests' hosts drop that
    // capability (DropFileCapabilities).
    gchar* root = umockdev_testbed_get_root_dir(state_->testbed);
    for (auto& device : state_->devices) ::chmod((std::string(root) + device->node).c_str(), 0);
    g_free(root);
  }
}

bool EmulatedBridge::AwaitWorker() {
  std::string node;
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (state_->devices.empty()) return false;
    node = state_->devices.front()->node;
  }
  int fd = ::open(node.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return false;
  std::uint32_t capabilities = 0;
  bool answered = ::ioctl(fd, USBDEVFS_GET_CAPABILITIES, &capabilities) == 0;
  ::close(fd);
  return answered;
}

std::vector<std::string> EmulatedBridge::Commands(std::size_t index) const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  std::vector<std::string> commands;
  for (const std::string& command : state_->devices.at(index)->model.Commands()) {
    commands.push_back(sim::EscapeText(command));
  }
  return commands;
}

std::vector<ControlRequest> EmulatedBridge::ControlRequests(std::size_t index) const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->devices.at(index)->control;
}

std::size_t EmulatedBridge::InTransfers(std::size_t index) const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->devices.at(index)->in_transfers;
}

std::string EmulatedBridge::DeviceNode(std::size_t index) const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->devices.at(index)->node;
}

std::uint32_t EmulatedBridge::UniqueId(std::size_t index) const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return (static_cast<std::uint32_t>(kBus) << 8) |
         static_cast<std::uint32_t>(state_->devices.at(index)->address);
}

bool DropFileCapabilities() {
  __user_cap_header_struct header{};
  header.version = _LINUX_CAPABILITY_VERSION_3;
  __user_cap_data_struct data[2] = {};
  if (syscall(SYS_capget, &header, data) != 0) return false;
  data[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
  return syscall(SYS_capset, &header, data) == 0;
}

namespace {

constexpr char kPreload[] = "libumockdev-preload.so.0";
constexpr char kReexecMark[] = "VK605_UMOCKDEV_PRELOADED";

void PrependTo(const char* name, const std::string& value) {
  const char* old = std::getenv(name);
  std::string joined = value;
  if (old != nullptr && old[0] != '\0') joined += ":" + std::string(old);
  ::setenv(name, joined.c_str(), 1);
}

}  // namespace

bool EnsureUmockdevPreload(char** argv) {
  // RTLD_NOLOAD only tells whether the library is in the process already.
  if (::dlopen(kPreload, RTLD_NOW | RTLD_NOLOAD) != nullptr) return true;
  if (std::getenv(kReexecMark) != nullptr) {
    std::fprintf(stderr, "umockdev's preload library %s could not be loaded\n", kPreload);
    return false;
  }
  ::setenv(kReexecMark, "1", 1);
  PrependTo("LD_PRELOAD", kPreload);
  PrependTo("ASAN_OPTIONS", "verify_asan_link_order=0");
  ::execv("/proc/self/exe", argv);
  std::perror("re-executing under umockdev's preload");
  return false;
}

}  // namespace vk605::sim
