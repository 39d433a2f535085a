#pragma once

#include <string>

namespace vk605::tool {

// The usage text of the program (command empty) or of one command; empty for an unknown command.
std::string HelpText(const std::string& command);

}  // namespace vk605::tool
