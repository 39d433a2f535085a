#include "driver_library.h"

#include <dlfcn.h>
#include <link.h>

#include "tool_error.h"

namespace vk605::tool {

namespace {

template <typename Fn>
void Bind(Fn*& slot, void* symbol) {
  slot = reinterpret_cast<Fn*>(symbol);
}

}  // namespace

DriverLibrary::DriverLibrary(const std::string& path) : path_(path) {
  handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* reason = ::dlerror();
    throw ToolError(ExitCode::kDriverUnavailable,
                    "cannot load the driver " + path + ": " + (reason != nullptr ? reason : "unknown error"));
  }
  // The file the loader really opened (a bare name was found on its search path).
  link_map* map = nullptr;
  if (::dlinfo(handle_, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr && map->l_name != nullptr &&
      map->l_name[0] == '/') {
    path_ = map->l_name;
  }
#define VK605_BIND(name) Bind(api_.name, Symbol(#name))
  VK605_BIND(InitializeDriver);
  VK605_BIND(PerformMeasurement);
  VK605_BIND(PerformTriggerMeasurement);
  VK605_BIND(PerformCalibration);
  VK605_BIND(GetCalibrationStatus);
  VK605_BIND(GetInstrumentStatus);
  VK605_BIND(GetMeasurementStatus);
  VK605_BIND(GetSerialNumber);
  VK605_BIND(GetFirmwareVersion);
  VK605_BIND(GetDriverVersion);
  VK605_BIND(ReadHead);
  VK605_BIND(GetPort);
  VK605_BIND(SetPort);
  VK605_BIND(GetBaudRate);
  VK605_BIND(SetBaudRate);
  VK605_BIND(GetParity);
  VK605_BIND(SetParity);
  VK605_BIND(GetStopBits);
  VK605_BIND(SetStopBits);
  VK605_BIND(GetByteSize);
  VK605_BIND(SetByteSize);
  VK605_BIND(GetEmulationMode);
  VK605_BIND(SetEmulationMode);
  VK605_BIND(GetCommunications);
  VK605_BIND(IsCalveraEnabled);
  VK605_BIND(ControlPanel);
  VK605_BIND(IsCalveraActive);
  VK605_BIND(IsProfiled);
  VK605_BIND(GetErrorMessage);
  VK605_BIND(SetUserInterfaceHandler);
#undef VK605_BIND
}

void* DriverLibrary::Symbol(const char* name) {
  void* symbol = ::dlsym(handle_, name);
  if (symbol == nullptr) {
    ::dlclose(handle_);
    handle_ = nullptr;
    throw ToolError(ExitCode::kDriverUnavailable, "the driver " + path_ + " has no export " + name);
  }
  return symbol;
}

void DriverLibrary::Unload() {
  if (handle_ != nullptr) ::dlclose(handle_);
  handle_ = nullptr;
}

DriverLibrary::~DriverLibrary() {
  Unload();
}

}  // namespace vk605::tool
