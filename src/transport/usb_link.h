#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "diagnostics/diagnostics_log.h"
#include "platform/clock.h"
#include "platform/usb_bridge.h"
#include "transport/link.h"
#include "transport/reply_matcher.h"
#include "transport/usb_pipes.h"

namespace vk605 {

// The USB link: the instrument's FT8U100AX bridge (vendor 0x0971), found, opened and configured on the
// first exchange, commands written to pipe 0x02 and replies read from pipe 0x82, each IN transfer
// carrying two status bytes in front of its text.
class UsbLink final : public Link {
 public:
  // Shows one failure of the configuration sequence to the user (a modal box with an OK button).
  using MessageSink = std::function<void(const char* text)>;

  UsbLink(UsbSystem& system, Clock& clock, DiagnosticsLog& log, const ReplyMatcher& matcher);

  void SetMessageSink(MessageSink sink) { show_message_ = std::move(sink); }

  LinkResult Open() override { return OpenUsb(product_id_); }
  LinkResult Close() override { return CloseUsb(); }
  bool IsOpen() const override { return device_ != nullptr; }
  // Up to three attempts of write and read (one read in read-only mode); a reply beginning "*" is the
  // instrument reporting an error (kInstrumentError) and is not handed over.
  LinkResult Exchange(const char* command, bool read_only, bool hold_open, char* reply) override;
  LinkResult ReadUnasked(char* reply) override;

  // kDone, or kNoDevice when no bridge can be opened.
  LinkResult OpenUsb(std::uint32_t product_id);
  LinkResult CloseUsb();
  // kDone, or kFailed without a device, with an empty text or when the transfer fails.
  LinkResult WriteUsb(const char* text);
  // buffer holds kReplyBufferSize bytes and is cleared first. kFailed on a failed transfer, time-out, an
  // empty reply or the instrument's "ERROR:  unknown command\n>".
  LinkResult ReadUsb(char* buffer);

 private:
  std::unique_ptr<UsbPipeDevice> FindUsbDevice();
  void ConfigureUsb();
  void Alert(const char* text);
  // The failure's text, then what the system reported for it, on a line of its own.
  void LogFailure(const char* text);
  LinkResult CopyReply(const std::vector<char>& usb_reply, char* reply) const;

  UsbSystem& system_;
  Clock& clock_;
  DiagnosticsLog& log_;
  const ReplyMatcher& matcher_;
  MessageSink show_message_;
  std::uint32_t product_id_ = 0;
  std::unique_ptr<UsbPipeDevice> device_;
  UsbError open_error_;  // the reason of the last failed device open
};

}  // namespace vk605
