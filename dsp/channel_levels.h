#pragma once
// What one input channel carries, for a line check: peak, RMS, the share of
// samples at full scale and the DC offset of the device's own samples (before
// any filter), and the state a sound team reads from them.
#include <cstddef>
#include <cstdint>

// Full scale is 1.0. A sample counts as at full scale from the largest
// positive 16-bit value on (32767/32768), so a 16-bit converter's clip counts.
inline constexpr double fullScaleLevel = 32767.0 / 32768.0;
// Below this RMS a channel carries only a noise floor: a muted fader, a mic
// switched off.
inline constexpr double floorDbfs = -60.0;
// From this share of samples at full scale on, a channel is clipping.
inline constexpr double clippingShare = 0.001;
// An offset at least this large (-40 dBFS) with the rest below the floor is a
// DC offset with little else: a broken mic or a phantom-power fault.
inline constexpr double dcOffsetLevel = 0.01;

// Sums over the samples of one channel. Not finite samples count as 0, as the
// stream takes them.
struct ChannelLevels {
  std::uint64_t samples = 0;
  std::uint64_t nonZero = 0;
  std::uint64_t fullScale = 0;
  std::uint64_t nonFinite = 0;
  double peak = 0;
  double sum = 0;
  double squares = 0;

  void add(const float* samples, std::size_t count);
};

enum class LineState { zero, floor, signal, clipping, dc };

// "zero", "floor", "signal", "clipping", "dc".
const char* lineStateName(LineState state);

struct LineReading {
  double peakDbfs;  // -inf for a channel of zeros (or no samples)
  double rmsDbfs;
  double fullScaleShare;
  double dcOffset;  // the mean, full scale 1
  LineState state;
};

// In order: zero (every sample exactly 0), clipping, dc, floor, signal.
LineReading readLevels(const ChannelLevels& levels);

// 20 log10 of an amplitude (full scale 1); -inf for 0.
double amplitudeDbfs(double amplitude);
