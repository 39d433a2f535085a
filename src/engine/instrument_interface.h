#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ui/msg_dlg.h"
#include "ui/user_interface.h"

namespace vk605 {

// Driver-wide switches that the per-call instrument object sets and reads for the host.
struct InterfaceSwitches {
  std::int32_t DriverUIEnabled = 1;  // the connect progress window is shown only while this is 1
  std::int32_t UnsolicitedCallbackMode = 1;
  std::int32_t AutoBaudEnabled = 0;
};

// The per-call instrument object through which exports reach model-specific operations. The virtual
// operations keep their order; this model answers most of them with a constant.
class InstrumentInterface {
 public:
  InstrumentInterface(InterfaceSwitches& switches, UserInterface& ui);
  virtual ~InstrumentInterface();
  InstrumentInterface(const InstrumentInterface&) = delete;
  InstrumentInterface& operator=(const InstrumentInterface&) = delete;

  virtual int UsesEmbeddedProfiling() = 0;
  virtual int Connect(char* text) = 0;
  virtual char GetEmbeddedProfilingState();
  virtual int Reserved3();
  virtual int Reserved4();
  virtual int IsEmbeddedProfilingSupported();
  virtual int IsEmbeddedProfileExpired();
  virtual int IsEmbeddedProfilingEnabled();
  virtual int Reserved8();
  virtual int IsEmbeddedProfilingActive();
  virtual int SetUnsolicitedCallback(void* callback);
  virtual int StartUnsolicitedCallback();
  virtual int SuspendUnsolicitedCallback();
  virtual int ResumeUnsolicitedCallback();
  virtual int TerminateUnsolicitedCallback();
  virtual int ProcessSpectra(double* spectra);
  virtual int GetErrorMessage(int code, char* text);
  virtual int SetWhiteReference();
  virtual int GetProfilingId();
  virtual int IsHostProfilingActive();
  virtual int Reserved20();
  virtual long DisableGloss();
  virtual long EnableGloss();

  // The connect progress window, shown only while the driver-UI switch is 1.
  int ShowProgress(const char* title, const char* text);
  int UpdateProgress(const char* text);
  int CloseProgress();
  bool IsProgressShown() const { return progress_ != nullptr; }

  // Embedded-profile operations: this model has no profile inside the instrument.
  int DisableEmbeddedProfiling() { return 111; }
  int SetEmbeddedProfileDays(int) { return 111; }
  int SendEmbeddedProfileData(int, int) { return 111; }
  int GetEmbeddedSignature(char* text);

  void DisableDriverUI() { switches_.DriverUIEnabled = 0; }
  void EnableDriverUI() { switches_.DriverUIEnabled = 1; }
  std::int32_t GetDriverUI() const { return switches_.DriverUIEnabled; }
  int EnableAutoBaud() {
    switches_.AutoBaudEnabled = 1;
    return 0;
  }
  int DisableAutoBaud() {
    switches_.AutoBaudEnabled = 0;
    return 0;
  }
  std::int32_t GetAutoBaud() const { return switches_.AutoBaudEnabled; }
  int SetUnsolicitedCallbackMode(std::int32_t mode) {
    switches_.UnsolicitedCallbackMode = mode;
    return 0;
  }
  std::int32_t GetUnsolicitedCallbackMode() const { return switches_.UnsolicitedCallbackMode; }

 private:
  std::string model_texts_[3];  // reserved for model texts; this model leaves them empty
  std::unique_ptr<CMsgDlg> progress_;
  InterfaceSwitches& switches_;
  UserInterface& ui_;
};

}  // namespace vk605
