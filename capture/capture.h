#pragma once
// The capture engine: one per process. Renders every input channel of the
// device on the platform's audio thread, hands the picked channels to the
// processing thread "tavirel.dsp", which resamples them and writes frames.
//
// Hand-off memory is fixed: `ringFrames` frames per pick and `ringBlocks`
// blocks. While the processing thread keeps up nothing is lost; when it
// cannot, new blocks are dropped and counted in `droppedBlocks`. Finished
// frames wait in `output` for a parent that is slow to read.
//
// The stream keeps device time: every block carries the sample time of its
// first frame, and whatever did not arrive (blocks dropped here, input the
// device lost, frames the output queue had no room for) becomes silence of
// the same length, so sample n of every channel stands for n / 16 000 s after
// "started".
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "capture/block_ring.h"
#include "capture/frame_queue.h"
#include "capture/gap_log.h"
#include "capture/processing_thread.h"
#include "dsp/resampler.h"
#include "platform/platform.h"

class Capture {
 public:
  static constexpr std::int64_t maxFrames = 8192;
  static constexpr std::size_t ringFrames = 65536;  // per pick: 1.36 s at 48 kHz
  static constexpr std::size_t ringBlocks = 4096;
  // A frame counts its channels in one byte.
  static constexpr std::size_t maxPicks = 255;

  Capture(std::int64_t nch, std::vector<std::int64_t> picks);
  ~Capture();
  Capture(const Capture&) = delete;
  Capture& operator=(const Capture&) = delete;

  // Opens, configures and starts the audio unit, then reports "started".
  // Every failure ends the process.
  void start(AudioObjectID device);

  // Audio thread: renders one block and hands the picked channels over.
  // No lock, no allocation, no system call besides the render itself and
  // the post that wakes the processing thread.
  OSStatus render(AudioUnitRenderActionFlags* flags, const AudioTimeStamp* timeStamp, UInt32 bus, UInt32 frames);
  // Audio thread, once `storage` holds a rendered block of `frames` frames
  // whose first frame is at device sample time `sampleTime`: copies the
  // picked channels into the ring and wakes the processing thread, or counts
  // the block dropped.
  void handOver(std::size_t frames, std::int64_t sampleTime);
  void handOver(std::size_t frames) { handOver(frames, nextSampleTime); }

  // Processing thread: one block of the picked channels, pick i's `frames`
  // samples at blocks + i × frames. Without a sample time the block follows
  // the one before.
  void process(const float* blocks, std::size_t frames);
  void process(const float* blocks, std::size_t frames, std::int64_t sampleTime);
  // Processing thread: `frames` device frames of silence in place of input
  // that never arrived, through the resamplers as if it had.
  void fillSilence(std::int64_t frames);

  // Any thread: runs `check` on the processing thread once every block
  // handed over before this call has been processed.
  void requestCheck(ProcessingThread::Check check);

  AudioUnit au = nullptr;
  std::int64_t nch;
  std::vector<std::int64_t> picks;
  std::unique_ptr<float[]> storage;
  AudioBufferList* abl = nullptr;
  std::vector<Resampler> resamplers;
  std::vector<std::vector<std::int16_t>> pending;
  // Processing thread only: one buffer serves every frame and stops
  // allocating once it has grown to the largest.
  std::vector<std::uint8_t> frame;
  std::chrono::steady_clock::time_point lastCallback;

  // Processing thread only: where the stream stands in device time.
  struct Timeline {
    bool begun = false;
    std::int64_t origin = 0;  // sample time of the first block
    std::int64_t next = 0;    // sample time the next block should start at
    std::uint64_t droppedSeen = 0;
  };
  Timeline timeline;
  std::vector<float> zeros;  // processing thread: silence fed through the resamplers

  // Audio thread only: where the next block starts when the platform gives no sample time.
  std::int64_t nextSampleTime = 0;

  BlockRing ring;
  FrameQueue output;
  GapLog gaps;
  std::atomic<std::uint64_t> droppedBlocks{0};
  std::atomic<std::uint64_t> failedRenders{0};  // audio thread: device overruns and read errors
  std::atomic<std::uint32_t> lastBlockFrames{0};  // processing thread: for the support log
  // Processing thread, per pick: non-finite samples the resampler took as silence.
  std::unique_ptr<std::atomic<std::uint64_t>[]> nonFinite;
  ProcessingThread processingThread;  // last: it stops before the members it uses go
};

// The render callback installed on the unit: the context is the Capture.
OSStatus captureInputCallback(void* context, AudioUnitRenderActionFlags* flags, const AudioTimeStamp* timeStamp,
                              UInt32 bus, UInt32 frames, AudioBufferList* data);

// A capture rate the signal path can work at.
bool usableCaptureRate(double rate);
