/*
 * VK605 spectral profiling component: the contract between the driver and a profiling component on
 * POSIX systems.
 *
 * After each measurement the driver passes the spectrum through the profiling component registered
 * for "CalveraSrv.ProfileV1". On POSIX the component is a shared library. It is registered in the
 * driver's registry file (default $XDG_CONFIG_HOME/vk605/registry.ini, or $VK605_REGISTRY) like a COM
 * class:
 *
 *     [Software\Classes\CalveraSrv.ProfileV1]
 *     Library=/usr/lib/x86_64-linux-gnu/vk605/libcalvera_reference.so
 *
 * and the profile file of each instrument under its serial number:
 *
 *     [Software\Orvanta\Calvera\Profiles\VK605-1234]
 *     LocalFile=/var/lib/vk605/VK605-1234.prf
 *
 * ("Software\Orvanta\Calvera 1.0\Profiles\<serial>" is looked at when the first key is missing).
 * Without the registration the component counts as not installed and spectra are delivered
 * uncorrected.
 *
 * The library exports one C function, VK605_PROFILING_FACTORY_NAME, returning a table of operations.
 * The driver creates one instance per spectrum (create), loads the instrument's profile into it, asks
 * whether a profile is loaded, reads its description, corrects the spectrum and releases the instance.
 * Every operation returns a status code: 0 or positive = success, negative = failure (HRESULT values
 * such as 0x80040201 are welcome; the driver shows a failing correction's code to the user). Booleans
 * are 0 = false, anything else = true. Nothing is called concurrently on one instance.
 */
#ifndef VK605_PROFILING_COMPONENT_H
#define VK605_PROFILING_COMPONENT_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Number of spectral values handed to a correction: 360 to 750 nm in 10 nm steps. */
#define VK605_PROFILING_POINTS 40
/* Version of the operation table described here. */
#define VK605_PROFILING_TABLE_VERSION 1u
/* Name of the factory function the library exports. */
#define VK605_PROFILING_FACTORY_NAME "VK605GetProfilingComponent"

typedef struct VK605ProfilingOperations {
  /* sizeof(VK605ProfilingOperations) and VK605_PROFILING_TABLE_VERSION, checked by the driver. */
  uint32_t size;
  uint32_t version;

  /* A new instance, or NULL when none can be created. */
  void* (*create)(void);
  /* Ends an instance; it is not used afterwards. */
  void (*release)(void* instance);

  /* *loaded := true when a profile is loaded and usable. */
  int32_t (*profile_loaded)(void* instance, int32_t* loaded);
  /* *date := creation date of the loaded profile as an automation date in local time (days since
   * 1899-12-30 00:00, the fraction being the time of day). */
  int32_t (*creation_date)(void* instance, double* date);
  /* Copies a zero-terminated description of the loaded profile into text (capacity bytes, at least 1). */
  int32_t (*description)(void* instance, char* text, uint32_t capacity);
  /* Loads the profile file at path (UTF-8, zero-terminated); *loaded := true on success. */
  int32_t (*load_profile)(void* instance, const char* path, int32_t* loaded);
  /* Corrects a reflectance spectrum in place: values holds VK605_PROFILING_POINTS values in percent;
   * *specular_included is 1 when the specular component was included in the measurement.
   * *corrected := true on success, false when the component refuses. */
  int32_t (*correct_reflectance)(void* instance, float* values, const int32_t* specular_included,
                                 int32_t* corrected);
  /* The same for a transmission spectrum. May be NULL when the component has no transmission
   * correction; the driver then reports the missing operation to the user. */
  int32_t (*correct_transmission)(void* instance, float* values, const int32_t* specular_included,
                                  int32_t* corrected);
} VK605ProfilingOperations;

/* The factory the library exports under VK605_PROFILING_FACTORY_NAME; the table lives as long as the
 * library is loaded. */
typedef const VK605ProfilingOperations* (*VK605ProfilingFactory)(void);

#ifdef __cplusplus
}
#endif

#endif /* VK605_PROFILING_COMPONENT_H */
