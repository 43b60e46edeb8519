#include "dsp/channel_levels.h"

#include <cmath>

void ChannelLevels::add(const float* block, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    double s = block[i];
    if (!std::isfinite(s)) {
      ++nonFinite;
      continue;
    }
    double magnitude = std::fabs(s);
    if (magnitude > peak) peak = magnitude;
    if (magnitude >= fullScaleLevel) ++fullScale;
    if (s != 0) ++nonZero;
    sum += s;
    squares += s * s;
  }
  samples += count;
}

double amplitudeDbfs(double amplitude) { return amplitude > 0 ? 20 * std::log10(amplitude) : -INFINITY; }

const char* lineStateName(LineState state) {
  switch (state) {
    case LineState::zero: return "zero";
    case LineState::floor: return "floor";
    case LineState::signal: return "signal";
    case LineState::clipping: return "clipping";
    case LineState::dc: return "dc";
  }
  return "";
}

LineReading readLevels(const ChannelLevels& levels) {
  double n = levels.samples > 0 ? static_cast<double>(levels.samples) : 1;
  double mean = levels.sum / n;
  double meanSquare = levels.squares / n;
  // What is left once the offset is taken away.
  double rest = std::sqrt(std::fmax(0.0, meanSquare - mean * mean));
  LineReading reading{amplitudeDbfs(levels.peak), amplitudeDbfs(std::sqrt(meanSquare)),
                      static_cast<double>(levels.fullScale) / n, mean, LineState::signal};
  if (levels.nonZero == 0)
    reading.state = LineState::zero;
  else if (reading.fullScaleShare >= clippingShare)
    reading.state = LineState::clipping;
  else if (std::fabs(mean) >= dcOffsetLevel && amplitudeDbfs(rest) < floorDbfs)
    reading.state = LineState::dc;
  else if (reading.rmsDbfs < floorDbfs)
    reading.state = LineState::floor;
  return reading;
}
