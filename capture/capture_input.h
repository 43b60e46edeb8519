#pragma once
// The audio thread's part of the capture: renders every input channel of the
// device into `storage`, copies the picked ones into the hand-off ring and
// wakes the processing thread. Nothing here may lock, allocate or make a
// system call besides the render itself and the semaphore's post.
//
// Its state is the audio thread's while the unit runs; the main thread sets
// the unit before, the processing thread reads the ring and the counters.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "capture/block_ring.h"
#include "platform/common/monotonic_clock.h"
#include "platform/platform.h"

class ProcessingThread;

class CaptureInput {
 public:
  static constexpr std::int64_t maxFrames = 8192;

  // `nch`: the device's inputs, all rendered; `picks`: the 0-based channels
  // handed over, in stream order, into a ring of `ringFrames` frames per pick
  // and `ringBlocks` blocks. Each block wakes `wake`, when there is one.
  CaptureInput(std::int64_t nch, std::vector<std::int64_t> picks, std::size_t ringFrames, std::size_t ringBlocks,
               ProcessingThread* wake);
  ~CaptureInput();
  CaptureInput(const CaptureInput&) = delete;
  CaptureInput& operator=(const CaptureInput&) = delete;

  // Main thread, before the unit runs: the unit to render from. Without one
  // a render points the buffers into storage and renders nothing.
  void useUnit(AudioUnit unit) { au = unit; }
  AudioUnit unit() const { return au; }
  std::int64_t channels() const { return nch; }
  const std::vector<std::int64_t>& picked() const { return picks; }

  // Audio thread: renders one block of at most maxFrames frames and hands
  // the picked channels over. A failed render hands nothing over and is counted.
  OSStatus render(AudioUnitRenderActionFlags* flags, const AudioTimeStamp* timeStamp, UInt32 bus, UInt32 frames);

  // Audio thread, once `storage` holds a rendered block of `frames` frames
  // whose first frame is at device sample time `sampleTime` (else right after
  // the last block): copies the picked channels into the ring and wakes the
  // processing thread, or counts the block dropped. `arrivedNs`: when the
  // platform called, on the monotonic clock.
  void handOver(std::size_t frames, std::int64_t sampleTime, std::int64_t arrivedNs);
  void handOver(std::size_t frames, std::int64_t sampleTime) { handOver(frames, sampleTime, monotonicNs()); }
  void handOver(std::size_t frames) { handOver(frames, nextSampleTime); }

  // The device's samples of the last render: channel i at i × maxFrames.
  float* samples() { return storage.get(); }
  // The buffer list the last render was given, one buffer per device channel.
  const AudioBufferList& bufferList() const { return *abl; }
  // The blocks handed over, for the processing thread to take.
  BlockRing& handedOver() { return ring; }
  const BlockRing& handedOver() const { return ring; }

  // Any thread: blocks dropped because the ring was full, and renders that failed.
  std::uint64_t droppedBlocks() const { return dropped.load(std::memory_order_relaxed); }
  std::uint64_t failedRenders() const { return failed.load(std::memory_order_relaxed); }

 private:
  AudioUnit au = nullptr;
  const std::int64_t nch;
  const std::vector<std::int64_t> picks;
  const std::unique_ptr<float[]> storage;
  AudioBufferList* const abl;
  std::int64_t nextSampleTime = 0;  // where the next block starts when the platform gives no sample time
  BlockRing ring;
  ProcessingThread* const wake;
  std::atomic<std::uint64_t> dropped{0};
  std::atomic<std::uint64_t> failed{0};
};

// The render callback installed on the unit: the context is the CaptureInput.
OSStatus captureInputCallback(void* context, AudioUnitRenderActionFlags* flags, const AudioTimeStamp* timeStamp,
                              UInt32 bus, UInt32 frames, AudioBufferList* data);
