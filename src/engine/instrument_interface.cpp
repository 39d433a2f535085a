#include "engine/instrument_interface.h"

#include <cstring>

#include "engine/error_messages.h"
#include "engine/result_code.h"

namespace vk605 {

InstrumentInterface::InstrumentInterface(InterfaceSwitches& switches, UserInterface& ui)
    : switches_(switches), ui_(ui) {}

InstrumentInterface::~InstrumentInterface() = default;

char InstrumentInterface::GetEmbeddedProfilingState() {
  return '0';
}
int InstrumentInterface::Reserved3() {
  return 0;
}
int InstrumentInterface::Reserved4() {
  return result::kFeatureNotSupported;
}
int InstrumentInterface::IsEmbeddedProfilingSupported() {
  return 0;
}
int InstrumentInterface::IsEmbeddedProfileExpired() {
  return 0;
}
int InstrumentInterface::IsEmbeddedProfilingEnabled() {
  return 0;
}
int InstrumentInterface::Reserved8() {
  return 0;
}
int InstrumentInterface::IsEmbeddedProfilingActive() {
  return 0;
}
int InstrumentInterface::SetUnsolicitedCallback(void*) {
  return result::kFunctionalityNotSupported;
}
int InstrumentInterface::StartUnsolicitedCallback() {
  return result::kFunctionalityNotSupported;
}
int InstrumentInterface::SuspendUnsolicitedCallback() {
  return result::kFunctionalityNotSupported;
}
int InstrumentInterface::ResumeUnsolicitedCallback() {
  return result::kFunctionalityNotSupported;
}
int InstrumentInterface::TerminateUnsolicitedCallback() {
  return result::kFunctionalityNotSupported;
}
int InstrumentInterface::ProcessSpectra(double*) {
  return 0;
}

int InstrumentInterface::GetErrorMessage(int code, char* text) {
  const char* message = MessageForCode(code);
  if (message != nullptr && text != nullptr) std::strcpy(text, message);
  return 0;
}

int InstrumentInterface::SetWhiteReference() {
  return result::kFunctionalityNotSupported;
}
int InstrumentInterface::GetProfilingId() {
  return 23;
}
int InstrumentInterface::IsHostProfilingActive() {
  return 0;
}
int InstrumentInterface::Reserved20() {
  return 0;
}
long InstrumentInterface::DisableGloss() {
  return result::kFunctionalityNotSupported;
}
long InstrumentInterface::EnableGloss() {
  return result::kFunctionalityNotSupported;
}

int InstrumentInterface::ShowProgress(const char* title, const char* text) {
  if (switches_.DriverUIEnabled != 1) return 0;
  if (progress_ == nullptr) {
    progress_ = std::make_unique<CMsgDlg>(ui_);
    if (title != nullptr) progress_->SetCaption(title);
    progress_->CreateModeless();
    if (text != nullptr) progress_->SetMessageText(text);
  } else if (text != nullptr) {
    progress_->SetMessageText(text);
  }
  return 0;
}

int InstrumentInterface::UpdateProgress(const char* text) {
  if (progress_ != nullptr && text != nullptr) progress_->SetMessageText(text);
  return 0;
}

int InstrumentInterface::CloseProgress() {
  progress_.reset();
  return 0;
}

int InstrumentInterface::GetEmbeddedSignature(char* text) {
  if (text != nullptr) std::strcpy(text, "V2");
  return 0;
}

}  // namespace vk605
