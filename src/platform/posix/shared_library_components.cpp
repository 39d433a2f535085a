#include "platform/posix/shared_library_components.h"

#include <dlfcn.h>

#include <array>
#include <cstring>
#include <utility>

#include "vk605/component/profiling_component.h"

namespace vk605 {
namespace {

constexpr const char* kClassKey = "Software\\Classes\\CalveraSrv.ProfileV1";
constexpr std::size_t kLibraryPathCapacity = 4096;
constexpr std::uint32_t kDescriptionCapacity = 4096;

// A dlopen handle, closed when destroyed. Move-only.
class LibraryHandle {
 public:
  explicit LibraryHandle(const std::string& path) : handle_(::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {}
  ~LibraryHandle() {
    if (handle_ != nullptr) ::dlclose(handle_);
  }
  LibraryHandle(LibraryHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  LibraryHandle& operator=(LibraryHandle&&) = delete;
  LibraryHandle(const LibraryHandle&) = delete;
  LibraryHandle& operator=(const LibraryHandle&) = delete;

  bool IsOpen() const { return handle_ != nullptr; }
  void* Symbol(const char* name) const { return ::dlsym(handle_, name); }

 private:
  void* handle_;
};

// A table is usable when it is of this version and has every operation but the optional transmission
// correction.
bool IsUsable(const VK605ProfilingOperations* table) {
  return table != nullptr && table->size >= sizeof(VK605ProfilingOperations) &&
         table->version == VK605_PROFILING_TABLE_VERSION && table->create != nullptr &&
         table->release != nullptr && table->profile_loaded != nullptr && table->creation_date != nullptr &&
         table->description != nullptr && table->load_profile != nullptr &&
         table->correct_reflectance != nullptr;
}

// One instance of the library's component. The "interfaces" of the COM component map onto the table:
// the main interface is held from creation until ReleaseMain, the transmission interface exists when
// the table has its operation and was asked for.
class SharedLibraryComponent : public ProfilingComponent {
 public:
  SharedLibraryComponent(LibraryHandle library, const VK605ProfilingOperations* table, void* instance)
      : library_(std::move(library)), table_(table), instance_(instance) {}
  ~SharedLibraryComponent() override { ReleaseMain(); }
  SharedLibraryComponent(const SharedLibraryComponent&) = delete;
  SharedLibraryComponent& operator=(const SharedLibraryComponent&) = delete;

  ComponentStatus ProfileLoaded(bool& loaded) override {
    if (!main_) return kComponentNoInterface;
    std::int32_t answer = 0;
    ComponentStatus status = table_->profile_loaded(instance_, &answer);
    if (status >= 0) loaded = answer != 0;
    return status;
  }

  ComponentStatus CreationDate(double& date) override {
    if (!main_) return kComponentNoInterface;
    double answer = 0.0;
    ComponentStatus status = table_->creation_date(instance_, &answer);
    if (status >= 0) date = answer;
    return status;
  }

  ComponentStatus Description(std::string& text) override {
    if (!main_) return kComponentNoInterface;
    std::array<char, kDescriptionCapacity> buffer{};
    ComponentStatus status = table_->description(instance_, buffer.data(), kDescriptionCapacity);
    // The component's text is not trusted to be terminated.
    if (status >= 0) text.assign(buffer.data(), ::strnlen(buffer.data(), buffer.size()));
    return status;
  }

  ComponentStatus LoadProfile(const std::string& path, bool& loaded) override {
    if (!main_) return kComponentNoInterface;
    std::int32_t answer = 0;
    ComponentStatus status = table_->load_profile(instance_, path.c_str(), &answer);
    if (status >= 0) loaded = answer != 0;
    return status;
  }

  void QuerySecondaryInterfaces() override {
    transmission_ = main_ && table_->correct_transmission != nullptr;
  }

  ComponentStatus CorrectReflectance(float* values, std::int32_t specular_included,
                                     bool& corrected) override {
    if (!main_) return kComponentNoInterface;
    return Correct(table_->correct_reflectance, values, specular_included, corrected);
  }

  ComponentStatus CorrectTransmission(float* values, std::int32_t specular_included,
                                      bool& corrected) override {
    if (!transmission_) return kComponentNoInterface;
    return Correct(table_->correct_transmission, values, specular_included, corrected);
  }

  void ReleaseMain() override {
    if (!main_) return;
    main_ = false;
    transmission_ = false;
    table_->release(instance_);
  }

 private:
  using Correction = int32_t (*)(void*, float*, const int32_t*, int32_t*);

  ComponentStatus Correct(Correction correction, float* values, std::int32_t specular_included,
                          bool& corrected) {
    std::int32_t answer = 0;
    ComponentStatus status = correction(instance_, values, &specular_included, &answer);
    if (status >= 0) corrected = answer != 0;
    return status;
  }

  // Declared first so that the library is unloaded after the instance was released.
  LibraryHandle library_;
  const VK605ProfilingOperations* table_;
  void* instance_;
  bool main_ = true;
  bool transmission_ = false;
};

}  // namespace

std::unique_ptr<ProfilingComponent> SharedLibraryComponents::Start() {
  std::optional<std::string> path = registry_.ReadString(kClassKey, "Library", kLibraryPathCapacity);
  if (!path || path->empty()) return nullptr;
  LibraryHandle library(*path);
  if (!library.IsOpen()) return nullptr;
  auto factory = reinterpret_cast<VK605ProfilingFactory>(library.Symbol(VK605_PROFILING_FACTORY_NAME));
  if (factory == nullptr) return nullptr;
  const VK605ProfilingOperations* table = factory();
  if (!IsUsable(table)) return nullptr;
  void* instance = table->create();
  if (instance == nullptr) return nullptr;
  return std::make_unique<SharedLibraryComponent>(std::move(library), table, instance);
}

ProfilingComponents& SystemProfilingComponents() {
  static SharedLibraryComponents components(SystemRegistry());
  return components;
}

}  // namespace vk605
