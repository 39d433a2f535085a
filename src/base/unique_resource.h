#pragma once

#include <utility>

namespace vk605 {

// Owns one operating-system resource (a file descriptor, a kernel object handle) and closes it exactly
// once: when it is destroyed, reset or replaced by a move. Move-only.
//
// Traits describe the resource:
//   using Handle = ...;                       the raw value
//   static Handle Invalid() noexcept;         the value that holds nothing
//   static bool Close(Handle) noexcept;       releases a valid handle; true when that succeeded
//   static bool IsValid(Handle) noexcept;     optional: for resources with more than one "nothing" value
template <typename Traits>
class UniqueResource {
 public:
  using Handle = typename Traits::Handle;

  UniqueResource() noexcept = default;
  explicit UniqueResource(Handle handle) noexcept : handle_(handle) {}
  ~UniqueResource() { Reset(); }
  UniqueResource(UniqueResource&& other) noexcept : handle_(other.Release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;

  Handle Get() const noexcept { return handle_; }
  bool IsValid() const noexcept { return Valid(handle_); }

  // Gives up ownership without closing; the caller closes the returned handle.
  [[nodiscard]] Handle Release() noexcept { return std::exchange(handle_, Traits::Invalid()); }

  // Closes the held resource (if any) and takes handle instead.
  void Reset(Handle handle = Traits::Invalid()) noexcept {
    Handle old = std::exchange(handle_, handle);
    if (Valid(old)) (void)Traits::Close(old);
  }

  // Closes now and reports whether the close succeeded: for a written file, a failed close can mean lost
  // data. Holding nothing counts as success.
  bool Close() noexcept {
    Handle old = Release();
    return !Valid(old) || Traits::Close(old);
  }

 private:
  static bool Valid(Handle handle) noexcept {
    if constexpr (requires { Traits::IsValid(handle); }) {
      return Traits::IsValid(handle);
    } else {
      return handle != Traits::Invalid();
    }
  }

  Handle handle_ = Traits::Invalid();
};

}  // namespace vk605
