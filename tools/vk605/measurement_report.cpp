#include "measurement_report.h"

#include <algorithm>
#include <cstdio>

#include "text_format.h"

namespace vk605::tool {

Reading Evaluate(const Colorimeter& colorimeter, const Spectrum& reflectance) {
  Reading reading;
  reading.reflectance = reflectance;
  reading.xyz = colorimeter.ToXyz(reflectance);
  reading.lab = colorimeter.ToLab(reading.xyz);
  reading.srgb = colorimeter.ToSrgb(reading.lab);
  return reading;
}

Summary Summarise(const Colorimeter& colorimeter, const std::vector<Reading>& readings) {
  Summary summary;
  if (readings.empty()) return summary;
  double n = static_cast<double>(readings.size());
  for (const Reading& reading : readings) {
    for (int i = 0; i < kBands; ++i) summary.reflectance[i] += reading.reflectance[i] / n;
    summary.lab.l += reading.lab.l / n;
    summary.lab.a += reading.lab.a / n;
    summary.lab.b += reading.lab.b / n;
  }
  summary.xyz = colorimeter.ToXyz(summary.reflectance);
  summary.srgb = colorimeter.ToSrgb(summary.lab);
  for (const Reading& reading : readings) {
    double difference = Colorimeter::DeltaE2000(reading.lab, summary.lab);
    summary.mean_de2000 += difference / n;
    summary.max_de2000 = std::max(summary.max_de2000, difference);
  }
  return summary;
}

void CompareWithReference(MeasurementReport& report) {
  if (!report.reference) return;
  for (Reading& reading : report.readings) {
    reading.de2000_reference = Colorimeter::DeltaE2000(reading.lab, report.reference->lab);
  }
  if (report.summary) {
    report.summary->de2000_reference = Colorimeter::DeltaE2000(report.summary->lab, report.reference->lab);
  }
}

std::string CopiedEndsNote() {
  return "measured " + FormatInt(kMeasuredStartNm) + "-" + FormatInt(kMeasuredEndNm) + " nm; " +
         FormatInt(kStartNm) + "-" + FormatInt(kMeasuredStartNm - kIntervalNm) + " nm copy the " +
         FormatInt(kMeasuredStartNm) + " nm value and " + FormatInt(kMeasuredEndNm + kIntervalNm) + "-" +
         FormatInt(kStartNm + kIntervalNm * (kBands - 1)) + " nm the " + FormatInt(kMeasuredEndNm) +
         " nm value";
}

std::string HexColour(const Rgb8& rgb) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", rgb.r, rgb.g, rgb.b);
  return text;
}

}  // namespace vk605::tool
