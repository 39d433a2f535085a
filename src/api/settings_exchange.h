#pragma once

#include <cstdint>
#include <string>

#include "settings/ini_document.h"
#include "settings/settings_block.h"

namespace vk605 {

// The letter and digit forms of the line settings in VK605.INI, with the fallbacks for anything else.
std::string ParityText(std::uint8_t parity);             // 2 "E", 1 "O", else "N"
std::uint8_t ParityFromText(const std::string& text);    // "E"/"e" 2, "O"/"o" 1, else 0
std::string ByteSizeText(std::uint8_t byte_size);        // "4".."7", else "8"
std::uint8_t ByteSizeFromText(const std::string& text);  // "4".."8", else 8
std::string StopBitsText(std::uint8_t stop_bits);        // 0 "1", 2 "2", 1 "1.5", else "1"
std::uint8_t StopBitsFromText(const std::string& text);  // "1" 0, "2" 2, "1.5" 1, else 0

// PORT, BAUDRATE, PARITY, BYTESIZE, STOPBITS and EMULATION_MODE of section MAIN, loaded with write-back
// (save_only 0) or written (save_only 1). A stored PORT longer than Port holds is loaded cut and stays
// whole in the file: neither the load nor a later write of the unchanged cut replaces it.
void ExchangePortSettings(IniDocument& document, SettingsBlock& settings, int save_only);
// CommPortType from the port name: 2 (USB) for "USB" in any case, else 1 (serial).
void SelectLinkForPort(SettingsBlock& settings);

}  // namespace vk605
