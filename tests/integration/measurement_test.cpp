// Measurements and calibration through the exports, against vk605-sim.
#include <gtest/gtest.h>

#include "host_test.h"

namespace vk605::host {
namespace {

using Measurement = HostTest;

TEST_F(Measurement, SpectrumOfTheDefaultSample) {
  SimProcess& sim = StartInstrument();
  int failures = RunHost([&](Driver& driver) {
    HOST_CHECK_EQ(VK605_EXPORT(driver, InitializeDriver)(), 0);
    sim.ClearRecord();
    double spectra[40] = {};
    HOST_CHECK_EQ(VK605_EXPORT(driver, PerformMeasurement)(spectra), 0);
    HOST_CHECK_EQ(Joined(sim.Commands()),
                  "01XD\\r AT\\r, \\r 0101SM\\r RM\\r 104GF\\r 01XD\\r AT\\r, 01XD\\r AT\\r,");
    HOST_CHECK_EQ(spectra[4], Percent(52.31f));
    HOST_CHECK_EQ(spectra[34], Percent(80.21f));
    for (int i = 0; i < 4; ++i) HOST_CHECK_EQ(spectra[i], spectra[4]);
    for (int i = 35; i < 40; ++i) HOST_CHECK_EQ(spectra[i], spectra[34]);
    HOST_CHECK_EQ(VK605_EXPORT(driver, IsProfiled)(), 0);
    HOST_CHECK(Script().boxes.empty());
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

}  // namespace
}  // namespace vk605::host
