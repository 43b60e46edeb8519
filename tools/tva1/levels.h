#pragma once
// Peak and RMS level of one channel, in dB relative to a full scale of 32767.
#include <cstdint>
#include <string>

namespace tva1 {

class Levels {
 public:
  void add(const std::int16_t* samples, std::size_t count);
  // Both are -inf for silence (or no samples); a sample of -32768 peaks just
  // above 0 dBFS.
  double peakDb() const;
  double rmsDb() const;

 private:
  std::uint32_t peak_ = 0;
  double sumSquares_ = 0;
  std::uint64_t count_ = 0;
};

// Amplitude in dB relative to full scale, 32767; -inf for 0.
double dbfs(double amplitude);

// "-6.02 dBFS", or "-inf dBFS" for silence.
std::string formatDb(double db);

}  // namespace tva1
