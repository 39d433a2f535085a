#pragma once

#include "platform/private_profile.h"
#include "settings/current_settings_file.h"

namespace vk605 {

struct WhitenessParameters {
  double phi = 15.0;
  double d = 0.0008;
  double bandwidth = 1.0;
  double p = -1868.322;
  double q = -3695.69;
  double c = 1809.441;
  double m = -1001.223;
  double n = 748.366;
  double k = 68.261;
};

// The Ganz-Griesser parameters: defaults, loaded with write-back from section MAIN when geometry is 1.
// Returns 0 for geometry 1, else -1 with the defaults.
int LoadWhitenessParameters(int geometry, CurrentSettingsFile& current, PrivateProfile& profile,
                            WhitenessParameters& out);

}  // namespace vk605
