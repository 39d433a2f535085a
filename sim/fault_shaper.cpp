#include "fault_shaper.h"

namespace vk605::sim {

std::vector<TimedChunk> FaultShaper::Shape(const std::string& reply, Fault fault) {
  switch (fault) {
    case Fault::kNone:
      return {{0, reply}};
    case Fault::kCut:
      return {{0, reply.substr(0, reply.size() / 2)}};
    case Fault::kNoise:
      return {{0, Noise() + reply}};
    case Fault::kStar:
      return {{0, "*" + reply}};
    case Fault::kOversize:
      return {{0, std::string(kOversizeFillBytes, kOversizeFill) + reply}};
    case Fault::kTrickle: {
      std::vector<TimedChunk> chunks;
      chunks.reserve(reply.size());
      for (std::size_t i = 0; i < reply.size(); ++i) {
        chunks.push_back({i * kTrickleIntervalMs, std::string(1, reply[i])});
      }
      return chunks;
    }
  }
  return {{0, reply}};
}

std::string FaultShaper::Noise() {
  std::uniform_int_distribution<std::size_t> length(kMinNoiseBytes, kMaxNoiseBytes);
  std::uniform_int_distribution<int> byte(1, 255);
  std::string noise;
  const std::size_t count = length(random_);
  while (noise.size() < count) {
    const int value = byte(random_);
    if (value == '\r' || value == '\n') continue;
    noise += static_cast<char>(value);
  }
  return noise;
}

}  // namespace vk605::sim
