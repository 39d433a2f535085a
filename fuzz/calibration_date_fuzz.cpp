// The calibration date parser and the calibration record loaded from a hostile calibration file.
// Input: "date text\0calibration file text".
#include <cmath>
#include <string>

#include "fakes/fake_clock.h"
#include "fuzz_input.h"
#include "memory_profile.h"
#include "settings/automation_date.h"
#include "settings/calibration_validity.h"
#include "settings/current_settings_file.h"

namespace {

class SilentNotifier : public vk605::ExpiryNotifier {
 public:
  void ShowCalibrationExpired() override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using vk605::fuzz::Fail;
  std::vector<std::string_view> parts = vk605::fuzz::SplitInput(data, size, 2);

  std::optional<vk605::AutomationDate> date = vk605::ParseCalibrationDate(parts[0]);
  if (date) {
    if (!date->IsValid() || !std::isfinite(date->days)) Fail("parsed date not valid");
    std::string written = vk605::FormatCalibrationDate(*date);
    if (written.size() != 19) Fail("a parsed date does not write in the calibration form");
    std::optional<vk605::AutomationDate> reread = vk605::ParseCalibrationDate(written);
    if (!reread || std::llround(reread->days * 86400.0) != std::llround(date->days * 86400.0)) {
      Fail("a written date does not read back");
    }
  }

  vk605::testing::FakeClock clock;
  vk605::fuzz::MemoryProfile profile;
  profile.files["/cal/12345.INI"] = std::string(parts[1]);
  vk605::CurrentSettingsFile current;
  vk605::CalibrationValidity validity(current, profile, clock);
  validity.Load("12345", "/cal", '/');
  if (validity.Path() != "/cal/12345.INI") Fail("calibration file not found");
  SilentNotifier notifier;
  validity.IsExpired(notifier);
  validity.CountMeasurement();
  validity.Save();
  // What was saved loads again to the same record.
  vk605::CalibrationValidity again(current, profile, clock);
  again.Load("12345", "/cal", '/');
  if (again.MeasurementCount() != validity.MeasurementCount() || again.Hours() != validity.Hours() ||
      again.Minutes() != validity.Minutes() || again.MeasurementLimit() != validity.MeasurementLimit()) {
    Fail("saved calibration record loads differently");
  }
  return 0;
}
