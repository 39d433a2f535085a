#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vk605::sim {

// Name of a received command: its text without the trailing comma and carriage return ("AT\r," -> "AT",
// "\r" -> "").
std::string CommandKey(std::string_view command);

// One-line printable form of a command or reply: backslash, CR, LF and tab as \\ \r \n \t, other bytes
// outside 0x20..0x7E as \xHH.
std::string EscapeText(std::string_view text);

// Inverse of EscapeText; empty when an escape sequence is malformed.
std::optional<std::string> UnescapeText(std::string_view text);

// Command name given by a user ("RM", "RM\r", "AT\r," in escaped form): unescaped, then reduced to its key.
std::optional<std::string> CommandNameFromUser(std::string_view text);

}  // namespace vk605::sim
