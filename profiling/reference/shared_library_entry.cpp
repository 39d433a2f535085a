// The reference component as a shared library: the operation table of
// vk605/component/profiling_component.h.
#include <cstring>
#include <new>

#include "reference_instance.h"
#include "vk605/component/profiling_component.h"

using vk605::reference::ReferenceInstance;

namespace {

ReferenceInstance* Self(void* instance) {
  return static_cast<ReferenceInstance*>(instance);
}

// Nothing may throw across the C boundary: a failure becomes E_FAIL.
constexpr int32_t kFailed = static_cast<int32_t>(0x80004005u);
constexpr int32_t kInvalidPointer = static_cast<int32_t>(0x80004003u);

void* Create() {
  return new (std::nothrow) ReferenceInstance();
}

void Release(void* instance) {
  delete Self(instance);
}

int32_t ProfileLoaded(void* instance, int32_t* loaded) {
  if (loaded == nullptr) return kInvalidPointer;
  bool answer = false;
  int32_t status = Self(instance)->ProfileLoaded(answer);
  *loaded = answer ? 1 : 0;
  return status;
}

int32_t CreationDate(void* instance, double* date) {
  if (date == nullptr) return kInvalidPointer;
  return Self(instance)->CreationDate(*date);
}

int32_t Description(void* instance, char* text, uint32_t capacity) {
  if (text == nullptr || capacity == 0) return kInvalidPointer;
  try {
    std::string description;
    int32_t status = Self(instance)->Description(description);
    std::size_t length = description.size() < capacity ? description.size() : capacity - 1;
    std::memcpy(text, description.data(), length);
    text[length] = '\0';
    return status;
  } catch (...) {
    return kFailed;
  }
}

int32_t LoadProfile(void* instance, const char* path, int32_t* loaded) {
  if (path == nullptr || loaded == nullptr) return kInvalidPointer;
  try {
    bool answer = false;
    int32_t status = Self(instance)->LoadProfile(path, answer);
    *loaded = answer ? 1 : 0;
    return status;
  } catch (...) {
    return kFailed;
  }
}

int32_t Correct(bool transmission, void* instance, float* values, const int32_t* specular_included,
                int32_t* corrected) {
  if (values == nullptr || specular_included == nullptr || corrected == nullptr) return kInvalidPointer;
  bool answer = false;
  int32_t status = Self(instance)->Correct(transmission, values, *specular_included, answer);
  *corrected = answer ? 1 : 0;
  return status;
}

int32_t CorrectReflectance(void* instance, float* values, const int32_t* specular_included,
                           int32_t* corrected) {
  return Correct(false, instance, values, specular_included, corrected);
}

int32_t CorrectTransmission(void* instance, float* values, const int32_t* specular_included,
                            int32_t* corrected) {
  return Correct(true, instance, values, specular_included, corrected);
}

constexpr VK605ProfilingOperations kOperations = {
    sizeof(VK605ProfilingOperations),
    VK605_PROFILING_TABLE_VERSION,
    Create,
    Release,
    ProfileLoaded,
    CreationDate,
    Description,
    LoadProfile,
    CorrectReflectance,
    CorrectTransmission,
};

}  // namespace

extern "C" __attribute__((visibility("default"))) const VK605ProfilingOperations* VK605GetProfilingComponent(
    void) {
  return &kOperations;
}
