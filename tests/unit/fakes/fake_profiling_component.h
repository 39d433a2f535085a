#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/profiling_component.h"

namespace vk605::testing {

// What a fake component answers; shared by the components a FakeProfilingComponents starts.
struct FakeComponentScript {
  bool startable = true;
  bool load_answer = true;
  ComponentStatus load_status = 0;
  bool loaded_answer = false;
  ComponentStatus loaded_status = 0;
  double date = 0.0;
  ComponentStatus date_status = 0;
  bool correct_answer = true;
  ComponentStatus correct_status = 0;
  bool has_transmission = true;
  // Applied to the values in percent by a successful correction.
  std::function<void(float*)> correction = [](float*) {};
  std::optional<std::string> system_message;

  std::vector<std::string> calls;
  std::vector<float> received;  // values of the last correction, before it changed them
};

class FakeProfilingComponent : public ProfilingComponent {
 public:
  explicit FakeProfilingComponent(FakeComponentScript& script) : s_(script) {}
  ~FakeProfilingComponent() override { s_.calls.push_back("destroyed"); }

  ComponentStatus ProfileLoaded(bool& loaded) override {
    s_.calls.push_back("loaded?");
    if (s_.loaded_status >= 0) loaded = s_.loaded_answer;
    return s_.loaded_status;
  }
  ComponentStatus CreationDate(double& date) override {
    s_.calls.push_back("date");
    if (s_.date_status >= 0) date = s_.date;
    return s_.date_status;
  }
  ComponentStatus Description(std::string& text) override {
    s_.calls.push_back("description");
    text = "fake";
    return 0;
  }
  ComponentStatus LoadProfile(const std::string& path, bool& loaded) override {
    s_.calls.push_back("load:" + path);
    if (s_.load_status >= 0) loaded = s_.load_answer;
    return s_.load_status;
  }
  void QuerySecondaryInterfaces() override {
    s_.calls.push_back("secondary");
    transmission_ = s_.has_transmission;
  }
  ComponentStatus CorrectReflectance(float* values, std::int32_t specular_included,
                                     bool& corrected) override {
    s_.calls.push_back("reflectance:" + std::to_string(specular_included));
    return Correct(values, corrected);
  }
  ComponentStatus CorrectTransmission(float* values, std::int32_t specular_included,
                                      bool& corrected) override {
    s_.calls.push_back("transmission:" + std::to_string(specular_included));
    if (!transmission_) return kComponentNoInterface;
    return Correct(values, corrected);
  }
  void ReleaseMain() override { s_.calls.push_back("release-main"); }

 private:
  ComponentStatus Correct(float* values, bool& corrected) {
    s_.received.assign(values, values + kComponentPoints);
    if (s_.correct_status < 0) return s_.correct_status;
    s_.correction(values);
    corrected = s_.correct_answer;
    return s_.correct_status;
  }

  FakeComponentScript& s_;
  bool transmission_ = false;
};

class FakeProfilingComponents : public ProfilingComponents {
 public:
  std::unique_ptr<ProfilingComponent> Start() override {
    script.calls.push_back("start");
    if (!script.startable) return nullptr;
    return std::make_unique<FakeProfilingComponent>(script);
  }
  std::optional<std::string> SystemMessage(ComponentStatus) override { return script.system_message; }

  FakeComponentScript script;
};

}  // namespace vk605::testing
