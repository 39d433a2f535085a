#pragma once

#include "engine/connection.h"
#include "engine/engine_context.h"

namespace vk605 {

// Reads the spectral reply with the command of the current specular mode and parses it; shared by the
// measurement and the trigger worker. spectra (40 values) is written only when all values read.
int ReadSpectrum(Connection& connection, const SettingsBlock& settings, double* spectra);

// One reflectance measurement: wake, measuring mode, "RM", spectral read. A measurement the instrument
// does not accept, or a reply without 31 readable values, fails with 1006 and leaves spectra untouched.
// The measurement status text is refreshed and copied into text whatever happened.
int MeasureSpectrum(EngineContext& context, char* text, double* spectra);

}  // namespace vk605
