#pragma once

#include <array>
#include <cstdint>
#include <string>

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

// CIE colorimetry of reflectance spectra for illuminant D65 and the CIE 1964 10 degree observer, computed
// with the field's own data and libraries: colour-matching functions and illuminant from colord-data,
// integrated by libcolord; L*a*b*, CIEDE2000 and the sRGB display colour by lcms2.
class Colorimeter {
 public:
  // data_directory holds cmf/ and illuminant/ (colord-data's /usr/share/colord). Throws ToolError when the
  // files are missing.
  explicit Colorimeter(const std::string& data_directory = DefaultDataDirectory());
  ~Colorimeter();
  Colorimeter(const Colorimeter&) = delete;
  Colorimeter& operator=(const Colorimeter&) = delete;

  Xyz ToXyz(const Spectrum& reflectance) const;
  Lab ToLab(const Xyz& xyz) const;
  // The display colour of the sample on an sRGB screen (relative colorimetric).
  Rgb8 ToSrgb(const Lab& lab) const;
  const Xyz& White() const { return white_; }

  static double DeltaE2000(const Lab& first, const Lab& second);
  // $VK605_COLORD_DATA, else /usr/share/colord.
  static std::string DefaultDataDirectory();

  static constexpr const char* kIlluminant = "D65";
  static constexpr const char* kObserver = "10";

 private:
  void* cmf_ = nullptr;         // CdIt8
  void* illuminant_ = nullptr;  // CdSpectrum
  void* to_srgb_ = nullptr;     // cmsHTRANSFORM
  Xyz white_;
};

}  // namespace vk605::tool
