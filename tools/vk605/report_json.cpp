// The JSON form of a measurement report: one object on one line.
#include <string>

#include "measurement_report.h"
#include "text_format.h"

namespace vk605::tool {

namespace {

std::string Array(const double* values, int count, int decimals) {
  std::string out = "[";
  for (int i = 0; i < count; ++i) out += (i ? "," : "") + FormatFixed(values[i], decimals);
  return out + "]";
}

std::string SpectrumJson(const Spectrum& reflectance) {
  return JsonObject()
      .Add("start_nm", kStartNm)
      .Add("interval_nm", kIntervalNm)
      .Add("measured_start_nm", kMeasuredStartNm)
      .Add("measured_end_nm", kMeasuredEndNm)
      .AddRaw("reflectance", Array(reflectance.data(), kBands, 4))
      .Text();
}

std::string ColourJson(JsonObject object, const Xyz& xyz, const Lab& lab, const Rgb8& rgb) {
  const double xyz_values[] = {xyz.x, xyz.y, xyz.z};
  const double lab_values[] = {lab.l, lab.a, lab.b};
  return object.AddRaw("XYZ", Array(xyz_values, 3, 4))
      .AddRaw("Lab", Array(lab_values, 3, 4))
      .Add("srgb", HexColour(rgb))
      .Text();
}

}  // namespace

std::string FormatReadingJson(const Reading& reading, int index, int count) {
  JsonObject object;
  object.Add("kind", "reading").Add("index", index).Add("of", count).Add("time", reading.time);
  if (reading.de2000_reference) object.Add("de2000_reference", *reading.de2000_reference, 4);
  object.AddRaw("spectrum", SpectrumJson(reading.reflectance));
  return ColourJson(object, reading.xyz, reading.lab, reading.srgb);
}

std::string FormatJson(const MeasurementReport& report) {
  const Provenance& p = report.provenance;
  std::string provenance = JsonObject()
                               .Add("model", p.model)
                               .Add("serial", p.serial)
                               .Add("firmware", p.firmware)
                               .Add("driver_version", p.driver_version)
                               .Add("calibration_time", p.calibration_time)
                               .Add("specular_mode", p.specular_mode)
                               .Add("port", p.port)
                               .Add("created", p.created)
                               .Add("tool", "vk605 " + p.tool_version)
                               .Text();
  std::string readings = "[";
  for (std::size_t r = 0; r < report.readings.size(); ++r) {
    const Reading& reading = report.readings[r];
    JsonObject object;
    object.Add("index", static_cast<long long>(r + 1))
        .Add("time", reading.time)
        .AddRaw("spectrum", SpectrumJson(reading.reflectance));
    if (reading.de2000_reference) object.Add("de2000_reference", *reading.de2000_reference, 4);
    readings += (r ? "," : "") + ColourJson(object, reading.xyz, reading.lab, reading.srgb);
  }
  readings += "]";
  JsonObject document;
  document.Add("kind", "measurement")
      .AddRaw("provenance", provenance)
      .Add("illuminant", report.illuminant)
      .Add("observer", report.observer)
      .AddRaw("readings", readings);
  if (report.reference) {
    const double lab[] = {report.reference->lab.l, report.reference->lab.a, report.reference->lab.b};
    document.AddRaw("reference", JsonObject()
                                     .Add("file", report.reference->path)
                                     .Add("source", report.reference->source)
                                     .Add("sets", report.reference->sets)
                                     .AddRaw("Lab", Array(lab, 3, 4))
                                     .Text());
  }
  if (report.summary) {
    const Summary& s = *report.summary;
    JsonObject mean;
    mean.AddRaw("spectrum", SpectrumJson(s.reflectance));
    if (s.de2000_reference) mean.Add("de2000_reference", *s.de2000_reference, 4);
    document.AddRaw("mean", ColourJson(mean, s.xyz, s.lab, s.srgb))
        .Add("spread_de2000_mean", s.mean_de2000, 4)
        .Add("spread_de2000_max", s.max_de2000, 4);
  }
  return document.Text() + "\n";
}

}  // namespace vk605::tool
