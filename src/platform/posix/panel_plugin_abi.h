#pragma once

// The C interface between the driver and its GTK control-panel plugin (libvk605-gtk.so beside the
// driver). The driver never links GTK: it loads the plugin with dlopen when a panel is first asked for.
#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

#define VK605_PANEL_PLUGIN_VERSION 1u
#define VK605_PANEL_PLUGIN_ENTRY "vk605_panel_plugin"

// The driver's side of a running panel; the plugin calls these on the thread inside run_modal.
typedef struct VK605PanelEvents {
  unsigned int size;
  void* context;
  void (*shown)(void* context, void* window);
  int (*page_changing)(void* context, int from, int to); /* 0 keeps the current page */
  void (*command)(void* context, int control);
  void (*timer)(void* context, unsigned int id);
  int (*ok)(void* context); /* 0 keeps the panel open */
  void (*cancel)(void* context);
} VK605PanelEvents;

typedef struct VK605PanelPlugin {
  unsigned int size;
  unsigned int version;
  /* Shows the panel modally: 1 (OK), 2 (Cancel) or -1 when there is no usable display. */
  int (*run_modal)(const VK605PanelEvents* events);
  /* Brings an open panel to the front; callable from any thread. */
  void (*present)(void);
  void (*set_text)(void* window, int control, const char* text);
  /* Copies at most capacity - 1 bytes and a terminator; returns the text's full length. */
  size_t (*get_text)(void* window, int control, char* out, size_t capacity);
  void (*set_check)(void* window, int control, int checked);
  int (*is_checked)(void* window, int control);
  void (*enable)(void* window, int control, int enabled);
  void (*set_focus)(void* window, int control);
  int (*message_box)(void* window, const char* text, const char* caption, unsigned int type);
  int (*start_timer)(void* window, unsigned int id, unsigned int period_ms); /* 0 refused */
  void (*stop_timer)(void* window, unsigned int id);
} VK605PanelPlugin;

typedef const VK605PanelPlugin* (*VK605PanelPluginEntry)(void);

#ifdef __cplusplus
}
#endif
