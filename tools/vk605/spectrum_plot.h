#pragma once

#include <string>

#include "measurement_report.h"

namespace vk605::tool {

// Draws the reflectance curves of a report (and their mean) with cairo: wavelength in nm across,
// reflectance in percent up, a legend with each reading's sRGB colour, the provenance as a caption. The
// file name decides the form: .svg or .png. Written atomically; throws ToolError on failure.
void PlotSpectra(const MeasurementReport& report, const std::string& path);
// Throws ToolError (kUsage) unless path ends in .svg or .png.
void RequirePlotName(const std::string& path);

}  // namespace vk605::tool
