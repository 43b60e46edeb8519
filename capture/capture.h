#pragma once
// The capture engine: one per process. Renders every input channel of the
// device on the platform's audio thread, hands the picked channels to the
// processing thread "tavirel.dsp", which resamples them and writes frames.
#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "dsp/resampler.h"
#include "platform/platform.h"

class Capture {
 public:
  Capture(std::int64_t nch, std::vector<std::int64_t> picks);
  Capture(const Capture&) = delete;
  Capture& operator=(const Capture&) = delete;

  // Opens, configures and starts the audio unit, then reports "started".
  // Every failure ends the process.
  void start(AudioObjectID device);

  // Audio thread: renders one block and hands the picked channels over.
  OSStatus render(AudioUnitRenderActionFlags* flags, const AudioTimeStamp* timeStamp, UInt32 bus, UInt32 frames);

  // Processing thread: one block of the picked channels, pick i's `frames`
  // samples at blocks + i × frames.
  void process(const float* blocks, std::size_t frames);

  AudioUnit au = nullptr;
  std::int64_t nch;
  std::vector<std::int64_t> picks;
  static constexpr std::int64_t maxFrames = 8192;
  std::unique_ptr<float[]> storage;
  AudioBufferList* abl = nullptr;
  std::vector<Resampler> resamplers;
  std::vector<std::vector<std::int16_t>> pending;
  std::chrono::steady_clock::time_point lastCallback;
};
