#include "api/host_ui_handler.h"

namespace vk605 {

HostUiHandler ToHostUiHandler(const VK605UiHandler& handler) {
  HostUiHandler converted;
  converted.context = handler.context;
  converted.message_box = handler.message_box;
  converted.open_dialog = handler.open_dialog;
  converted.set_dialog_text = handler.set_dialog_text;
  converted.poll_dialog = handler.poll_dialog;
  converted.close_dialog = handler.close_dialog;
  return converted;
}

int InstallHostUiHandler(UiDispatcher& ui, const VK605UiHandler* handler) {
  if (handler == nullptr) {
    ui.SetHandler(nullptr);
    return 0;
  }
  // A host built against a smaller structure would have us read past its end.
  if (handler->size < sizeof(VK605UiHandler)) return 1;
  const HostUiHandler converted = ToHostUiHandler(*handler);
  ui.SetHandler(&converted);
  return 0;
}

}  // namespace vk605
