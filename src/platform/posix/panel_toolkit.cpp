#include "platform/panel_toolkit.h"

#include <dlfcn.h>

#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "platform/module_info.h"
#include "platform/posix/panel_plugin_abi.h"

namespace vk605 {

namespace {

constexpr const char* kPluginName = "libvk605-gtk.so";

bool DisplayAvailable() {
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

std::string PluginPath() {
  std::string module = ModuleFilePath();
  const std::size_t slash = module.rfind('/');
  return (slash == std::string::npos ? std::string() : module.substr(0, slash + 1)) + kPluginName;
}

// The plugin's window as the pages see it.
class PluginView : public PanelView {
 public:
  PluginView(const VK605PanelPlugin& plugin, void* window) : p_(plugin), window_(window) {}
  void SetText(int control, const std::string& text) override { p_.set_text(window_, control, text.c_str()); }
  std::string GetText(int control) override {
    std::vector<char> text(256, '\0');
    const std::size_t length = p_.get_text(window_, control, text.data(), text.size());
    if (length >= text.size()) {
      text.assign(length + 1, '\0');
      p_.get_text(window_, control, text.data(), text.size());
    }
    text.back() = '\0';
    return text.data();
  }
  void SetCheck(int control, bool checked) override { p_.set_check(window_, control, checked ? 1 : 0); }
  bool IsChecked(int control) override { return p_.is_checked(window_, control) != 0; }
  void Enable(int control, bool enabled) override { p_.enable(window_, control, enabled ? 1 : 0); }
  void SetFocus(int control) override { p_.set_focus(window_, control); }
  int MessageBox(const std::string& text, const std::string& caption, unsigned type) override {
    return p_.message_box(window_, text.c_str(), caption.c_str(), type);
  }
  bool StartTimer(unsigned id, unsigned period_ms) override {
    return p_.start_timer(window_, id, period_ms) != 0;
  }
  void StopTimer(unsigned id) override { p_.stop_timer(window_, id); }

 private:
  const VK605PanelPlugin& p_;
  void* window_;
};

struct RunningPanel {
  const VK605PanelPlugin* plugin;
  PanelEvents* events;
  std::vector<PluginView> views;
};

RunningPanel& Running(void* context) {
  return *static_cast<RunningPanel*>(context);
}

// The GTK dialog of the plugin; without a display or without the plugin the panel cannot be created.
class PluginPanelToolkit : public PanelToolkit {
 public:
  int RunModal(PanelEvents& events) override {
    const VK605PanelPlugin* plugin = Plugin();
    if (plugin == nullptr) return -1;
    RunningPanel running{plugin, &events, {}};
    running.views.reserve(1);
    VK605PanelEvents calls{};
    calls.size = sizeof(calls);
    calls.context = &running;
    calls.shown = [](void* context, void* window) {
      RunningPanel& r = Running(context);
      if (!r.views.empty()) return;
      r.views.emplace_back(*r.plugin, window);
      r.events->OnShown(r.views.back());
    };
    calls.page_changing = [](void* context, int from, int to) {
      return Running(context).events->OnPageChanging(from, to) ? 1 : 0;
    };
    calls.command = [](void* context, int control) { Running(context).events->OnCommand(control); };
    calls.timer = [](void* context, unsigned id) { Running(context).events->OnTimer(id); };
    calls.ok = [](void* context) { return Running(context).events->OnOk() ? 1 : 0; };
    calls.cancel = [](void* context) { Running(context).events->OnCancel(); };
    return plugin->run_modal(&calls);
  }

  void BringToFront() override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (plugin_ != nullptr) plugin_->present();
  }

 private:
  // Loaded once, on the first panel with a display, and never unloaded: a toolkit cannot leave a
  // process again.
  const VK605PanelPlugin* Plugin() {
    if (!DisplayAvailable()) return nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    if (plugin_ != nullptr || tried_) return plugin_;
    tried_ = true;
    void* library = ::dlopen(PluginPath().c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (library == nullptr) return nullptr;
    auto entry = reinterpret_cast<VK605PanelPluginEntry>(::dlsym(library, VK605_PANEL_PLUGIN_ENTRY));
    const VK605PanelPlugin* plugin = entry != nullptr ? entry() : nullptr;
    if (plugin == nullptr || plugin->version != VK605_PANEL_PLUGIN_VERSION || plugin->size < sizeof(*plugin))
      return nullptr;
    plugin_ = plugin;
    return plugin_;
  }

  std::mutex mutex_;
  const VK605PanelPlugin* plugin_ = nullptr;
  bool tried_ = false;
};

}  // namespace

PanelToolkit& SystemPanelToolkit() {
  static PluginPanelToolkit toolkit;
  return toolkit;
}

}  // namespace vk605
