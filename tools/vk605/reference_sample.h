#pragma once

#include <string>

#include "colorimetry.h"

namespace vk605::tool {

// The colour a measurement is compared with (--reference FILE).
struct ReferenceSample {
  std::string path;
  Lab lab;
  std::string source;  // "spectrum" (computed here) or "Lab" (the file's L*a*b* as written)
  int sets = 0;        // how many of the file's sets were averaged
};

// Reads a CGATS / IT8 file (vk605's cgats, spect, ti3 and sp forms, Argyll's .ti3 and .sp, colord's
// spectral sheets): the mean of its sets' spectra (SPECTRAL_NMnnn or SPEC_nnn fields, evenly spaced,
// scaled by SPECTRAL_NORM, else read as percent when a value exceeds 2) gives L*a*b* for the colorimeter's
// illuminant and observer; a file without spectra gives the mean of its LAB_L, LAB_A, LAB_B fields.
// Throws ToolError (kUsage) naming the file and what is wrong with it.
ReferenceSample LoadReference(const std::string& path, const Colorimeter& colorimeter);

}  // namespace vk605::tool
