#pragma once
// Finished "TVA1" frames on their way to standard output. The processing
// thread never waits for the parent: it queues each frame and goes on, and a
// writer thread of its own, "tavirel.out", writes them in order through
// framing::writeFrame. A write the reader or the output fails goes to the
// handler the program gives (onFailedWrite), which decides the end.
//
// The queue holds at most `capacityBytes` of frames. A frame that does not
// fit is not kept: its samples are counted, and in its place the writer later
// writes as many zero samples, so that sample n still stands for n / 16 000 s
// after "started". Once full, the queue takes frames again only when a
// quarter of it is free, so a parent that reads slowly gets long stretches of
// audio with one silence between them, not audio full of holes.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "frame/frame_format.h"
#include "runtime/work_queue.h"

class GapLog;

class FrameQueue {
 public:
  // 40 MiB: 41 s of 32 channels, 10 min of one.
  static constexpr std::size_t defaultCapacity = std::size_t{40} << 20;

  explicit FrameQueue(int fd, std::size_t capacityBytes = defaultCapacity);
  FrameQueue(const FrameQueue&) = delete;
  FrameQueue& operator=(const FrameQueue&) = delete;
  // The program never ends a capture; tests do, and the writer must not outlive it.
  ~FrameQueue();

  // Any writer thread (or the pusher, before startWriter), for every queue:
  // gets a write the reader went away from or the output failed, and ends
  // the process. Set before the first frame; without one writing goes on.
  using FailedWrite = void (*)(const framing::WriteResult& result);
  static void onFailedWrite(FailedWrite handler);

  // From then on frames go through the writer thread; before (tests, tools)
  // `push` writes each frame at once.
  void startWriter();

  // Processing thread: one complete frame. Gaps are noted in `gaps`, if given.
  // `firstArrivedNs`: when the block holding the frame's first sample was
  // handed over (monotonic clock), 0 when unknown.
  void push(const std::vector<std::uint8_t>& frame, GapLog* gaps = nullptr, std::int64_t firstArrivedNs = 0);

  // Any thread: samples per channel replaced by silence so far.
  std::uint64_t lostSamples() const;
  // Any thread: bytes of frames waiting, and the most there ever were.
  std::size_t queuedBytes() const;
  std::size_t peakBytes() const;

  // Any thread: from a frame's first sample arriving to the frame being
  // written, over the frames written so far whose arrival is known.
  struct Latency {
    std::uint64_t frames = 0;
    double meanMs = 0, maxMs = 0;
  };
  Latency latency() const;

 private:
  struct Entry {
    std::vector<std::uint8_t> frame;  // empty for silence
    std::uint8_t channels = 0;
    std::uint64_t silence = 0;  // zero samples per channel to write
    std::int64_t firstArrivedNs = 0;
  };

  void writerLoop();
  void write(std::span<const std::uint8_t> frame);
  void writeSilence(std::uint8_t channels, std::uint64_t samples);

  const int fd_;
  const std::size_t capacity_;
  // Frames cost their bytes, from the push until they are written; silence costs nothing.
  WorkQueue<Entry> entries_;
  std::atomic<bool> writing_{false};
  std::atomic<std::uint64_t> lost_{0};

  // Pushing thread only.
  std::uint64_t pushedSamples_ = 0;  // per channel, frames and silence: the stream's length
  bool refusing_ = false;

  // Between the pusher and the writer.
  mutable std::mutex lock_;
  std::vector<std::vector<std::uint8_t>> spare_;  // written frames' storage, for reuse
  std::uint64_t timedFrames_ = 0;
  double latencySumMs_ = 0, latencyMaxMs_ = 0;

  std::vector<std::uint8_t> silence_;  // writer thread only
  std::thread writer_;
};
