#include "colorimetry.h"

#include <colord.h>
#include <lcms2.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "text_format.h"
#include "tool_error.h"

namespace vk605::tool {

namespace {

// colour-matching functions are tabulated every 5 nm; 1 nm steps integrate the interpolated product.
constexpr double kResolutionNm = 1.0;

CdIt8* LoadIt8(const std::string& path) {
  CdIt8* it8 = cd_it8_new();
  GFile* file = g_file_new_for_path(path.c_str());
  GError* error = nullptr;
  gboolean loaded = cd_it8_load_from_file(it8, file, &error);
  g_object_unref(file);
  if (!loaded) {
    std::string reason = error != nullptr ? error->message : "unreadable";
    if (error != nullptr) g_error_free(error);
    g_object_unref(it8);
    throw ToolError(ExitCode::kFailure,
                    "cannot read " + path + ": " + reason + " (the package colord-data provides it)");
  }
  return it8;
}

CdSpectrum* ToCdSpectrum(const double* values, std::size_t count, double start_nm, double end_nm) {
  CdSpectrum* spectrum = cd_spectrum_sized_new(static_cast<guint>(count));
  for (std::size_t i = 0; i < count; ++i) cd_spectrum_add_value(spectrum, values[i]);
  cd_spectrum_set_start(spectrum, start_nm);
  cd_spectrum_set_end(spectrum, end_nm);
  return spectrum;
}

constexpr const char* kIlluminantPrefix = "CIE-";
constexpr const char* kIlluminantSuffix = ".sp";

cmsCIEXYZ Unit(const Xyz& xyz) {
  return cmsCIEXYZ{xyz.x / 100.0, xyz.y / 100.0, xyz.z / 100.0};
}

}  // namespace

std::string Colorimeter::DefaultDataDirectory() {
  const char* configured = std::getenv("VK605_COLORD_DATA");
  return configured != nullptr && configured[0] != '\0' ? configured : "/usr/share/colord";
}

std::vector<std::string> Colorimeter::IlluminantNames(const std::string& data_directory) {
  std::vector<std::string> names;
  std::error_code error;
  const std::string prefix = kIlluminantPrefix, suffix = kIlluminantSuffix;
  for (const auto& entry : std::filesystem::directory_iterator(data_directory + "/illuminant", error)) {
    std::string file = entry.path().filename().string();
    if (file.size() > prefix.size() + suffix.size() && file.rfind(prefix, 0) == 0 &&
        file.compare(file.size() - suffix.size(), suffix.size(), suffix) == 0) {
      names.push_back(file.substr(prefix.size(), file.size() - prefix.size() - suffix.size()));
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

Colorimeter::Colorimeter(const std::string& illuminant, const std::string& observer,
                         const std::string& data_directory) {
  std::vector<std::string> names = IlluminantNames(data_directory);
  auto found = std::find_if(names.begin(), names.end(),
                            [&](const std::string& name) { return Lower(name) == Lower(illuminant); });
  if (found == names.end()) {
    std::string list;
    for (const std::string& name : names) list += (list.empty() ? "" : ", ") + name;
    throw ToolError(names.empty() ? ExitCode::kFailure : ExitCode::kUsage,
                    "no illuminant table '" + illuminant + "' in " + data_directory + "/illuminant" +
                        (names.empty() ? " (the package colord-data provides them)" : "; there are " + list));
  }
  if (observer != "2" && observer != "10") {
    throw ToolError(ExitCode::kUsage,
                    "the observer is 2 (CIE 1931) or 10 (CIE 1964), not '" + observer + "'");
  }
  illuminant_name_ = *found;
  observer_ = observer;
  CdIt8* cmf = LoadIt8(data_directory +
                       (observer == "2" ? "/cmf/CIE1931-2deg-XYZ.cmf" : "/cmf/CIE1964-10deg-XYZ.cmf"));
  cmf_ = cmf;
  CdIt8* illuminant_file =
      LoadIt8(data_directory + "/illuminant/" + kIlluminantPrefix + illuminant_name_ + kIlluminantSuffix);
  GPtrArray* spectra = cd_it8_get_spectrum_array(illuminant_file);
  if (spectra == nullptr || spectra->len == 0) {
    g_object_unref(illuminant_file);
    throw ToolError(ExitCode::kFailure, "the " + illuminant_name_ + " file of colord-data holds no spectrum");
  }
  // The spectrum is copied, so the array may go with its file; the array itself is not released here
  // because older libcolord releases hand it out without a reference of its own.
  illuminant_ = cd_spectrum_dup(static_cast<CdSpectrum*>(g_ptr_array_index(spectra, 0)));
  g_object_unref(illuminant_file);

  Spectrum perfect_white;
  perfect_white.fill(1.0);
  white_ = ToXyz(perfect_white);

  cmsCIEXYZ white_unit = Unit(white_);
  cmsCIExyY white_xyy;
  cmsXYZ2xyY(&white_xyy, &white_unit);
  cmsHPROFILE lab = cmsCreateLab4Profile(&white_xyy);
  cmsHPROFILE srgb = cmsCreate_sRGBProfile();
  to_srgb_ = cmsCreateTransform(lab, TYPE_Lab_DBL, srgb, TYPE_RGB_8, INTENT_RELATIVE_COLORIMETRIC, 0);
  cmsCloseProfile(lab);
  cmsCloseProfile(srgb);
}

Colorimeter::~Colorimeter() {
  if (to_srgb_ != nullptr) cmsDeleteTransform(static_cast<cmsHTRANSFORM>(to_srgb_));
  if (illuminant_ != nullptr) cd_spectrum_free(static_cast<CdSpectrum*>(illuminant_));
  if (cmf_ != nullptr) g_object_unref(static_cast<CdIt8*>(cmf_));
}

Xyz Colorimeter::ToXyz(const Spectrum& reflectance) const {
  return ToXyz(reflectance.data(), reflectance.size(), kStartNm, kStartNm + kIntervalNm * (kBands - 1));
}

Xyz Colorimeter::ToXyz(const double* values, std::size_t count, double start_nm, double end_nm) const {
  CdSpectrum* sample = ToCdSpectrum(values, count, start_nm, end_nm);
  CdColorXYZ value{};
  GError* error = nullptr;
  // Beyond 750 nm the last reading stands for the rest of the observer's range (libcolord extends a
  // spectrum with its end values).
  gboolean done =
      cd_it8_utils_calculate_xyz_from_cmf(static_cast<CdIt8*>(cmf_), static_cast<CdSpectrum*>(illuminant_),
                                          sample, &value, kResolutionNm, &error);
  cd_spectrum_free(sample);
  if (!done) {
    std::string reason = error != nullptr ? error->message : "unknown error";
    if (error != nullptr) g_error_free(error);
    throw ToolError(ExitCode::kFailure, "cannot compute XYZ: " + reason);
  }
  return Xyz{value.X * 100.0, value.Y * 100.0, value.Z * 100.0};
}

Lab Colorimeter::ToLab(const Xyz& xyz) const {
  cmsCIEXYZ white = Unit(white_);
  cmsCIEXYZ sample = Unit(xyz);
  cmsCIELab lab;
  cmsXYZ2Lab(&white, &lab, &sample);
  return Lab{lab.L, lab.a, lab.b};
}

Rgb8 Colorimeter::ToSrgb(const Lab& lab) const {
  cmsCIELab in{lab.l, lab.a, lab.b};
  std::uint8_t out[3] = {0, 0, 0};
  cmsDoTransform(static_cast<cmsHTRANSFORM>(to_srgb_), &in, out, 1);
  return Rgb8{out[0], out[1], out[2]};
}

double Colorimeter::DeltaE2000(const Lab& first, const Lab& second) {
  cmsCIELab a{first.l, first.a, first.b};
  cmsCIELab b{second.l, second.a, second.b};
  return cmsCIE2000DeltaE(&a, &b, 1.0, 1.0, 1.0);
}

}  // namespace vk605::tool
