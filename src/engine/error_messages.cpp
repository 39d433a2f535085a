#include "engine/error_messages.h"

#include <algorithm>
#include <iterator>

namespace vk605 {
namespace {

struct Message {
  int code;
  const char* text;
};

// Texts as the host applications know them, spelling included.
constexpr Message kMessages[] = {
    {1000, "Unknown error code"},
    {1001, "Unable to communicate with the spectrophotometer."},
    {1002, "Calibration failed."},
    {1003, "Calibration on the White Ceramic Tile failed."},
    {1004, "Black calibration failed."},
    {1005, "Calibration on the Barium Tile failed."},
    {1006, "Failed to measure."},
    {1007, "Lens position failure."},
    {1008, "Aperture position failure."},
    {1009, "Temperature failure."},
    {1010, "Lamp failure."},
    {1011, "UV Position failure."},
    {1012, "Driver is not initialized."},
    {1013, "Failed to load embedded profile to spectrophotometer."},
    {1014, "Filter wheel position failure."},
    {1015, "The requested functionality not supported."},
    {1016, "Unable to open communication port."},
    {1017, "Unable to retrieve the version of Calvera employed in spectrophotometer driver."},
    {1018, "Low voltage."},
    {1019, "The current lens position is not compatible with the current aperture plate."},
    {1020, "The aperture plate is the incorrect size."},
    {1021, "The current lens position is incorrect."},
    {1022, "Failure to retrieuce the digital signature."},
    {1023, "The requested feature is not supported by this spectrophotometer."},
    {1024, "Failure to disable Calvera."},
    {1025, "Failure to enable Calvera."},
    {1026, "Failure to disable auto calibration."},
    {1027, "Failure to enable auto calibration."},
    {1028, "Failure to set white reference."},
    {1029, "Failure to retrieve the profile creation date."},
    {1030, "The SCI channel cannot be blocked for reflectance measurements."},
    {1031, "The SCI channel mus be blocked for transmission measurements."},
    {1032, "Failure to retrieve the firmware version."},
    {1033, "The filter is incorrect for calibration."},
    {1034, "The aperture plate is missing.."},
    {2001, "The spectrophotometer is not calibrated."},
    {2002, "The spectrophotometer is not white calibrated."},
    {2003, "The spectrophotometer is not black calibrated."},
    {2004, "Calvera is disabled."},
    {2005, "Calvera is enabled."},
    {2006, "Current aperture size: Very Small"},
    {2007, "Current aperture size: Small"},
    {2008, "Current Aperture size: Medium"},
    {2009, "Current Aperture size: Large"},
    {2010, "Current Aperture size: Extra Large"},
    {2011, "Current Aperture size: Custom"},
    {2012, "Current Lens size: Very Small"},
    {2013, "Current Lens size: Small"},
    {2014, "Current Lens size: Medium"},
    {2015, "Current Lens size: Large"},
    {2016, "Current Lens size: Extra Large"},
    {2017, "Current Lens size: Custom"},
    {2018, "The UV Filter is in the Included position."},
    {2019, "The UV Filter is in the Excluded position."},
    {2020, "The UV Filter is in the Included position."},
    {2021, "The UV Filter is in the D65 position."},
    {2022, "The UV Filter is in the Calibrated position."},
    {2023, "A profile is not loaded."},
    {3001, "Place the White Ceramic Tile in the view port for white calibration."},
    {3002, "Place the Black Trap in the view port for black calibration."},
    {3003, "Open the view port for black calibration."},
    {3004, "Place the Barium Tile in the viewport for transmission calibration."},
    {3005, "Place the UV Filter into the excluded position."},
    {3006, "Place the UV Filter into the included position."},
    {3007, "Calibration was cancelled by the user."},
};

}  // namespace

const char* MessageForCode(int code) {
  auto it = std::find_if(std::begin(kMessages), std::end(kMessages),
                         [code](const Message& m) { return m.code == code; });
  return it == std::end(kMessages) ? nullptr : it->text;
}

}  // namespace vk605
