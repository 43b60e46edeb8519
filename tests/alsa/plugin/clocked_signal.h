#pragma once
// What the clocked test PCM delivers: frame n of channel c, the same at
// whatever time it is read, so that a test can tell from the stream which
// frames arrived and which were lost.
#include <cmath>
#include <cstdint>

namespace clocked_pcm {

inline constexpr unsigned rate = 48000;

// Mostly noise, so that no stretch of it passes for another: a test can
// tell where in the device's time a part of the stream belongs.
inline float sample(unsigned channel, std::uint64_t frame) {
  double tone = 0.1 * std::sin(2 * M_PI * (220.0 + 110.0 * channel) * static_cast<double>(frame % rate) / rate);
  std::uint32_t x = static_cast<std::uint32_t>(frame) * 2654435761u + channel * 40503u;
  x ^= x >> 15;
  x *= 2246822519u;
  x ^= x >> 13;
  return static_cast<float>(tone + (static_cast<double>(x % 20001) - 10000.0) * 3e-5);
}

}  // namespace clocked_pcm
