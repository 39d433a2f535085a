#include "platform/panel_toolkit.h"

namespace vk605 {

namespace {

// This build has no property sheet of its own yet: the panel cannot be created, and ControlPanel
// answers with message 101 and -1.
class NoPanelToolkit : public PanelToolkit {
 public:
  int RunModal(PanelEvents&) override { return -1; }
  void BringToFront() override {}
};

}  // namespace

PanelToolkit& SystemPanelToolkit() {
  static NoPanelToolkit toolkit;
  return toolkit;
}

}  // namespace vk605
