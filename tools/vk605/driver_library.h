#pragma once

#include <string>

#include "vk605/vk605.h"

namespace vk605::tool {

// The exports the tool calls, looked up by name in the loaded library like a colour application does.
struct DriverApi {
  int (*InitializeDriver)();
  int (*PerformMeasurement)(double*);
  int (*PerformTriggerMeasurement)(double*, int);
  int (*PerformCalibration)();
  int (*GetCalibrationStatus)(char*);
  int (*GetInstrumentStatus)(char*);
  int (*GetMeasurementStatus)(char*);
  int (*GetSerialNumber)(char*);
  int (*GetFirmwareVersion)(char*);
  int (*GetDriverVersion)(char*);
  unsigned int (*ReadHead)(unsigned int, double*, int*, char*);
  int (*GetPort)(char*);
  int (*SetPort)(const char*);
  int (*GetBaudRate)();
  int (*SetBaudRate)(int);
  int (*GetParity)();
  int (*SetParity)(char);
  int (*GetStopBits)();
  int (*SetStopBits)(char);
  int (*GetByteSize)();
  int (*SetByteSize)(char);
  int (*GetEmulationMode)();
  int (*SetEmulationMode)(int);
  int (*GetCommunications)();
  int (*IsCalveraEnabled)();
  int (*ControlPanel)();
  int (*IsCalveraActive)();
  int (*IsProfiled)();
  int (*GetErrorMessage)(int, char*);
  int (*SetUserInterfaceHandler)(const VK605UiHandler*);
};

// The driver library opened with dlopen. Unload() (or the destructor) closes it, which runs the driver's
// exit sequence: the instrument is reset and the settings are written back (about five seconds).
class DriverLibrary {
 public:
  // Throws ToolError (kDriverUnavailable) when the file cannot be loaded or lacks an export.
  explicit DriverLibrary(const std::string& path);
  ~DriverLibrary();
  DriverLibrary(const DriverLibrary&) = delete;
  DriverLibrary& operator=(const DriverLibrary&) = delete;

  const DriverApi& Api() const { return api_; }
  const std::string& Path() const { return path_; }
  void Unload();

 private:
  void* Symbol(const char* name);
  std::string path_;
  void* handle_ = nullptr;
  DriverApi api_{};
};

}  // namespace vk605::tool
