#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vk605::tool {

// One reflectance spectrum as the driver returns it: 40 factors, element i at 360 + 10 i nm.
constexpr int kBands = 40;
constexpr int kStartNm = 360;
constexpr int kIntervalNm = 10;
using Spectrum = std::array<double, kBands>;

struct Xyz {
  double x = 0, y = 0, z = 0;  // Y of the perfect reflecting diffuser = 100
};
struct Lab {
  double l = 0, a = 0, b = 0;
};
struct Rgb8 {
  std::uint8_t r = 0, g = 0, b = 0;
};

// CIE colorimetry of reflectance spectra for one illuminant and one observer (by default D65 and the CIE
// 1964 10 degree observer), computed with the field's own data and libraries: colour-matching functions
// and illuminants from colord-data, integrated by libcolord; L*a*b*, CIEDE2000 and the sRGB display colour
// by lcms2.
class Colorimeter {
 public:
  // illuminant names a table of data_directory/illuminant (CIE-<name>.sp: "D65", "A", "F11"; any case);
  // observer is "2" (CIE 1931) or "10" (CIE 1964). data_directory holds cmf/ and illuminant/
  // (colord-data's /usr/share/colord). Throws ToolError: kUsage for a name without a table, kFailure when
  // colord-data's files are missing.
  explicit Colorimeter(const std::string& illuminant = "D65", const std::string& observer = "10",
                       const std::string& data_directory = DefaultDataDirectory());
  ~Colorimeter();
  Colorimeter(const Colorimeter&) = delete;
  Colorimeter& operator=(const Colorimeter&) = delete;

  // The illuminant's name as its table spells it ("D65", "F11") and the observer ("2" or "10").
  const std::string& Illuminant() const { return illuminant_name_; }
  const std::string& Observer() const { return observer_; }
  // Any sampled spectrum (factors, evenly spaced from start_nm to end_nm), such as a reference file's.
  Xyz ToXyz(const double* values, std::size_t count, double start_nm, double end_nm) const;
  Xyz ToXyz(const Spectrum& reflectance) const;
  Lab ToLab(const Xyz& xyz) const;
  // The display colour of the sample on an sRGB screen (relative colorimetric).
  Rgb8 ToSrgb(const Lab& lab) const;
  const Xyz& White() const { return white_; }

  static double DeltaE2000(const Lab& first, const Lab& second);
  // $VK605_COLORD_DATA, else /usr/share/colord.
  static std::string DefaultDataDirectory();

  // The illuminant names colord-data has tables for, sorted.
  static std::vector<std::string> IlluminantNames(const std::string& data_directory = DefaultDataDirectory());

 private:
  void* cmf_ = nullptr;         // CdIt8
  void* illuminant_ = nullptr;  // CdSpectrum
  void* to_srgb_ = nullptr;     // cmsHTRANSFORM
  Xyz white_;
  std::string illuminant_name_;
  std::string observer_;
};

}  // namespace vk605::tool
