#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/link_result.h"

namespace vk605 {

// Size of every reply buffer, terminator included.
inline constexpr std::size_t kReplyBufferSize = 8192;

enum class LinkType : std::int32_t { kNone = 0, kSerial = 1, kUsb = 2 };

// The link a port name selects: "USB" in any case is the USB bridge, every other name a serial device.
constexpr LinkType LinkTypeForPortName(std::string_view name) {
  if (name.size() != 3) return LinkType::kSerial;
  auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
  return upper(name[0]) == 'U' && upper(name[1]) == 'S' && upper(name[2]) == 'B' ? LinkType::kUsb
                                                                                 : LinkType::kSerial;
}

// One way to the instrument (the serial port, the USB bridge), used by the channel for the link type
// that is set.
class Link {
 public:
  virtual ~Link() = default;
  // Opens the link for the channel's configuration step.
  virtual LinkResult Open() = 0;
  virtual LinkResult Close() = 0;
  virtual bool IsOpen() const = 0;
  // One exchange: open the link, send the command (none when read_only), collect the reply into reply
  // (kReplyBufferSize bytes), close again unless hold_open.
  virtual LinkResult Exchange(const char* command, bool read_only, bool hold_open, char* reply) = 0;
  // One read of what the instrument sends unasked, on the link as it is (not opened for it).
  virtual LinkResult ReadUnasked(char* reply) = 0;
};

}  // namespace vk605
