#pragma once

#include "command_line.h"
#include "exit_codes.h"

namespace vk605::tool {

// Each command runs one invocation and returns the exit code; failures that end it throw ToolError.
ExitCode RunStatus(const Invocation& invocation);
ExitCode RunCalibrate(const Invocation& invocation);
ExitCode RunMeasure(const Invocation& invocation);
ExitCode RunConfig(const Invocation& invocation);
ExitCode RunPorts(const Invocation& invocation);
ExitCode RunDoctor(const Invocation& invocation);
ExitCode RunLog(const Invocation& invocation);
ExitCode RunPanel(const Invocation& invocation);

// Current time as ISO 8601 UTC ("2026-12-09T00:14:28Z").
std::string NowUtc();
// The product version of this program.
const char* ToolVersion();

}  // namespace vk605::tool
