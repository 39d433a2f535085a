#pragma once

namespace vk605 {

// Results of the links to the instrument. The values are the result codes the command engine passes on
// to the exports.
enum class [[nodiscard]] LinkResult : int{
    kDone = 0,
    kFailed = 2,     // not opened for the exchange, line state unreadable, time-out, USB transfer failed
    kNoDevice = 31,  // no serial port open for a read; no USB bridge found
    kInstrumentError = 110,  // the USB reply begins with '*'
    kUnopenable = 111,       // the serial device cannot be opened, or its handle is invalid
};

constexpr int ToInt(LinkResult result) {
  return static_cast<int>(result);
}

constexpr bool operator==(LinkResult result, int value) {
  return ToInt(result) == value;
}

}  // namespace vk605
