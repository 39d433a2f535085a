#include "api/settings_exchange.h"

#include "transport/link.h"

namespace vk605 {

std::string ParityText(std::uint8_t parity) {
  if (parity == 2) return "E";
  if (parity == 1) return "O";
  return "N";
}

std::uint8_t ParityFromText(const std::string& text) {
  if (text == "E" || text == "e") return 2;
  if (text == "O" || text == "o") return 1;
  return 0;
}

std::string ByteSizeText(std::uint8_t byte_size) {
  if (byte_size >= 4 && byte_size <= 7) return std::to_string(byte_size);
  return "8";
}

std::uint8_t ByteSizeFromText(const std::string& text) {
  if (text.size() == 1 && text[0] >= '4' && text[0] <= '8') return static_cast<std::uint8_t>(text[0] - '0');
  return 8;
}

std::string StopBitsText(std::uint8_t stop_bits) {
  if (stop_bits == 2) return "2";
  if (stop_bits == 1) return "1.5";
  return "1";
}

std::uint8_t StopBitsFromText(const std::string& text) {
  if (text == "2") return 2;
  if (text == "1.5") return 1;
  return 0;
}

namespace {

// A stored device name longer than Port holds is loaded cut, as every text is; but the file keeps the
// whole name: writing the cut back, at the load or at unload while Port still holds it, would replace
// the user's setting with a name that no longer says which device was meant.
void ExchangePort(IniDocument& document, SettingsBlock& settings, int save_only) {
  std::string stored = document.ReadText("PORT");
  if (!FitsField(settings.Port, stored.c_str())) {
    if (save_only == 0) {
      CopyField(settings.Port, stored.c_str());
      return;
    }
    if (stored.compare(0, sizeof(settings.Port) - 1, settings.Port) == 0) return;
  }
  document.ExchangeText("PORT", settings.Port, sizeof(settings.Port), save_only);
}

}  // namespace

void SelectLinkForPort(SettingsBlock& settings) {
  settings.CommPortType = static_cast<std::int32_t>(LinkTypeForPortName(settings.Port));
}

void ExchangePortSettings(IniDocument& document, SettingsBlock& settings, int save_only) {
  ExchangePort(document, settings, save_only);
  // The port type is not stored: the port name "USB" selects the USB bridge.
  if (save_only == 0) SelectLinkForPort(settings);
  document.ExchangeInt("BAUDRATE", &settings.BaudRate, save_only);
  std::string parity = ParityText(settings.Parity);
  document.ExchangeString("PARITY", &parity, save_only);
  settings.Parity = ParityFromText(parity);
  std::string byte_size = ByteSizeText(settings.ByteSize);
  document.ExchangeString("BYTESIZE", &byte_size, save_only);
  settings.ByteSize = ByteSizeFromText(byte_size);
  std::string stop_bits = StopBitsText(settings.StopBits);
  document.ExchangeString("STOPBITS", &stop_bits, save_only);
  settings.StopBits = StopBitsFromText(stop_bits);
  document.ExchangeInt("EMULATION_MODE", &settings.EmulationMode, save_only);
}

}  // namespace vk605
