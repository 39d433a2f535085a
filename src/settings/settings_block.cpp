#include "settings/settings_block.h"

#include <charconv>
#include <cstring>
#include <string_view>

namespace vk605 {

namespace {

// The revision keyword as the version-control system expands it; the driver reports its number.
constexpr std::string_view kRevisionKeyword = "$Revision: 8 $";

std::int32_t RevisionNumber(std::string_view keyword) {
  std::size_t colon = keyword.find(':');
  if (colon == std::string_view::npos) return 0;
  std::size_t start = keyword.find_first_not_of(' ', colon + 1);
  if (start == std::string_view::npos) return 0;
  std::int32_t number = 0;
  std::from_chars(keyword.data() + start, keyword.data() + keyword.size(), number);
  return number;
}

}  // namespace

void ApplyDefaults(SettingsBlock& block) {
  std::memset(&block, 0, sizeof block);
  CopyField(block.EmulationName, "VK605");
  CopyField(block.InstrumentName, "VK605");
  CopyField(block.ModelPrefix, "VK605");
  CopyField(block.Port, "COM1:");
  block.ByteSize = 8;
  block.BaudRate = 9600;
  block.DefaultBaudRate = 9600;
  block.CommPortType = 1;
  block.DriverRevision = RevisionNumber(kRevisionKeyword);
  block.TriggerMode = 1;
  block.AngleCount = 1;
  block.WavelengthCount = 40;
  block.VisibleCount = 31;
  block.StartingVisible = 4;
  block.EndingWavelength = 750;
  block.WavelengthInterval = 10;
  block.StartingWavelength = 360;
  block.SpecularMode = 1;
  block.StatusLength = 7;
  block.Calibrated = 1;
  block.ReflectanceSupported = 1;
  block.OverLightOverDarkSupported = 1;
  block.SCESupported = 1;
  block.CalveraID = 23;
  block.CalveraEnabled = 1;
  block.HoldPortOpen = 1;
}

}  // namespace vk605
