#pragma once

namespace vk605 {

// The instrument's side of profiling, as the profiling step asks it: whether the instrument profiles
// spectra itself, and in which state its own profile is. The api layer answers through the per-call
// instrument object.
class EmbeddedProfiling {
 public:
  virtual ~EmbeddedProfiling() = default;
  // 0: spectra go through the host-side profiling component; 1: the instrument profiles them itself;
  // anything else: no profiling at all.
  virtual int IsEmbeddedProfilingSupported() = 0;
  // '1' or '2' while the instrument's own profile is applied.
  virtual char GetEmbeddedProfilingState() = 0;
};

}  // namespace vk605
