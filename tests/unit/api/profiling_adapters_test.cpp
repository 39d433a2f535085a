#include "api/profiling_adapters.h"

#include <gtest/gtest.h>

#include "fakes/fake_user_interface.h"

namespace vk605 {
namespace {

using testing::FakeUserInterface;

// An instrument model whose embedded-profiling answers the test chooses.
class ScriptedInstrument : public InstrumentInterface {
 public:
  ScriptedInstrument(InterfaceSwitches& switches, UserInterface& ui) : InstrumentInterface(switches, ui) {}
  int UsesEmbeddedProfiling() override { return 0; }
  int Connect(char*) override { return 0; }
  int IsEmbeddedProfilingSupported() override { return supported; }
  char GetEmbeddedProfilingState() override { return state; }

  int supported = 0;
  char state = '0';
};

TEST(ProfilingAdapters, EmbeddedProfilingAsksTheInstrument) {
  InterfaceSwitches switches;
  FakeUserInterface ui;
  ScriptedInstrument instrument(switches, ui);
  InstrumentEmbeddedProfiling embedded(instrument);
  instrument.supported = 1;
  instrument.state = '2';
  EXPECT_EQ(embedded.IsEmbeddedProfilingSupported(), 1);
  EXPECT_EQ(embedded.GetEmbeddedProfilingState(), '2');
  instrument.supported = 5;
  instrument.state = '0';
  EXPECT_EQ(embedded.IsEmbeddedProfilingSupported(), 5);
  EXPECT_EQ(embedded.GetEmbeddedProfilingState(), '0');
  EXPECT_TRUE(ui.boxes.empty());
}

TEST(ProfilingAdapters, ComponentErrorIsTheDriversWarningBox) {
  FakeUserInterface ui;
  UiProfilingAlerts alerts(ui);
  alerts.ShowComponentError("IDispatch error #5");
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, "IDispatch error #5");
  EXPECT_EQ(ui.boxes[0].caption, "VK605");
  EXPECT_EQ(ui.boxes[0].type, 0x30u);
}

}  // namespace
}  // namespace vk605
