#include "spectrum_plot.h"

#include <cairo-svg.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "text_format.h"
#include "tool_error.h"

namespace vk605::tool {

namespace {

constexpr double kWidth = 860, kHeight = 520;
constexpr double kLeft = 80, kRight = 230, kTop = 50, kBottom = 90;

struct Colour {
  double r, g, b;
};
// Curve colours that stay apart on white paper; each reading's own colour is in its legend swatch.
constexpr Colour kPalette[] = {{0.12, 0.47, 0.71}, {0.84, 0.15, 0.16}, {0.17, 0.63, 0.17},
                               {0.58, 0.40, 0.74}, {1.00, 0.50, 0.05}, {0.55, 0.34, 0.29},
                               {0.89, 0.47, 0.76}, {0.50, 0.50, 0.50}};

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() && Lower(text.substr(text.size() - suffix.size())) == suffix;
}

class Axes {
 public:
  Axes(double top_percent) : top_percent_(top_percent) {}
  double X(double nm) const { return kLeft + (nm - 360.0) / (750.0 - 360.0) * (kWidth - kLeft - kRight); }
  double Y(double percent) const {
    return kTop + (1.0 - percent / top_percent_) * (kHeight - kTop - kBottom);
  }
  double TopPercent() const { return top_percent_; }

 private:
  double top_percent_;
};

void Text(cairo_t* cr, double x, double y, const std::string& text, double align_x, double align_y) {
  cairo_text_extents_t extents;
  cairo_text_extents(cr, text.c_str(), &extents);
  cairo_move_to(cr, x - extents.width * align_x - extents.x_bearing,
                y - extents.height * align_y - extents.y_bearing);
  cairo_show_text(cr, text.c_str());
}

void DrawFrame(cairo_t* cr, const Axes& axes) {
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, 12);
  cairo_set_line_width(cr, 1);
  for (double percent = 0; percent <= axes.TopPercent() + 1e-9; percent += 10) {
    cairo_set_source_rgb(cr, 0.88, 0.88, 0.88);
    cairo_move_to(cr, axes.X(360), axes.Y(percent));
    cairo_line_to(cr, axes.X(750), axes.Y(percent));
    cairo_stroke(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    Text(cr, axes.X(360) - 8, axes.Y(percent), FormatInt(static_cast<long long>(percent)), 1.0, 0.5);
  }
  for (int nm : {360, 400, 450, 500, 550, 600, 650, 700, 750}) {
    cairo_set_source_rgb(cr, 0.88, 0.88, 0.88);
    cairo_move_to(cr, axes.X(nm), axes.Y(0));
    cairo_line_to(cr, axes.X(nm), axes.Y(axes.TopPercent()));
    cairo_stroke(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    Text(cr, axes.X(nm), axes.Y(0) + 8, FormatInt(nm), 0.5, 0.0);
  }
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_rectangle(cr, axes.X(360), axes.Y(axes.TopPercent()), axes.X(750) - axes.X(360),
                  axes.Y(0) - axes.Y(axes.TopPercent()));
  cairo_stroke(cr);
  cairo_set_font_size(cr, 14);
  Text(cr, (axes.X(360) + axes.X(750)) / 2, axes.Y(0) + 30, "Wavelength (nm)", 0.5, 0.0);
  cairo_save(cr);
  cairo_translate(cr, 25, (axes.Y(0) + axes.Y(axes.TopPercent())) / 2);
  cairo_rotate(cr, -M_PI / 2);
  Text(cr, 0, 0, "Reflectance (%)", 0.5, 0.5);
  cairo_restore(cr);
}

// One stretch of a curve, from band first to band last.
void DrawStretch(cairo_t* cr, const Axes& axes, const Spectrum& reflectance, int first, int last,
                 bool dashed) {
  if (dashed) {
    const double dash[] = {6, 4};
    cairo_set_dash(cr, dash, 2, 0);
  }
  for (int i = first; i <= last; ++i) {
    double x = axes.X(kStartNm + kIntervalNm * i);
    double y = axes.Y(std::clamp(reflectance[i] * 100.0, 0.0, axes.TopPercent()));
    if (i == first) {
      cairo_move_to(cr, x, y);
    } else {
      cairo_line_to(cr, x, y);
    }
  }
  cairo_stroke(cr);
  cairo_set_dash(cr, nullptr, 0, 0);
}

// The measured range solid, the ends the driver copied from its first and last values dashed.
void DrawCurve(cairo_t* cr, const Axes& axes, const Spectrum& reflectance, Colour colour, double width) {
  cairo_set_source_rgb(cr, colour.r, colour.g, colour.b);
  cairo_set_line_width(cr, width);
  constexpr int kFirstMeasured = (kMeasuredStartNm - kStartNm) / kIntervalNm;
  constexpr int kLastMeasured = (kMeasuredEndNm - kStartNm) / kIntervalNm;
  DrawStretch(cr, axes, reflectance, 0, kFirstMeasured, true);
  DrawStretch(cr, axes, reflectance, kFirstMeasured, kLastMeasured, false);
  DrawStretch(cr, axes, reflectance, kLastMeasured, kBands - 1, true);
}

void LegendEntry(cairo_t* cr, int index, const std::string& label, Colour line, const Rgb8& swatch) {
  double x = kWidth - kRight + 20, y = kTop + 10 + 24.0 * index;
  cairo_set_source_rgb(cr, line.r, line.g, line.b);
  cairo_set_line_width(cr, 2.5);
  cairo_move_to(cr, x, y + 7);
  cairo_line_to(cr, x + 24, y + 7);
  cairo_stroke(cr);
  cairo_set_source_rgb(cr, swatch.r / 255.0, swatch.g / 255.0, swatch.b / 255.0);
  cairo_rectangle(cr, x + 30, y, 14, 14);
  cairo_fill_preserve(cr);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_set_line_width(cr, 0.5);
  cairo_stroke(cr);
  cairo_set_font_size(cr, 12);
  Text(cr, x + 50, y + 7, label, 0.0, 0.5);
}

void Draw(cairo_t* cr, const MeasurementReport& report) {
  double highest = 100;
  for (const Reading& reading : report.readings) {
    for (double value : reading.reflectance) highest = std::max(highest, value * 100.0);
  }
  Axes axes(std::min(1000.0, std::ceil(highest / 10.0) * 10.0));
  DrawFrame(cr, axes);
  const Provenance& p = report.provenance;
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_set_font_size(cr, 16);
  Text(cr, kLeft, 22, "Reflectance, " + p.model + " serial " + p.serial, 0.0, 0.5);
  cairo_set_font_size(cr, 11);
  Text(cr, kLeft, kHeight - 28,
       "firmware " + p.firmware + ", driver " + p.driver_version + ", specular " + p.specular_mode +
           ", calibrated " + (p.calibration_time.empty() ? std::string("unknown") : p.calibration_time),
       0.0, 0.5);
  Text(cr, kLeft, kHeight - 12,
       "measured " + p.created + ", " + report.illuminant + "/" + report.observer +
           ": L*a*b* in the legend; dashed: copied ends (measured " + FormatInt(kMeasuredStartNm) + "-" +
           FormatInt(kMeasuredEndNm) + " nm)",
       0.0, 0.5);
  constexpr int kPaletteSize = sizeof kPalette / sizeof kPalette[0];
  for (std::size_t r = 0; r < report.readings.size(); ++r) {
    Colour colour = kPalette[r % kPaletteSize];
    DrawCurve(cr, axes, report.readings[r].reflectance, colour, 2.0);
    const Lab& lab = report.readings[r].lab;
    LegendEntry(cr, static_cast<int>(r),
                "#" + FormatInt(static_cast<long long>(r + 1)) + " " + FormatFixed(lab.l, 1) + " " +
                    FormatFixed(lab.a, 1) + " " + FormatFixed(lab.b, 1),
                colour, report.readings[r].srgb);
  }
  if (report.summary) {
    DrawCurve(cr, axes, report.summary->reflectance, Colour{0, 0, 0}, 1.0);
    const Lab& lab = report.summary->lab;
    LegendEntry(cr, static_cast<int>(report.readings.size()),
                "mean " + FormatFixed(lab.l, 1) + " " + FormatFixed(lab.a, 1) + " " + FormatFixed(lab.b, 1),
                Colour{0, 0, 0}, report.summary->srgb);
  }
}

// Cairo's stream writer: the drawing collects in memory and is written to its file in one replacement.
cairo_status_t AppendTo(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

}  // namespace

void RequirePlotName(const std::string& path) {
  if (!EndsWith(path, ".svg") && !EndsWith(path, ".png")) {
    throw ToolError(ExitCode::kUsage, "--plot writes .svg or .png files, not " + path);
  }
}

void PlotSpectra(const MeasurementReport& report, const std::string& path) {
  RequirePlotName(path);
  bool svg = EndsWith(path, ".svg");
  std::string bytes;
  cairo_surface_t* surface = svg ? cairo_svg_surface_create_for_stream(AppendTo, &bytes, kWidth, kHeight)
                                 : cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(kWidth),
                                                              static_cast<int>(kHeight));
  cairo_t* cr = cairo_create(surface);
  Draw(cr, report);
  cairo_status_t status = cairo_status(cr);
  cairo_destroy(cr);
  if (!svg && status == CAIRO_STATUS_SUCCESS)
    status = cairo_surface_write_to_png_stream(surface, AppendTo, &bytes);
  cairo_surface_finish(surface);
  if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface);
  cairo_surface_destroy(surface);
  if (status != CAIRO_STATUS_SUCCESS) {
    throw ToolError(ExitCode::kFailure, "cannot draw " + path + ": " + cairo_status_to_string(status));
  }
  WriteFileOrFail(path, bytes);
}

}  // namespace vk605::tool
