#include "platform/profiling_component.h"

#include <objbase.h>
#include <ole2.h>
#include <oleauto.h>

#include <string>
#include <utility>

#include "platform/win32/windows_headers.h"
#include "vk605/component/profiling_component_com.h"

namespace vk605 {
namespace {

// A BSTR owned until destruction. Move-only.
class OwnedBstr {
 public:
  OwnedBstr() = default;
  explicit OwnedBstr(BSTR text) : text_(text) {}
  ~OwnedBstr() {
    if (text_ != nullptr) ::SysFreeString(text_);
  }
  OwnedBstr(OwnedBstr&& other) noexcept : text_(std::exchange(other.text_, nullptr)) {}
  OwnedBstr& operator=(OwnedBstr&&) = delete;
  OwnedBstr(const OwnedBstr&) = delete;
  OwnedBstr& operator=(const OwnedBstr&) = delete;

  BSTR* Out() { return &text_; }
  BSTR Get() const { return text_; }

 private:
  BSTR text_ = nullptr;
};

// The path in the ANSI code page (as the registry gave it) as an automation text.
OwnedBstr BstrFromAnsi(const std::string& text) {
  int length = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0 && !text.empty()) return OwnedBstr();
  OwnedBstr result(::SysAllocStringLen(nullptr, static_cast<UINT>(length)));
  if (result.Get() != nullptr && length > 0) {
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), result.Get(), length);
  }
  return result;
}

std::string AnsiFromBstr(BSTR text) {
  if (text == nullptr) return {};
  int wide_length = static_cast<int>(::SysStringLen(text));
  int length = ::WideCharToMultiByte(CP_ACP, 0, text, wide_length, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return {};
  std::string result(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, text, wide_length, result.data(), length, nullptr, nullptr);
  return result;
}

template <typename Interface>
void ReleaseInterface(Interface*& pointer) {
  if (pointer != nullptr) pointer->Release();
  pointer = nullptr;
}

// A running instance of the COM component with its main interface, and the transmission and
// auxiliary interfaces once asked for. Calls go through the interface tables by position.
class ComProfilingComponent : public ProfilingComponent {
 public:
  explicit ComProfilingComponent(ICalveraProfile* main) : main_(main) {}
  ~ComProfilingComponent() override {
    ReleaseInterface(auxiliary_);
    ReleaseInterface(transmission_);
    ReleaseInterface(main_);
  }
  ComProfilingComponent(const ComProfilingComponent&) = delete;
  ComProfilingComponent& operator=(const ComProfilingComponent&) = delete;

  ComponentStatus ProfileLoaded(bool& loaded) override {
    if (main_ == nullptr) return kComponentNoInterface;
    VARIANT_BOOL answer = VARIANT_FALSE;
    HRESULT status = main_->get_ProfileLoaded(&answer);
    if (SUCCEEDED(status)) loaded = answer != VARIANT_FALSE;
    return status;
  }

  ComponentStatus CreationDate(double& date) override {
    if (main_ == nullptr) return kComponentNoInterface;
    DATE answer = 0.0;
    HRESULT status = main_->get_CreationDate(&answer);
    if (SUCCEEDED(status)) date = answer;
    return status;
  }

  ComponentStatus Description(std::string& text) override {
    if (main_ == nullptr) return kComponentNoInterface;
    OwnedBstr answer;
    HRESULT status = main_->get_Description(answer.Out());
    if (SUCCEEDED(status)) text = AnsiFromBstr(answer.Get());
    return status;
  }

  ComponentStatus LoadProfile(const std::string& path, bool& loaded) override {
    if (main_ == nullptr) return kComponentNoInterface;
    OwnedBstr text = BstrFromAnsi(path);
    if (text.Get() == nullptr) return E_OUTOFMEMORY;
    VARIANT_BOOL answer = VARIANT_FALSE;
    HRESULT status = main_->LoadProfile(text.Out(), &answer);
    if (SUCCEEDED(status)) loaded = answer != VARIANT_FALSE;
    return status;
  }

  void QuerySecondaryInterfaces() override {
    if (main_ == nullptr) return;
    ReleaseInterface(transmission_);
    if (FAILED(main_->QueryInterface(IID_ICalveraTransmission, reinterpret_cast<void**>(&transmission_)))) {
      transmission_ = nullptr;
    }
    ReleaseInterface(auxiliary_);
    if (FAILED(main_->QueryInterface(IID_ICalveraAuxiliary, reinterpret_cast<void**>(&auxiliary_)))) {
      auxiliary_ = nullptr;
    }
  }

  ComponentStatus CorrectReflectance(float* values, std::int32_t specular_included,
                                     bool& corrected) override {
    if (main_ == nullptr) return kComponentNoInterface;
    long flag = specular_included;
    VARIANT_BOOL answer = VARIANT_FALSE;
    HRESULT status = main_->CorrectReflectance(values, &flag, &answer);
    if (SUCCEEDED(status)) corrected = answer != VARIANT_FALSE;
    return status;
  }

  ComponentStatus CorrectTransmission(float* values, std::int32_t specular_included,
                                      bool& corrected) override {
    if (transmission_ == nullptr) return kComponentNoInterface;
    long flag = specular_included;
    VARIANT_BOOL answer = VARIANT_FALSE;
    HRESULT status = transmission_->CorrectTransmission(values, &flag, &answer);
    if (SUCCEEDED(status)) corrected = answer != VARIANT_FALSE;
    return status;
  }

  void ReleaseMain() override { ReleaseInterface(main_); }

 private:
  ICalveraProfile* main_;
  ICalveraTransmission* transmission_ = nullptr;
  ICalveraAuxiliary* auxiliary_ = nullptr;
};

class ComProfilingComponents : public ProfilingComponents {
 public:
  std::unique_ptr<ProfilingComponent> Start() override {
    (void)::CoInitialize(nullptr);
    CLSID clsid;
    if (FAILED(::CLSIDFromProgID(L"CalveraSrv.ProfileV1", &clsid))) return nullptr;
    IUnknown* unknown = nullptr;
    if (FAILED(::CoCreateInstance(clsid, nullptr,
                                  CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER,
                                  IID_IUnknown, reinterpret_cast<void**>(&unknown)))) {
      return nullptr;
    }
    ICalveraProfile* main = nullptr;
    HRESULT status = ::OleRun(unknown);
    if (SUCCEEDED(status))
      status = unknown->QueryInterface(IID_ICalveraProfile, reinterpret_cast<void**>(&main));
    unknown->Release();
    if (FAILED(status) || main == nullptr) return nullptr;
    return std::make_unique<ComProfilingComponent>(main);
  }

  std::optional<std::string> SystemMessage(ComponentStatus status) override {
    char* buffer = nullptr;
    DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(status), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<LPSTR>(&buffer), 0, nullptr);
    if (length == 0 || buffer == nullptr) return std::nullopt;
    std::string text(buffer, length);
    ::LocalFree(buffer);
    return text;
  }
};

}  // namespace

ProfilingComponents& SystemProfilingComponents() {
  static ComProfilingComponents components;
  return components;
}

}  // namespace vk605
