#include "lighttest/whiteness_parameters.h"

#include "settings/ini_document.h"

namespace vk605 {

int LoadWhitenessParameters(int geometry, CurrentSettingsFile& current, PrivateProfile& profile,
                            WhitenessParameters& out) {
  out = WhitenessParameters{};
  // Only a geometry-1 instrument has parameters of its own in the settings file.
  if (geometry != 1) return -1;
  IniDocument document("MAIN", current, profile);
  document.Open(current.Get());
  document.SetNumberFormat("%.4f");
  document.ExchangeDouble("PHI", &out.phi, 0);
  document.ExchangeDouble("D", &out.d, 0);
  document.ExchangeDouble("Bandwidth", &out.bandwidth, 0);
  document.ExchangeDouble("P", &out.p, 0);
  document.ExchangeDouble("Q", &out.q, 0);
  document.ExchangeDouble("C", &out.c, 0);
  document.ExchangeDouble("m", &out.m, 0);
  document.ExchangeDouble("n", &out.n, 0);
  document.ExchangeDouble("k", &out.k, 0);
  document.Close();
  return 0;
}

}  // namespace vk605
