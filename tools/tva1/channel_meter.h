#pragma once
// One channel's meter: levels over the samples since the last reading, a
// peak hold, a clip count and how long the channel has been silent. Times
// are stream time (16 kHz samples), so a file meters as it would live.
#include <cstddef>
#include <cmath>
#include <cstdint>

namespace tva1 {

struct MeterReading {
  double peakDb;  // -inf when nothing but zeros came since the last reading
  double rmsDb;
  double holdDb;  // the highest peak of the last two seconds or so
  std::uint64_t clips;   // samples at full scale, since the start
  double silentSeconds;  // how long every sample has stayed below -60 dBFS
};

class ChannelMeter {
 public:
  void add(const std::int16_t* samples, std::size_t count);
  // The reading since the last one; the next starts afresh.
  MeterReading take();

 private:
  std::uint32_t windowPeak_ = 0;
  double windowSquares_ = 0;
  std::uint64_t windowCount_ = 0;
  std::uint32_t hold_ = 0;
  std::uint64_t holdAge_ = 0;
  std::uint64_t clips_ = 0;
  std::uint64_t quietRun_ = 0;
  MeterReading last_{-INFINITY, -INFINITY, -INFINITY, 0, 0};
};

}  // namespace tva1
