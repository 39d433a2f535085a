// The control panel's window on GTK 3: a modal dialog "VK605" with the tabs "Varnel VK605" and
// "Calibration", laid out like the dialog templates 7510 and 107. It holds no logic of its own: every
// user action goes to the driver's events, and the driver sets the controls through the plugin's calls.
#include <gtk/gtk.h>

#include <cstring>
#include <map>
#include <string>

#include "platform/posix/panel_plugin_abi.h"

namespace {

// Win32 message-box values the driver passes.
constexpr unsigned kTypeMask = 0xF;
constexpr unsigned kOkCancel = 1;
constexpr unsigned kYesNo = 4;
constexpr unsigned kIconMask = 0xF0;
constexpr unsigned kIconQuestion = 0x20;
constexpr unsigned kIconExclamation = 0x30;
constexpr unsigned kIconInformation = 0x40;
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// Identifiers the test hook uses for the parts that have no control identifier of the templates.
constexpr int kNotebookId = -1;
constexpr int kWindowId = -2;

using TestHook = void (*)(void* context, int kind, void* widget);

struct Panel {
  const VK605PanelEvents* events = nullptr;
  GtkWidget* window = nullptr;
  GtkWidget* notebook = nullptr;
  GMainLoop* loop = nullptr;
  std::map<int, GtkWidget*> controls;
  std::map<unsigned, guint> timers;
  int result = kIdCancel;
  int updating = 0;  // the driver is setting a control: its signals are no user action
  bool shown = false;
};

Panel* g_panel = nullptr;  // the open panel; only touched on the thread that runs it
TestHook g_test_hook = nullptr;
void* g_test_context = nullptr;

Panel& Of(void* window) {
  return *static_cast<Panel*>(window);
}

GtkWidget* Control(void* window, int control) {
  Panel& panel = Of(window);
  auto it = panel.controls.find(control);
  return it == panel.controls.end() ? nullptr : it->second;
}

void Notify(int kind, GtkWidget* widget) {
  if (g_test_hook == nullptr) return;
  struct Call {
    int kind;
    GtkWidget* widget;
  };
  // After the widget is shown and the loop that runs it has started.
  g_idle_add(
      [](gpointer data) -> gboolean {
        Call* call = static_cast<Call*>(data);
        if (g_test_hook != nullptr) g_test_hook(g_test_context, call->kind, call->widget);
        delete call;
        return G_SOURCE_REMOVE;
      },
      new Call{kind, widget});
}

// ---- building the pages ----

GtkWidget* Label(const char* text) {
  GtkWidget* label = gtk_label_new(text);
  gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
  return label;
}

GtkWidget* Field(Panel& panel, int id, bool editable, int width_chars) {
  GtkWidget* entry = gtk_entry_new();
  gtk_editable_set_editable(GTK_EDITABLE(entry), editable ? TRUE : FALSE);
  gtk_entry_set_width_chars(GTK_ENTRY(entry), width_chars);
  gtk_widget_set_name(entry, ("vk605-" + std::to_string(id)).c_str());
  panel.controls[id] = entry;
  return entry;
}

void OnToggled(GtkToggleButton* button, gpointer data) {
  Panel& panel = *g_panel;
  if (panel.updating != 0 || !panel.shown) return;
  panel.events->command(panel.events->context, GPOINTER_TO_INT(data));
  static_cast<void>(button);
}

GtkWidget* CheckBox(Panel& panel, int id, const char* text) {
  GtkWidget* check = gtk_check_button_new_with_label(text);
  gtk_widget_set_name(check, ("vk605-" + std::to_string(id)).c_str());
  g_signal_connect(check, "toggled", G_CALLBACK(OnToggled), GINT_TO_POINTER(id));
  panel.controls[id] = check;
  return check;
}

GtkWidget* StatusPage(Panel& panel) {
  GtkWidget* grid = gtk_grid_new();
  gtk_grid_set_row_spacing(GTK_GRID(grid), 6);
  gtk_grid_set_column_spacing(GTK_GRID(grid), 12);
  gtk_container_set_border_width(GTK_CONTAINER(grid), 12);
  struct Row {
    const char* label;
    int field;
    bool editable;
  };
  const Row rows[] = {{"System Status", 1023, false},
                      {"Serial Number", 1024, false},
                      {"Version:", 1032, true},
                      {"Calibration:", 1022, false},
                      {"Mode:", 1015, false},
                      {"Specular:", 1016, false},
                      {"UV:", 1017, false}};
  int top = 0;
  for (const Row& row : rows) {
    gtk_grid_attach(GTK_GRID(grid), Label(row.label), 0, top, 1, 1);
    GtkWidget* field = Field(panel, row.field, row.editable, 36);
    gtk_widget_set_hexpand(field, TRUE);
    gtk_grid_attach(GTK_GRID(grid), field, 1, top++, 1, 1);
  }
  // Lens position and aperture: present but hidden, as in the template.
  for (int id : {1020, 1021}) {
    GtkWidget* hidden = Field(panel, id, false, 8);
    gtk_widget_set_no_show_all(hidden, TRUE);
    gtk_grid_attach(GTK_GRID(grid), hidden, id == 1020 ? 0 : 1, top, 1, 1);
  }
  ++top;
  gtk_grid_attach(GTK_GRID(grid), CheckBox(panel, 3001, "Calvera"), 0, top, 1, 1);
  gtk_grid_attach(GTK_GRID(grid), Field(panel, 10190, false, 36), 1, top, 1, 1);
  return grid;
}

GtkWidget* CalibrationPage(Panel& panel) {
  GtkWidget* frame = gtk_frame_new("Calibration Expiration");
  GtkWidget* grid = gtk_grid_new();
  gtk_grid_set_row_spacing(GTK_GRID(grid), 6);
  gtk_grid_set_column_spacing(GTK_GRID(grid), 8);
  gtk_container_set_border_width(GTK_CONTAINER(grid), 12);
  gtk_grid_attach(GTK_GRID(grid), Label("Hrs"), 1, 0, 1, 1);
  gtk_grid_attach(GTK_GRID(grid), Label("Min"), 3, 0, 1, 1);
  gtk_grid_attach(GTK_GRID(grid), CheckBox(panel, 1112, "Time"), 0, 1, 1, 1);
  gtk_grid_attach(GTK_GRID(grid), Field(panel, 10240, true, 5), 1, 1, 1, 1);
  gtk_grid_attach(GTK_GRID(grid), Label(":"), 2, 1, 1, 1);
  gtk_grid_attach(GTK_GRID(grid), Field(panel, 10242, true, 5), 3, 1, 1, 1);
  gtk_grid_attach(GTK_GRID(grid), CheckBox(panel, 1113, "Measurements"), 0, 2, 1, 1);
  gtk_grid_attach(GTK_GRID(grid), Field(panel, 10241, true, 8), 1, 2, 3, 1);
  gtk_container_add(GTK_CONTAINER(frame), grid);
  GtkWidget* page = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  gtk_container_set_border_width(GTK_CONTAINER(page), 12);
  gtk_box_pack_start(GTK_BOX(page), frame, FALSE, FALSE, 0);
  return page;
}

// ---- events ----

void OnSwitchPage(GtkNotebook* notebook, GtkWidget*, guint to, gpointer) {
  Panel& panel = *g_panel;
  if (!panel.shown || panel.updating != 0) return;
  const int from = gtk_notebook_get_current_page(notebook);
  if (panel.events->page_changing(panel.events->context, from, static_cast<int>(to)) == 0)
    g_signal_stop_emission_by_name(notebook, "switch-page");
}

void Finish(Panel& panel, int result) {
  panel.result = result;
  if (g_main_loop_is_running(panel.loop)) g_main_loop_quit(panel.loop);
}

void OnOk(GtkButton*, gpointer) {
  Panel& panel = *g_panel;
  if (panel.events->ok(panel.events->context) != 0) Finish(panel, kIdOk);
}

void OnCancel(GtkButton*, gpointer) {
  Panel& panel = *g_panel;
  panel.events->cancel(panel.events->context);
  Finish(panel, kIdCancel);
}

gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer) {
  OnCancel(nullptr, nullptr);
  return TRUE;
}

// ---- the plugin's calls ----

int RunModal(const VK605PanelEvents* events) {
  if (events == nullptr || events->size < sizeof(VK605PanelEvents) || g_panel != nullptr) return -1;
  if (gtk_init_check(nullptr, nullptr) == FALSE) return -1;
  Panel panel;
  panel.events = events;
  g_panel = &panel;

  panel.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(panel.window), "VK605");
  gtk_window_set_modal(GTK_WINDOW(panel.window), TRUE);
  gtk_window_set_resizable(GTK_WINDOW(panel.window), FALSE);
  gtk_window_set_position(GTK_WINDOW(panel.window), GTK_WIN_POS_CENTER);
  panel.controls[kWindowId] = panel.window;

  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 8);
  gtk_container_set_border_width(GTK_CONTAINER(box), 8);
  panel.notebook = gtk_notebook_new();
  panel.controls[kNotebookId] = panel.notebook;
  gtk_notebook_append_page(GTK_NOTEBOOK(panel.notebook), StatusPage(panel), gtk_label_new("Varnel VK605"));
  gtk_notebook_append_page(GTK_NOTEBOOK(panel.notebook), CalibrationPage(panel),
                           gtk_label_new("Calibration"));
  gtk_box_pack_start(GTK_BOX(box), panel.notebook, TRUE, TRUE, 0);

  GtkWidget* buttons = gtk_button_box_new(GTK_ORIENTATION_HORIZONTAL);
  gtk_button_box_set_layout(GTK_BUTTON_BOX(buttons), GTK_BUTTONBOX_END);
  gtk_box_set_spacing(GTK_BOX(buttons), 6);
  GtkWidget* ok = gtk_button_new_with_label("OK");
  GtkWidget* cancel = gtk_button_new_with_label("Cancel");
  panel.controls[kIdOk] = ok;
  panel.controls[kIdCancel] = cancel;
  gtk_container_add(GTK_CONTAINER(buttons), ok);
  gtk_container_add(GTK_CONTAINER(buttons), cancel);
  gtk_box_pack_start(GTK_BOX(box), buttons, FALSE, FALSE, 0);
  gtk_container_add(GTK_CONTAINER(panel.window), box);

  g_signal_connect(ok, "clicked", G_CALLBACK(OnOk), nullptr);
  g_signal_connect(cancel, "clicked", G_CALLBACK(OnCancel), nullptr);
  g_signal_connect(panel.window, "delete-event", G_CALLBACK(OnDelete), nullptr);
  g_signal_connect(panel.notebook, "switch-page", G_CALLBACK(OnSwitchPage), nullptr);

  g_object_ref_sink(panel.window);
  panel.loop = g_main_loop_new(nullptr, FALSE);
  gtk_widget_show_all(panel.window);
  panel.shown = true;
  events->shown(events->context, &panel);
  Notify(0, panel.window);
  g_main_loop_run(panel.loop);

  for (const auto& [id, source] : panel.timers) g_source_remove(source);
  panel.timers.clear();
  gtk_widget_destroy(panel.window);
  g_object_unref(panel.window);
  g_main_loop_unref(panel.loop);
  g_panel = nullptr;
  // Let the display see the window go before the host carries on.
  while (gtk_events_pending() != FALSE) gtk_main_iteration_do(FALSE);
  return panel.result;
}

void Present() {
  g_idle_add(
      [](gpointer) -> gboolean {
        if (g_panel != nullptr) gtk_window_present(GTK_WINDOW(g_panel->window));
        return G_SOURCE_REMOVE;
      },
      nullptr);
}

void SetText(void* window, int control, const char* text) {
  GtkWidget* widget = Control(window, control);
  if (widget == nullptr || !GTK_IS_ENTRY(widget) || text == nullptr) return;
  ++Of(window).updating;
  gtk_entry_set_text(GTK_ENTRY(widget), text);
  --Of(window).updating;
}

size_t GetText(void* window, int control, char* out, size_t capacity) {
  GtkWidget* widget = Control(window, control);
  const char* text = widget != nullptr && GTK_IS_ENTRY(widget) ? gtk_entry_get_text(GTK_ENTRY(widget)) : "";
  const size_t length = std::strlen(text);
  if (out != nullptr && capacity > 0) {
    const size_t copied = length < capacity - 1 ? length : capacity - 1;
    std::memcpy(out, text, copied);
    out[copied] = '\0';
  }
  return length;
}

void SetCheck(void* window, int control, int checked) {
  GtkWidget* widget = Control(window, control);
  if (widget == nullptr || !GTK_IS_TOGGLE_BUTTON(widget)) return;
  ++Of(window).updating;
  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(widget), checked != 0 ? TRUE : FALSE);
  --Of(window).updating;
}

int IsChecked(void* window, int control) {
  GtkWidget* widget = Control(window, control);
  if (widget == nullptr || !GTK_IS_TOGGLE_BUTTON(widget)) return 0;
  return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(widget)) != FALSE ? 1 : 0;
}

void Enable(void* window, int control, int enabled) {
  GtkWidget* widget = Control(window, control);
  if (widget != nullptr) gtk_widget_set_sensitive(widget, enabled != 0 ? TRUE : FALSE);
}

void SetFocus(void* window, int control) {
  GtkWidget* widget = Control(window, control);
  if (widget != nullptr) gtk_widget_grab_focus(widget);
}

int MessageBox(void* window, const char* text, const char* caption, unsigned type) {
  GtkMessageType kind = GTK_MESSAGE_OTHER;
  switch (type & kIconMask) {
    case kIconQuestion:
      kind = GTK_MESSAGE_QUESTION;
      break;
    case kIconExclamation:
      kind = GTK_MESSAGE_WARNING;
      break;
    case kIconInformation:
      kind = GTK_MESSAGE_INFO;
      break;
    default:
      break;
  }
  const unsigned buttons = type & kTypeMask;
  GtkWidget* dialog = gtk_message_dialog_new(GTK_WINDOW(Of(window).window), GTK_DIALOG_MODAL, kind,
                                             GTK_BUTTONS_NONE, "%s", text != nullptr ? text : "");
  gtk_window_set_title(GTK_WINDOW(dialog), caption != nullptr ? caption : "");
  if (buttons == kYesNo) {
    gtk_dialog_add_buttons(GTK_DIALOG(dialog), "Yes", kIdYes, "No", kIdNo, nullptr);
  } else if (buttons == kOkCancel) {
    gtk_dialog_add_buttons(GTK_DIALOG(dialog), "OK", kIdOk, "Cancel", kIdCancel, nullptr);
  } else {
    gtk_dialog_add_button(GTK_DIALOG(dialog), "OK", kIdOk);
  }
  Notify(1, dialog);
  int answer = gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
  if (answer < 0) answer = buttons == kYesNo ? kIdNo : buttons == kOkCancel ? kIdCancel : kIdOk;
  return answer;
}

struct TimerData {
  Panel* panel;
  unsigned id;
};

int StartTimer(void* window, unsigned id, unsigned period_ms) {
  Panel& panel = Of(window);
  auto it = panel.timers.find(id);
  if (it != panel.timers.end()) g_source_remove(it->second);
  const guint source = g_timeout_add_full(
      G_PRIORITY_DEFAULT, period_ms,
      [](gpointer data) -> gboolean {
        TimerData* timer = static_cast<TimerData*>(data);
        timer->panel->events->timer(timer->panel->events->context, timer->id);
        return G_SOURCE_CONTINUE;
      },
      new TimerData{&panel, id}, [](gpointer data) { delete static_cast<TimerData*>(data); });
  if (source == 0) return 0;
  panel.timers[id] = source;
  return 1;
}

void StopTimer(void* window, unsigned id) {
  Panel& panel = Of(window);
  auto it = panel.timers.find(id);
  if (it == panel.timers.end()) return;
  g_source_remove(it->second);
  panel.timers.erase(it);
}

const VK605PanelPlugin kPlugin = {sizeof(VK605PanelPlugin),
                                  VK605_PANEL_PLUGIN_VERSION,
                                  RunModal,
                                  Present,
                                  SetText,
                                  GetText,
                                  SetCheck,
                                  IsChecked,
                                  Enable,
                                  SetFocus,
                                  MessageBox,
                                  StartTimer,
                                  StopTimer};

}  // namespace

extern "C" {

__attribute__((visibility("default"))) const VK605PanelPlugin* vk605_panel_plugin(void) {
  return &kPlugin;
}

// For tests driving the panel through GTK: hook(context, kind, widget) runs on the panel's thread once
// the panel (kind 0) or one of its message boxes (kind 1) is shown.
__attribute__((visibility("default"))) void vk605_gtk_panel_set_test_hook(TestHook hook, void* context) {
  g_test_hook = hook;
  g_test_context = context;
}

// The open panel's widget for a control identifier of the templates; 1 and 2 are OK and Cancel, -1 the
// notebook, -2 the window. Null when no panel is open.
__attribute__((visibility("default"))) void* vk605_gtk_panel_widget(int control) {
  if (g_panel == nullptr) return nullptr;
  return Control(g_panel, control);
}

}  // extern "C"
