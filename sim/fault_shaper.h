#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "output_queue.h"
#include "sim_settings.h"

namespace vk605::sim {

// Turns a well-formed reply into what a faulty line or instrument would send.
class FaultShaper {
 public:
  static constexpr std::uint64_t kTrickleIntervalMs = 50;
  static constexpr std::size_t kOversizeFillBytes = 8192;
  static constexpr char kOversizeFill = '#';
  static constexpr std::size_t kMinNoiseBytes = 4;
  static constexpr std::size_t kMaxNoiseBytes = 16;

  explicit FaultShaper(std::uint32_t seed = 1) : random_(seed) {}

  void Reseed(std::uint32_t seed) { random_.seed(seed); }

  // kCut sends only the first half of the reply; kTrickle one byte every 50 ms; kNoise puts 4 to 16
  // random bytes (never NUL, CR or LF) in front; kStar puts "*" in front; kOversize puts 8192 '#' in front,
  // so the whole reply is longer than the driver's 8192-byte buffer.
  std::vector<TimedChunk> Shape(const std::string& reply, Fault fault);

 private:
  std::string Noise();

  std::minstd_rand random_;
};

}  // namespace vk605::sim
