// The reference component as an in-process COM server: class "CalveraSrv.ProfileV1" with the main,
// transmission and auxiliary interfaces of vk605/component/profiling_component_com.h. DllRegisterServer
// enters the class under HKEY_LOCAL_MACHINE\Software\Classes ("regsvr32 calvera_reference.dll").
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <ole2.h>
#include <oleauto.h>
#include <olectl.h>

#include <atomic>
#include <new>
#include <string>

#include "reference_instance.h"
#include "vk605/component/profiling_component_com.h"

using vk605::reference::ReferenceInstance;

namespace {

constexpr const char* kProgId = "CalveraSrv.ProfileV1";
constexpr const char* kClassName = "VK605 reference profiling component";

std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};
HMODULE g_module = nullptr;

std::string AnsiFromBstr(BSTR text) {
  if (text == nullptr) return {};
  int wide_length = static_cast<int>(::SysStringLen(text));
  int length = ::WideCharToMultiByte(CP_ACP, 0, text, wide_length, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return {};
  std::string result(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, text, wide_length, result.data(), length, nullptr, nullptr);
  return result;
}

HRESULT BstrFromAnsi(const std::string& text, BSTR* out) {
  if (out == nullptr) return E_POINTER;
  int length = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (length < 0) length = 0;
  *out = ::SysAllocStringLen(nullptr, static_cast<UINT>(length));
  if (*out == nullptr) return E_OUTOFMEMORY;
  if (length > 0) ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), *out, length);
  return S_OK;
}

VARIANT_BOOL Bool(bool value) {
  return value ? VARIANT_TRUE : VARIANT_FALSE;
}

class ReferenceProfileObject : public ICalveraProfile, public ICalveraTransmission, public ICalveraAuxiliary {
 public:
  ReferenceProfileObject() { ++g_objects; }
  virtual ~ReferenceProfileObject() { --g_objects; }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        IsEqualIID(iid, IID_ICalveraProfile)) {
      *out = static_cast<ICalveraProfile*>(this);
    } else if (IsEqualIID(iid, IID_ICalveraTransmission)) {
      *out = static_cast<ICalveraTransmission*>(this);
    } else if (IsEqualIID(iid, IID_ICalveraAuxiliary)) {
      *out = static_cast<ICalveraAuxiliary*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references_); }
  ULONG STDMETHODCALLTYPE Release() override {
    long left = --references_;
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  // IDispatch: the component is called through its interface tables only.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }

  // Main and transmission interfaces
  HRESULT STDMETHODCALLTYPE get_ProfileLoaded(VARIANT_BOOL* loaded) override {
    if (loaded == nullptr) return E_POINTER;
    bool answer = false;
    HRESULT status = instance_.ProfileLoaded(answer);
    *loaded = Bool(answer);
    return status;
  }
  HRESULT STDMETHODCALLTYPE get_ProfilePath(BSTR* path) override { return BstrFromAnsi(path_, path); }
  HRESULT STDMETHODCALLTYPE get_CreationDate(DATE* created) override {
    if (created == nullptr) return E_POINTER;
    double date = 0.0;
    HRESULT status = instance_.CreationDate(date);
    if (SUCCEEDED(status)) *created = date;
    return status;
  }
  HRESULT STDMETHODCALLTYPE get_Description(BSTR* text) override {
    std::string description;
    try {
      HRESULT status = instance_.Description(description);
      if (FAILED(status)) return status;
    } catch (...) {
      return E_FAIL;
    }
    return BstrFromAnsi(description, text);
  }
  HRESULT STDMETHODCALLTYPE LoadProfile(BSTR* path, VARIANT_BOOL* loaded) override {
    if (path == nullptr || loaded == nullptr) return E_POINTER;
    try {
      path_ = AnsiFromBstr(*path);
      bool answer = false;
      HRESULT status = instance_.LoadProfile(path_, answer);
      *loaded = Bool(answer);
      return status;
    } catch (...) {
      return E_FAIL;
    }
  }
  HRESULT STDMETHODCALLTYPE get_SerialNumber(BSTR* serial) override {
    return BstrFromAnsi(std::string(), serial);
  }
  HRESULT STDMETHODCALLTYPE CorrectReflectance(float* values, long* specular_included,
                                               VARIANT_BOOL* corrected) override {
    return Correct(false, values, specular_included, corrected);
  }
  HRESULT STDMETHODCALLTYPE CorrectTransmission(float* values, long* specular_included,
                                                VARIANT_BOOL* corrected) override {
    return Correct(true, values, specular_included, corrected);
  }

  // Auxiliary interface
  HRESULT STDMETHODCALLTYPE get_InterfaceVersion(long* version) override {
    if (version == nullptr) return E_POINTER;
    *version = 1;
    return S_OK;
  }

 private:
  HRESULT Correct(bool transmission, float* values, long* specular_included, VARIANT_BOOL* corrected) {
    if (values == nullptr || specular_included == nullptr || corrected == nullptr) return E_POINTER;
    bool answer = false;
    HRESULT status =
        instance_.Correct(transmission, values, static_cast<std::int32_t>(*specular_included), answer);
    *corrected = Bool(answer);
    return status;
  }

  std::atomic<long> references_{1};
  ReferenceInstance instance_;
  std::string path_;
};

class ReferenceClassFactory : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *out = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // The factory is static: it lives as long as the module.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    auto* object = new (std::nothrow) ReferenceProfileObject();
    if (object == nullptr) return E_OUTOFMEMORY;
    HRESULT status = object->QueryInterface(iid, out);
    object->Release();
    return status;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      ++g_locks;
    } else {
      --g_locks;
    }
    return S_OK;
  }
};

ReferenceClassFactory g_factory;

std::string ClassIdText() {
  wchar_t wide[64] = {};
  if (::StringFromGUID2(CLSID_Vk605ReferenceProfile, wide, 64) == 0) return {};
  char text[64] = {};
  ::WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof(text), nullptr, nullptr);
  return text;
}

bool SetValue(const std::string& key_path, const char* name, const std::string& value) {
  HKEY key = nullptr;
  if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, key_path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
    return false;
  }
  LONG result = ::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                 static_cast<DWORD>(value.size() + 1));
  ::RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = module;
    ::DisableThreadLibraryCalls(module);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!IsEqualCLSID(clsid, CLSID_Vk605ReferenceProfile)) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(iid, out);
}

STDAPI DllCanUnloadNow() {
  return g_objects == 0 && g_locks == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
  char path[MAX_PATH] = {};
  DWORD length = ::GetModuleFileNameA(g_module, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return SELFREG_E_CLASS;
  std::string clsid = ClassIdText();
  if (clsid.empty()) return SELFREG_E_CLASS;
  std::string classes = "Software\\Classes\\";
  std::string class_key = classes + "CLSID\\" + clsid;
  bool ok = SetValue(classes + kProgId, nullptr, kClassName) &&
            SetValue(classes + kProgId + "\\CLSID", nullptr, clsid) &&
            SetValue(class_key, nullptr, kClassName) && SetValue(class_key + "\\ProgID", nullptr, kProgId) &&
            SetValue(class_key + "\\InprocServer32", nullptr, path) &&
            SetValue(class_key + "\\InprocServer32", "ThreadingModel", "Both");
  return ok ? S_OK : SELFREG_E_CLASS;
}

STDAPI DllUnregisterServer() {
  std::string clsid = ClassIdText();
  std::string classes = "Software\\Classes\\";
  ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, (classes + "CLSID\\" + clsid).c_str());
  ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, (classes + kProgId).c_str());
  return S_OK;
}

}  // extern "C"
