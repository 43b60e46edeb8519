#pragma once
// The capture engine: one per process. Its input (capture/capture_input.h)
// renders every input channel of the device on the platform's audio thread
// and hands the picked channels to the processing thread "tavirel.dsp",
// which resamples them here and writes frames.
//
// Hand-off memory is fixed: `ringFrames` frames per pick and `ringBlocks`
// blocks. While the processing thread keeps up nothing is lost; when it
// cannot, new blocks are dropped and counted (health().droppedBlocks). Finished
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
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "capture/block_ring.h"
#include "capture/capture_input.h"
#include "capture/device_clock.h"
#include "capture/failure.h"
#include "capture/frame_queue.h"
#include "capture/gap_log.h"
#include "platform/common/monotonic_clock.h"
#include "capture/processing_thread.h"
#include "device/resolved_run.h"
#include "dsp/channel_levels.h"
#include "dsp/resampler.h"
#include "platform/platform.h"

class Capture {
 public:
  static constexpr std::int64_t maxFrames = CaptureInput::maxFrames;
  static constexpr std::size_t ringFrames = 65536;  // per pick: 1.36 s at 48 kHz
  static constexpr std::size_t ringBlocks = 4096;
  // A frame counts its channels in one byte.
  static constexpr std::size_t maxPicks = 255;

  // `picks`: 0-based device channels, in stream order; `nch`: the device's inputs.
  // Frames go to `outputFd`. A line check (`measure`) also keeps every
  // pick's levels and the block sizes; any number of picks may then be
  // measured, the first `maxPicks` of them streamed.
  Capture(std::int64_t nch, std::vector<std::int64_t> picks, int outputFd = 1, bool measure = false);
  ~Capture();
  Capture(const Capture&) = delete;
  Capture& operator=(const Capture&) = delete;

  // Main thread, once: opens, configures and starts the audio unit on the
  // run's device; nothing when it runs (rate() then says at what rate).
  // After a failure the run cannot go on; the capture's threads may be
  // running, so the process ends without destroying it.
  std::optional<Failure> start(const ResolvedRun& run);

  // The audio thread's part: the unit, the render, the hand-off ring. Tests
  // and benchmarks drive it directly.
  CaptureInput& input() { return input_; }

  // Main thread, before the unit runs: the signal path for input at `rate`
  // (start builds it once it knows the device's rate; who feeds blocks by
  // hand builds it first).
  void prepare(double rate);

  // Processing thread: one block of the picked channels, pick i's `frames`
  // samples at blocks + i × frames. Without a sample time the block follows
  // the one before.
  void process(const float* blocks, std::size_t frames);
  void process(const float* blocks, std::size_t frames, std::int64_t sampleTime);
  // `arrivedNs`: when the audio thread handed the block over, on the monotonic clock.
  void process(const float* blocks, std::size_t frames, std::int64_t sampleTime, std::int64_t arrivedNs);

  // Any thread: runs `check` on the processing thread once every block
  // handed over before this call has been processed.
  void requestCheck(ProcessingThread::Check check);

  // Processing thread: processes every block handed over so far, in order;
  // false when none was waiting.
  bool processHandedOver();
  // Any thread: the blocks processed so far (those dropped never count).
  std::uint64_t blocksProcessed() const { return input_.handedOver().released(); }
  // Processing thread: resampled samples not yet framed, per streamed pick.
  const std::vector<std::vector<std::int16_t>>& pendingSamples() const { return pending; }
  // The processing thread, to start or serve on its own (tests, benchmarks).
  ProcessingThread& processing() { return processingThread; }

  // Processing thread: when the last block was processed (at first, when the capture was made).
  std::chrono::steady_clock::time_point lastBlockAt() const { return lastCallback; }

  // After start: the rate the unit delivers at.
  double rate() const;

  // Main thread: what the support log reports of the capture's health, each
  // counter since the start.
  struct Health {
    std::uint32_t blockFrames;      // the size of the last block processed
    std::uint64_t droppedBlocks;    // the processing thread fell behind
    std::uint64_t failedRenders;    // device overruns and read errors
    std::vector<std::uint64_t> nonFinite;  // per pick: samples taken as silence
  };
  Health health() const;
  // Main thread: the gaps in the stream noted since the last call.
  GapLog::Taken takeGaps() { return gaps.take(); }
  // Any thread: the run so far, for its last line: every gap, and the
  // stream's length in device time.
  GapLog::Totals gapTotals() { return gaps.totals(); }
  double streamedSeconds() const;

  // Any thread, after start: the device's clock against the system's.
  DeviceClock::Reading clock() const;

  // What a line check measured. Processing thread (from a check), so that
  // every block handed over so far is in it.
  struct Measured {
    std::vector<ChannelLevels> levels;                // per pick
    std::map<std::uint32_t, std::uint64_t> blockSizes;  // frames → blocks
    double seconds = 0;                               // device time covered, gaps included
    FrameQueue::Latency latency;
  };
  Measured measured() const;

 private:
  // Processing thread: `frames` device frames of silence in place of input
  // that never arrived, through the resamplers as if it had.
  void fillSilence(std::int64_t frames);
  void pushSilenceFrame();

  CaptureInput input_;  // first: the picks and the ring are the others' too
  double captureRate = 0;  // set before the unit runs

  // Processing thread only (the resamplers from start on).
  std::vector<Resampler> resamplers;
  std::vector<std::vector<std::int16_t>> pending;
  std::vector<std::uint8_t> frame;  // one buffer serves every frame, grown to the largest
  std::chrono::steady_clock::time_point lastCallback;
  struct Timeline {  // where the stream stands in device time
    bool begun = false;
    std::int64_t origin = 0;  // sample time of the first block
    std::int64_t next = 0;    // sample time the next block should start at
    std::uint64_t droppedSeen = 0;
    std::uint64_t failedSeen = 0;
  };
  Timeline timeline;
  std::vector<float> zeros;  // silence fed through the resamplers
  std::int64_t frameFirstArrivedNs = 0;  // of the block holding the pending frame's first sample
  const bool measuring;
  std::vector<ChannelLevels> levels;
  std::map<std::uint32_t, std::uint64_t> blockSizes;

  // Between threads: the processing thread's frames to the writer thread,
  // its gaps to the main thread.
  FrameQueue output;
  GapLog gaps;
  mutable std::mutex clockLock;
  std::optional<DeviceClock> deviceClock;  // made at start, fed by the processing thread

  // Counters the main thread reads, written by the processing thread (block
  // size, non-finite per pick); the audio thread's are in `input_`.
  std::atomic<std::uint32_t> lastBlockFrames{0};
  std::atomic<std::int64_t> streamedFrames{0};  // device frames since the first block, gaps included
  std::unique_ptr<std::atomic<std::uint64_t>[]> nonFinite;

  ProcessingThread processingThread;  // last: it stops before the members it uses go
};

// A capture rate the signal path can work at.
bool usableCaptureRate(double rate);

// The format the capture asks of the unit's client side: every device channel
// in a buffer of its own, as 32-bit float.
AudioStreamBasicDescription clientFormat(double rate, UInt32 channels);
