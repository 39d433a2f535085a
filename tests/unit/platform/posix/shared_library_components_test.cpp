#include "platform/posix/shared_library_components.h"

#include <gtest/gtest.h>

#include "fakes/fake_registry.h"

namespace vk605 {
namespace {

constexpr const char* kClassKey = "Software\\Classes\\CalveraSrv.ProfileV1";

TEST(SharedLibraryComponents, NotRegisteredIsNotInstalled) {
  testing::FakeRegistry registry;
  SharedLibraryComponents components(registry);
  EXPECT_EQ(components.Start(), nullptr);
  registry.AddKey(kClassKey);
  EXPECT_EQ(components.Start(), nullptr);
  registry.SetValue(kClassKey, "Library", "");
  EXPECT_EQ(components.Start(), nullptr);
}

TEST(SharedLibraryComponents, LibraryThatDoesNotLoadOrHasNoFactoryIsNotInstalled) {
  testing::FakeRegistry registry;
  SharedLibraryComponents components(registry);
  registry.SetValue(kClassKey, "Library", "/nonexistent/libcalvera.so");
  EXPECT_EQ(components.Start(), nullptr);
  // A real library without the factory function.
  registry.SetValue(kClassKey, "Library", "libm.so.6");
  EXPECT_EQ(components.Start(), nullptr);
}

TEST(SharedLibraryComponents, ReferenceComponentRunsThroughTheTable) {
  testing::FakeRegistry registry;
  registry.SetValue(kClassKey, "Library", VK605_REFERENCE_COMPONENT_PATH);
  SharedLibraryComponents components(registry);
  std::unique_ptr<ProfilingComponent> component = components.Start();
  ASSERT_NE(component, nullptr);
  bool loaded = true;
  EXPECT_EQ(component->ProfileLoaded(loaded), 0);
  EXPECT_FALSE(loaded);
  double date = 0.0;
  EXPECT_EQ(component->CreationDate(date), static_cast<ComponentStatus>(0x80040201u));
  EXPECT_EQ(component->LoadProfile("/nonexistent/profile.prf", loaded), 0);
  EXPECT_FALSE(loaded);
  // Before the secondary interfaces were asked for, there is no transmission correction.
  float values[kComponentPoints] = {};
  bool corrected = false;
  EXPECT_EQ(component->CorrectTransmission(values, 0, corrected), kComponentNoInterface);
  component->QuerySecondaryInterfaces();
  EXPECT_EQ(component->CorrectTransmission(values, 0, corrected), 0);
  EXPECT_FALSE(corrected);  // no profile loaded
  component->ReleaseMain();
  EXPECT_EQ(component->ProfileLoaded(loaded), kComponentNoInterface);
  EXPECT_EQ(component->CorrectReflectance(values, 0, corrected), kComponentNoInterface);
  EXPECT_EQ(component->CorrectTransmission(values, 0, corrected), kComponentNoInterface);
  EXPECT_TRUE(components.SystemMessage(-1) == std::nullopt);
}

}  // namespace
}  // namespace vk605
