#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>

#include "emulated_usb_bridge.h"
#include "host_test.h"

namespace vk605::host {

// A host test whose instrument sits behind emulated USB bridges; VK605.INI names port USB and the
// diagnostics trace is on. The bridge lives in this process, so what it recorded is read after RunHost.
class UsbHostTest : public HostTest {
 protected:
  // The first call plugs in one bridge with an instrument of these settings.
  sim::EmulatedBridge& Bridge(sim::SimSettings settings = {}) {
    if (bridge_ == nullptr) {
      bridge_ = std::make_unique<sim::EmulatedBridge>(std::move(settings));
      bridge_->AddDevice();
      EXPECT_TRUE(bridge_->AwaitWorker());
      WriteSettings("USB");
      EnableTrace();
    }
    return *bridge_;
  }
  void TearDown() override {
    bridge_.reset();
    HostTest::TearDown();
  }

  // Whether a trace entry contains text.
  bool TraceHas(const std::string& text) const {
    for (const std::string& entry : TraceEntries()) {
      if (entry.find(text) != std::string::npos) return true;
    }
    return false;
  }

 private:
  std::unique_ptr<sim::EmulatedBridge> bridge_;
};

}  // namespace vk605::host
