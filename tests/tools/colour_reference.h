#pragma once

#include <array>
#include <string>

namespace vk605::tooltest {

// CIE L*a*b* (by default D65, 10 degree observer) of a 40-band reflectance spectrum (360-750 nm), computed
// here without the program's libraries: colord-data's tables read by a parser of this test, the products
// integrated in 1 nm steps with linear interpolation (end values held beyond the tables), and the CIE
// formulas for L*a*b*.
struct ReferenceLab {
  double l, a, b;
};
ReferenceLab ReferenceLabOf(const std::array<double, 40>& reflectance,
                            const std::string& data_directory = "/usr/share/colord",
                            const std::string& illuminant_file = "CIE-D65.sp",
                            const std::string& cmf_file = "CIE1964-10deg-XYZ.cmf");

// The simulator's default sample (400-700 nm); the driver holds the end values out to 360 and 750 nm.
std::array<double, 40> DefaultSample();

}  // namespace vk605::tooltest
