// The control panel's GTK window under an Xvfb server of each test's own: the built driver and its
// plugin loaded like a host loads them, against vk605-sim, driven through GTK from inside the host.
#include <dlfcn.h>
#include <gtk/gtk.h>
#include <stdlib.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "host_test.h"
#include "xvfb_server.h"

namespace vk605::host {
namespace {

constexpr const char* k9046 =
    "The Expiration Time cannot be 0:00. Please enter a valid expiration time:\nHours: 0 to 720\nMinutes: 0 "
    "to 59";
constexpr const char* k9048 = "Expiration HOURS must be in the range 0 to 720.";

using Hook = void (*)(void* context, int kind, void* widget);

// What the test does once the panel (kind 0) or one of its GTK message boxes (kind 1) is shown.
struct Scenario {
  std::function<void()> on_panel;
  std::function<void(GtkWidget*)> on_box;
};

void* (*g_widget)(int) = nullptr;

GtkWidget* W(int control) {
  return GTK_WIDGET(g_widget(control));
}
std::string Text(int control) {
  return gtk_entry_get_text(GTK_ENTRY(W(control)));
}
bool Checked(int control) {
  return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(W(control))) != FALSE;
}
void Pump() {
  while (gtk_events_pending() != FALSE) gtk_main_iteration_do(FALSE);
}

// The window as GTK draws it, into a PNG file.
bool Snapshot(const std::filesystem::path& file) {
  Pump();
  GtkWidget* window = W(-2);
  const int width = gtk_widget_get_allocated_width(window);
  const int height = gtk_widget_get_allocated_height(window);
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  cairo_t* cr = cairo_create(surface);
  gtk_widget_draw(window, cr);
  cairo_destroy(cr);
  const bool written = cairo_surface_write_to_png(surface, file.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface);
  if (const char* keep = std::getenv("VK605_PANEL_SCREENSHOTS"); keep != nullptr && *keep != '\0') {
    std::filesystem::copy_file(file, std::filesystem::path(keep) / file.filename(),
                               std::filesystem::copy_options::overwrite_existing);
  }
  return written && width > 100 && height > 100;
}

class Panel : public HostTest {
 protected:
  // The instrument, the reference profiling component with a profile for the simulator's serial number,
  // and the plugin beside the driver.
  void Prepare(bool with_plugin = true) {
    StartInstrument();
    WriteFile(Path("profile.prf"), "created = 2004-07-30 14:05:09\n");
    WriteRegistry(
        "[Software\\Classes\\CalveraSrv.ProfileV1]\nLibrary=" + std::string(VK605_REFERENCE_COMPONENT_PATH) +
        "\n[Software\\Orvanta\\Calvera\\Profiles\\VK60512345]\nLocalFile=" + Path("profile.prf").string() +
        "\n");
    if (with_plugin) std::filesystem::copy_file(VK605_GTK_PLUGIN_PATH, Path("libvk605-gtk.so"));
  }

  // In the child host: the display, the plugin's test entries and the scenario.
  void Attach(const std::string& display, Scenario& scenario) const {
    ::setenv("DISPLAY", display.c_str(), 1);
    ::unsetenv("WAYLAND_DISPLAY");
    void* plugin = ::dlopen(Path("libvk605-gtk.so").c_str(), RTLD_NOW | RTLD_NODELETE);
    Check(plugin != nullptr, "plugin loads");
    if (plugin == nullptr) return;
    g_widget = reinterpret_cast<void* (*)(int)>(::dlsym(plugin, "vk605_gtk_panel_widget"));
    auto set_hook = reinterpret_cast<void (*)(Hook, void*)>(::dlsym(plugin, "vk605_gtk_panel_set_test_hook"));
    Check(g_widget != nullptr && set_hook != nullptr, "test entries");
    set_hook(
        [](void* context, int kind, void* widget) {
          Scenario& s = *static_cast<Scenario*>(context);
          // Snapshots show the controls' final state, not a check mark's animation.
          g_object_set(gtk_settings_get_default(), "gtk-enable-animations", FALSE, nullptr);
          if (kind == 0 && s.on_panel) s.on_panel();
          if (kind == 1 && s.on_box) s.on_box(GTK_WIDGET(widget));
        },
        &scenario);
  }

  XvfbServer x_;
};

// The whole path of a user: status seen, profiling switched off, an hour count out of range refused
// with the focus on its edit, corrected, and OK storing the limits and rules in the calibration file.
TEST_F(Panel, StatusProfilingSwitchAndCalibrationLimitsReachTheFiles) {
  ASSERT_FALSE(x_.Display().empty()) << "Xvfb did not start";
  Prepare();
  const std::filesystem::path shots = Dir().Path();
  int failures = RunHost([&](Driver& driver) {
    HOST_CHECK_EQ(VK605_EXPORT(driver, InitializeDriver)(), 0);
    Scenario scenario;
    int second_call = 0;
    std::size_t boxes_before_ok = 0;
    scenario.on_panel = [&] {
      HOST_CHECK_EQ(Text(1023), std::string("Communications Established"));
      HOST_CHECK_EQ(Text(1032), std::string("VK605 V1.07"));
      HOST_CHECK_EQ(Text(1024), std::string("12345"));
      HOST_CHECK_EQ(Text(1022), std::string("Calibrated"));
      HOST_CHECK_EQ(Text(1015), std::string("Reflectance"));
      HOST_CHECK_EQ(Text(1016), std::string("Excluded"));  // SPECULAR_MODE of the settings: excluded
      HOST_CHECK_EQ(Text(10190), std::string("Calvera is enabled"));
      HOST_CHECK(Checked(3001));
      HOST_CHECK(Snapshot(shots / "panel-status.png"));
      // One panel at a time: a second call returns at once.
      second_call = VK605_EXPORT(driver, ControlPanel)();
      gtk_button_clicked(GTK_BUTTON(W(3001)));
      HOST_CHECK(!Checked(3001));
      HOST_CHECK_EQ(Text(10190), std::string("Calvera has been turned off by the user."));

      gtk_notebook_set_current_page(GTK_NOTEBOOK(W(-1)), 1);
      HOST_CHECK_EQ(gtk_notebook_get_current_page(GTK_NOTEBOOK(W(-1))), 1);
      HOST_CHECK_EQ(Text(10240), std::string("4"));
      HOST_CHECK_EQ(Text(10242), std::string("0"));
      HOST_CHECK_EQ(Text(10241), std::string("250"));
      HOST_CHECK(gtk_widget_get_sensitive(W(10240)) == FALSE);
      gtk_button_clicked(GTK_BUTTON(W(1112)));
      gtk_button_clicked(GTK_BUTTON(W(1113)));
      HOST_CHECK(Checked(1112) && Checked(1113));
      HOST_CHECK(gtk_widget_get_sensitive(W(10240)) != FALSE);
      HOST_CHECK(gtk_widget_get_sensitive(W(10241)) != FALSE);

      gtk_entry_set_text(GTK_ENTRY(W(10240)), "721");
      boxes_before_ok = Script().boxes.size();
      gtk_button_clicked(GTK_BUTTON(W(1)));
      HOST_CHECK_EQ(Script().boxes.size(), boxes_before_ok + 1);
      if (Script().boxes.size() == boxes_before_ok + 1) {
        HOST_CHECK_EQ(Script().boxes.back().text, std::string(k9048));
        HOST_CHECK_EQ(Script().boxes.back().caption, std::string("VK605"));
      }
      HOST_CHECK(gtk_window_get_focus(GTK_WINDOW(W(-2))) == W(10240));
      HOST_CHECK(g_widget(1) != nullptr);  // still open

      gtk_entry_set_text(GTK_ENTRY(W(10240)), "36");
      gtk_entry_set_text(GTK_ENTRY(W(10242)), "15");
      gtk_entry_set_text(GTK_ENTRY(W(10241)), "500");
      HOST_CHECK(Snapshot(shots / "panel-calibration.png"));
      gtk_button_clicked(GTK_BUTTON(W(1)));
    };
    Attach(x_.Display(), scenario);
    HOST_CHECK_EQ(VK605_EXPORT(driver, ControlPanel)(), 1);
    HOST_CHECK_EQ(second_call, -1);
    HOST_CHECK_EQ(Script().boxes.size(), boxes_before_ok + 1);  // no message 101 for the second call
    HOST_CHECK_EQ(VK605_EXPORT(driver, IsCalveraEnabled)(), 0);
    const auto calibration = IniSection(driver.Directory() / "VK60512345.INI", "CALIBRATION");
    HOST_CHECK_EQ(calibration.at("HOURS"), std::string("36"));
    HOST_CHECK_EQ(calibration.at("MINUTES"), std::string("15"));
    HOST_CHECK_EQ(calibration.at("MEASUREMENTS"), std::string("500"));
    HOST_CHECK_EQ(calibration.at("BTIME"), std::string("1"));
    HOST_CHECK_EQ(calibration.at("BMEASUREMENTS"), std::string("1"));
    driver.Unload();
  });
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(IniSection(Path("VK605.INI"), "MAIN").at("CALVERA_STATE"), "0");
  EXPECT_TRUE(std::filesystem::file_size(Path("panel-status.png")) > 0);
}

// Cancel stores no limits, but keeps the profiling switch as the user left it.
TEST_F(Panel, CancelStoresNoLimits) {
  ASSERT_FALSE(x_.Display().empty()) << "Xvfb did not start";
  Prepare();
  int failures = RunHost([&](Driver& driver) {
    HOST_CHECK_EQ(VK605_EXPORT(driver, InitializeDriver)(), 0);
    Scenario scenario;
    scenario.on_panel = [&] {
      gtk_button_clicked(GTK_BUTTON(W(3001)));
      gtk_notebook_set_current_page(GTK_NOTEBOOK(W(-1)), 1);
      gtk_button_clicked(GTK_BUTTON(W(1112)));
      gtk_entry_set_text(GTK_ENTRY(W(10240)), "99");
      gtk_button_clicked(GTK_BUTTON(W(2)));
    };
    Attach(x_.Display(), scenario);
    HOST_CHECK_EQ(VK605_EXPORT(driver, ControlPanel)(), 2);
    HOST_CHECK_EQ(VK605_EXPORT(driver, IsCalveraEnabled)(), 0);
    const auto calibration = IniSection(driver.Directory() / "VK60512345.INI", "CALIBRATION");
    HOST_CHECK_EQ(calibration.at("HOURS"), std::string("4"));
    HOST_CHECK_EQ(calibration.at("BTIME"), std::string("0"));
    HOST_CHECK(Script().boxes.empty());
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

// Without a host handler the pages' messages are GTK message dialogs over the panel.
TEST_F(Panel, MessagesWithoutAHostHandlerAreGtkDialogs) {
  ASSERT_FALSE(x_.Display().empty()) << "Xvfb did not start";
  Prepare();
  int failures = RunHost(
      [&](Driver& driver) {
        HOST_CHECK_EQ(VK605_EXPORT(driver, InitializeDriver)(), 0);
        Scenario scenario;
        std::string shown;
        std::string title;
        scenario.on_box = [&](GtkWidget* dialog) {
          gchar* text = nullptr;
          g_object_get(dialog, "text", &text, nullptr);
          shown = text != nullptr ? text : "";
          g_free(text);
          title = gtk_window_get_title(GTK_WINDOW(dialog));
          gtk_dialog_response(GTK_DIALOG(dialog), 1);
        };
        scenario.on_panel = [&] {
          gtk_notebook_set_current_page(GTK_NOTEBOOK(W(-1)), 1);
          gtk_entry_set_text(GTK_ENTRY(W(10240)), "");
          gtk_entry_set_text(GTK_ENTRY(W(10242)), "");
          gtk_button_clicked(GTK_BUTTON(W(1)));
          HOST_CHECK_EQ(shown, std::string(k9046));
          HOST_CHECK_EQ(title, std::string("VK605"));
          // The page stays: a switch back to the status page is refused too.
          gtk_notebook_set_current_page(GTK_NOTEBOOK(W(-1)), 0);
          HOST_CHECK_EQ(gtk_notebook_get_current_page(GTK_NOTEBOOK(W(-1))), 1);
          gtk_button_clicked(GTK_BUTTON(W(2)));
        };
        Attach(x_.Display(), scenario);
        HOST_CHECK_EQ(VK605_EXPORT(driver, ControlPanel)(), 2);
        EndHostWithoutUnload();
      },
      Ui::kPlatformDefault);
  EXPECT_EQ(failures, 0);
}

// A display but no plugin beside the driver, or a display nobody serves: message 101 and -1.
TEST_F(Panel, WithoutPluginOrWorkingDisplayThePanelCannotBeCreated) {
  ASSERT_FALSE(x_.Display().empty()) << "Xvfb did not start";
  Prepare(false);
  int failures = RunHost([&](Driver& driver) {
    ::setenv("DISPLAY", x_.Display().c_str(), 1);
    HOST_CHECK_EQ(VK605_EXPORT(driver, ControlPanel)(), -1);
    HOST_CHECK_EQ(Script().boxes.size(), 1u);
    HOST_CHECK_EQ(Script().boxes.at(0).text, std::string("Unable to load instrument control panel."));
    HOST_CHECK_EQ(Script().boxes.at(0).type, 0x40u);
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
  std::filesystem::copy_file(VK605_GTK_PLUGIN_PATH, Path("libvk605-gtk.so"));
  failures = RunHost([&](Driver& driver) {
    // A display number no server listens on.
    ::setenv("DISPLAY", ":4097", 1);
    HOST_CHECK_EQ(VK605_EXPORT(driver, ControlPanel)(), -1);
    HOST_CHECK_EQ(Script().boxes.size(), 1u);
    HOST_CHECK_EQ(Script().boxes.at(0).text, std::string("Unable to load instrument control panel."));
    EndHostWithoutUnload();
  });
  EXPECT_EQ(failures, 0);
}

}  // namespace
}  // namespace vk605::host
