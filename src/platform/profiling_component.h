#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace vk605 {

// Status code of a component call: negative = failure (HRESULT values).
using ComponentStatus = std::int32_t;

// The status a call gets when the component lacks the interface it needs (E_NOINTERFACE).
inline constexpr ComponentStatus kComponentNoInterface = static_cast<ComponentStatus>(0x80004002u);

// Number of values a correction takes: 360 to 750 nm in 10 nm steps.
inline constexpr int kComponentPoints = 40;

// One running instance of the spectral profiling component, holding its main interface. Each
// operation is one call of the component and returns its status code; out values are set only on
// success.
class ProfilingComponent {
 public:
  // Releases every interface still held.
  virtual ~ProfilingComponent() = default;

  virtual ComponentStatus ProfileLoaded(bool& loaded) = 0;
  // The loaded profile's creation date as an automation date in local time.
  virtual ComponentStatus CreationDate(double& date) = 0;
  virtual ComponentStatus Description(std::string& text) = 0;
  virtual ComponentStatus LoadProfile(const std::string& path, bool& loaded) = 0;
  // Asks the main interface for the transmission and third interfaces, releasing earlier ones.
  virtual void QuerySecondaryInterfaces() = 0;
  // values: kComponentPoints values in percent, corrected in place. specular_included: 1 when the
  // specular component was included. kComponentNoInterface when the interface is not held.
  virtual ComponentStatus CorrectReflectance(float* values, std::int32_t specular_included,
                                             bool& corrected) = 0;
  virtual ComponentStatus CorrectTransmission(float* values, std::int32_t specular_included,
                                              bool& corrected) = 0;
  // Releases the main interface; the others stay until destruction.
  virtual void ReleaseMain() = 0;
};

// Where the profiling component registered as "CalveraSrv.ProfileV1" comes from.
class ProfilingComponents {
 public:
  virtual ~ProfilingComponents() = default;
  // Initialises COM on the calling thread, creates the component, puts it in the running state and
  // takes its main interface. Empty when it is not registered, not creatable, not runnable or
  // without the main interface.
  virtual std::unique_ptr<ProfilingComponent> Start() = 0;
  // The system's message text for a status code, without a trailing line end; empty when the system
  // has none.
  virtual std::optional<std::string> SystemMessage(ComponentStatus status) = 0;
};

// The platform's components: COM on Windows; on POSIX a shared library registered in the system
// registry under "Software\Classes\CalveraSrv.ProfileV1", value "Library".
ProfilingComponents& SystemProfilingComponents();

}  // namespace vk605
