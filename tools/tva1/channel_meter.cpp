#include "tools/tva1/channel_meter.h"

#include <cmath>
#include <cstdlib>

#include "frame/stream_rate.h"
#include "tools/tva1/levels.h"

namespace tva1 {
namespace {
constexpr std::uint64_t holdSamples = 2 * framing::streamRate;
constexpr std::uint32_t quietLevel = 32;  // -60 dBFS
constexpr std::uint32_t clipLevel = 32767;
}  // namespace

void ChannelMeter::add(const std::int16_t* samples, std::size_t count) {
  std::uint32_t blockPeak = 0;
  for (std::size_t i = 0; i < count; ++i) {
    int s = samples[i];
    auto magnitude = static_cast<std::uint32_t>(std::abs(s));
    if (magnitude > blockPeak) blockPeak = magnitude;
    if (magnitude >= clipLevel) ++clips_;
    quietRun_ = magnitude < quietLevel ? quietRun_ + 1 : 0;
    windowSquares_ += double(s) * double(s);
  }
  windowCount_ += count;
  if (blockPeak > windowPeak_) windowPeak_ = blockPeak;
  if (blockPeak >= hold_ || holdAge_ >= holdSamples) {
    hold_ = blockPeak;
    holdAge_ = 0;
  } else {
    holdAge_ += count;
  }
}

MeterReading ChannelMeter::take() {
  // No samples since the last reading (a stalled stream, or the end just
  // after a redraw): the levels stay as they were shown.
  if (windowCount_ > 0) {
    last_.peakDb = dbfs(windowPeak_);
    last_.rmsDb = dbfs(std::sqrt(windowSquares_ / double(windowCount_)));
  }
  last_.holdDb = dbfs(hold_);
  last_.clips = clips_;
  last_.silentSeconds = static_cast<double>(quietRun_) / framing::streamRate;
  windowPeak_ = 0;
  windowSquares_ = 0;
  windowCount_ = 0;
  return last_;
}

}  // namespace tva1
