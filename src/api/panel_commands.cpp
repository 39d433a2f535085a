#include "api/panel_commands.h"

#include <vector>

#include "engine/connection.h"

namespace vk605 {

namespace {
constexpr std::size_t kVersionTextCapacity = 8192;
}

int EnginePanelInstrument::ReadVersion(std::string& text) {
  std::vector<char> buffer(kVersionTextCapacity, '\0');
  const int result = static_cast<int>(engine_.ReadHead(code::kVersion, nullptr, nullptr, buffer.data()));
  buffer.back() = '\0';
  text = buffer.data();
  return result;
}

std::string EnginePanelInstrument::QuerySerialNumber() {
  Connection connection(engine_.Context());
  std::string serial;
  if (connection.QuerySerialNumber(serial) != 0) serial.clear();
  return serial;
}

int RunControlPanel(DriverServices& s, ControlPanelHost& host) {
  EnginePanelInstrument instrument(s.engine);
  ClientPanelProfiling profiling(s);
  ValidityLimits limits(s.validity);
  return host.Run(PanelContext{s.state.settings, instrument, profiling, limits, s.ui});
}

}  // namespace vk605
