#pragma once

#include <stdlib.h>

#include <optional>
#include <string>

namespace vk605::testing {

// Sets (or with a null value, removes) an environment variable for one scope and restores it afterwards.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value) : name_(name) {
    if (const char* old = ::getenv(name)) saved_ = old;
    Apply(value);
  }
  ~ScopedEnvironment() { Apply(saved_ ? saved_->c_str() : nullptr); }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  void Apply(const char* value) {
    if (value != nullptr) {
      ::setenv(name_.c_str(), value, 1);
    } else {
      ::unsetenv(name_.c_str());
    }
  }

  std::string name_;
  std::optional<std::string> saved_;
};

}  // namespace vk605::testing
