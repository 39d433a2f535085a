#pragma once

#include "ui/ui_dispatcher.h"
#include "vk605/vk605.h"

namespace vk605 {

// The host's handler as the ui layer calls it.
HostUiHandler ToHostUiHandler(const VK605UiHandler& handler);

// Body of SetUserInterfaceHandler: installs a copy of the host's handler, null restores the platform
// default. Returns 0, or 1 for a handler whose size field is smaller than the structure (the current
// handler stays).
int InstallHostUiHandler(UiDispatcher& ui, const VK605UiHandler* handler);

}  // namespace vk605
