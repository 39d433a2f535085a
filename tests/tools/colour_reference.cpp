#include "colour_reference.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace vk605::tooltest {

namespace {

struct Sheet {
  double start = 0, end = 0;
  std::vector<std::vector<double>> rows;
};

Sheet ReadSheet(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read " + path);
  Sheet sheet;
  std::string line;
  bool data = false;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string first;
    words >> first;
    if (first == "SPECTRAL_START_NM") words >> sheet.start;
    if (first == "SPECTRAL_END_NM") words >> sheet.end;
    if (first == "END_DATA") break;
    if (data && !first.empty()) {
      std::vector<double> row{std::stod(first)};
      double value;
      while (words >> value) row.push_back(value);
      sheet.rows.push_back(row);
    }
    if (first == "BEGIN_DATA") data = true;
  }
  return sheet;
}

double At(const std::vector<double>& values, double start, double end, double nm) {
  if (nm <= start) return values.front();
  if (nm >= end) return values.back();
  double step = (end - start) / static_cast<double>(values.size() - 1);
  double position = (nm - start) / step;
  std::size_t i = static_cast<std::size_t>(position);
  if (i + 1 >= values.size()) return values.back();
  double fraction = position - static_cast<double>(i);
  return values[i] + (values[i + 1] - values[i]) * fraction;
}

double F(double t) {
  constexpr double kDelta = 6.0 / 29.0;
  return t > kDelta * kDelta * kDelta ? std::cbrt(t) : t / (3 * kDelta * kDelta) + 4.0 / 29.0;
}

}  // namespace

ReferenceLab ReferenceLabOf(const std::array<double, 40>& reflectance, const std::string& data_directory,
                            const std::string& illuminant_file, const std::string& cmf_file) {
  Sheet cmf = ReadSheet(data_directory + "/cmf/" + cmf_file);
  Sheet light = ReadSheet(data_directory + "/illuminant/" + illuminant_file);
  std::vector<double> r(reflectance.begin(), reflectance.end());
  double x = 0, y = 0, z = 0, xw = 0, yw = 0, zw = 0;
  for (double nm = cmf.start; nm <= cmf.end; nm += 1.0) {
    double s = At(light.rows[0], light.start, light.end, nm);
    double xb = At(cmf.rows[0], cmf.start, cmf.end, nm);
    double yb = At(cmf.rows[1], cmf.start, cmf.end, nm);
    double zb = At(cmf.rows[2], cmf.start, cmf.end, nm);
    double rho = At(r, 360, 750, nm);
    x += s * xb * rho;
    y += s * yb * rho;
    z += s * zb * rho;
    xw += s * xb;
    yw += s * yb;
    zw += s * zb;
  }
  double fx = F(x / xw), fy = F(y / yw), fz = F(z / zw);
  return ReferenceLab{116 * fy - 16, 500 * (fx - fy), 200 * (fy - fz)};
}

std::array<double, 40> DefaultSample() {
  const double values[31] = {52.31, 56.04, 59.87, 63.12, 65.80, 67.94, 69.61, 70.95, 72.03, 72.92, 73.66,
                             74.30, 74.87, 75.39, 75.86, 76.30, 76.71, 77.09, 77.45, 77.79, 78.11, 78.41,
                             78.69, 78.95, 79.19, 79.41, 79.61, 79.79, 79.95, 80.09, 80.21};
  std::array<double, 40> spectrum{};
  for (int i = 0; i < 40; ++i) spectrum[i] = values[std::min(30, std::max(0, i - 4))] / 100.0;
  return spectrum;
}

}  // namespace vk605::tooltest
