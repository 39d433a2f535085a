#include "reference_sample.h"

#include <lcms2.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <vector>

#include "platform/file_io.h"
#include "tool_error.h"

namespace vk605::tool {

namespace {

[[noreturn]] void Refuse(const std::string& path, const std::string& why) {
  throw ToolError(ExitCode::kUsage, "--reference " + path + ": " + why);
}

// The wavelength a spectral field names ("SPECTRAL_NM400", "SPEC_400"), or a negative number.
double FieldWavelength(const std::string& name) {
  for (const char* prefix : {"SPECTRAL_NM", "SPEC_"}) {
    std::string p = prefix;
    if (name.rfind(p, 0) != 0) continue;
    double nm = -1;
    const char* first = name.data() + p.size();
    const char* last = name.data() + name.size();
    auto [end, error] = std::from_chars(first, last, nm);
    if (error == std::errc() && end == last && nm > 0) return nm;
  }
  return -1;
}

class It8File {
 public:
  explicit It8File(const std::string& path) : path_(path) {
    std::string content;
    if (std::error_code error = ReadWholeFile(path, content)) Refuse(path, error.message());
    handle_ = cmsIT8LoadFromMem(nullptr, content.data(), static_cast<cmsUInt32Number>(content.size()));
    if (handle_ == nullptr) Refuse(path, "not a CGATS or IT8 file");
  }
  ~It8File() { cmsIT8Free(handle_); }
  It8File(const It8File&) = delete;
  It8File& operator=(const It8File&) = delete;
  cmsHANDLE Handle() const { return handle_; }

 private:
  std::string path_;
  cmsHANDLE handle_ = nullptr;
};

}  // namespace

ReferenceSample LoadReference(const std::string& path, const Colorimeter& colorimeter) {
  It8File file(path);
  cmsHANDLE it8 = file.Handle();
  ReferenceSample reference;
  reference.path = path;
  int sets = static_cast<int>(cmsIT8GetPropertyDbl(it8, "NUMBER_OF_SETS"));
  if (sets <= 0) Refuse(path, "the file holds no sets");
  reference.sets = sets;
  char** names = nullptr;
  int field_count = cmsIT8EnumDataFormat(it8, &names);
  std::map<double, int> spectral;  // wavelength -> field
  for (int f = 0; f < field_count; ++f) {
    double nm = names[f] != nullptr ? FieldWavelength(names[f]) : -1;
    if (nm > 0) spectral[nm] = f;
  }
  if (spectral.size() >= 2) {
    std::vector<double> wavelengths;
    for (const auto& entry : spectral) wavelengths.push_back(entry.first);
    double step = (wavelengths.back() - wavelengths.front()) / static_cast<double>(wavelengths.size() - 1);
    for (std::size_t i = 0; i < wavelengths.size(); ++i) {
      if (std::fabs(wavelengths[i] - (wavelengths.front() + step * static_cast<double>(i))) > 0.01) {
        Refuse(path, "its spectral fields are not evenly spaced");
      }
    }
    std::vector<double> mean(wavelengths.size(), 0.0);
    double largest = 0;
    for (int row = 0; row < sets; ++row) {
      std::size_t i = 0;
      for (const auto& entry : spectral) {
        double value = cmsIT8GetDataRowColDbl(it8, row, entry.second);
        if (!std::isfinite(value)) Refuse(path, "set " + std::to_string(row + 1) + " holds no number");
        mean[i++] += value / sets;
        largest = std::max(largest, value);
      }
    }
    const char* norm_text = cmsIT8GetProperty(it8, "SPECTRAL_NORM");
    double norm =
        norm_text != nullptr ? cmsIT8GetPropertyDbl(it8, "SPECTRAL_NORM") : (largest > 2.0 ? 100 : 1);
    if (!(norm > 0)) Refuse(path, "its SPECTRAL_NORM is not a positive number");
    for (double& value : mean) value /= norm;
    reference.lab = colorimeter.ToLab(
        colorimeter.ToXyz(mean.data(), mean.size(), wavelengths.front(), wavelengths.back()));
    reference.source = "spectrum";
    return reference;
  }
  int l = cmsIT8FindDataFormat(it8, "LAB_L"), a = cmsIT8FindDataFormat(it8, "LAB_A"),
      b = cmsIT8FindDataFormat(it8, "LAB_B");
  if (l < 0 || a < 0 || b < 0) Refuse(path, "the file holds neither spectra nor LAB_L, LAB_A and LAB_B");
  for (int row = 0; row < sets; ++row) {
    reference.lab.l += cmsIT8GetDataRowColDbl(it8, row, l) / sets;
    reference.lab.a += cmsIT8GetDataRowColDbl(it8, row, a) / sets;
    reference.lab.b += cmsIT8GetDataRowColDbl(it8, row, b) / sets;
  }
  if (!std::isfinite(reference.lab.l + reference.lab.a + reference.lab.b))
    Refuse(path, "its L*a*b* are no numbers");
  reference.source = "Lab";
  return reference;
}

}  // namespace vk605::tool
