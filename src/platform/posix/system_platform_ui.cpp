#include "platform/platform_ui.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

namespace vk605 {

namespace {

// Win32 message-box types and answers.
constexpr unsigned kTypeMask = 0xF;
constexpr unsigned kOk = 0;
constexpr unsigned kOkCancel = 1;
constexpr unsigned kAbortRetryIgnore = 2;
constexpr unsigned kYesNo = 4;
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdAbort = 3;
constexpr int kIdNo = 7;

// One pump step of an invisible dialog: nothing can press it, so the step only yields the processor for
// as long as a message wait would.
constexpr auto kPumpStep = std::chrono::milliseconds(10);

// No desktop to show anything on: every box gets the answer that does nothing further (No, Cancel, Abort,
// or OK when that is the only button), and dialogs are invisible and never pressed.
class HeadlessPlatformUi : public PlatformUi {
 public:
  bool IsHeadless() const override { return true; }

  int MessageBox(const std::string& /*text*/, const std::string& /*caption*/, unsigned type) override {
    switch (type & kTypeMask) {
      case kOk:
        return kIdOk;
      case kYesNo:
        return kIdNo;
      case kAbortRetryIgnore:
        return kIdAbort;
      case kOkCancel:
      default:
        return kIdCancel;
    }
  }

  // The handle only has to be distinct from null and from other open dialogs; nothing is allocated.
  void* OpenDialog(const std::string& /*caption*/, const std::string& /*text*/,
                   const std::string& /*button*/) override {
    return reinterpret_cast<void*>(++last_id_);
  }

  void SetDialogText(void* /*dialog*/, const std::string& /*text*/) override {}

  bool PollDialog(void* /*dialog*/) override {
    std::this_thread::sleep_for(kPumpStep);
    return false;
  }

  void CloseDialog(void* /*dialog*/) override {}

 private:
  std::atomic<std::uintptr_t> last_id_{0};
};

}  // namespace

PlatformUi& SystemPlatformUi() {
  static HeadlessPlatformUi ui;
  return ui;
}

}  // namespace vk605
