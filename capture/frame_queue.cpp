#include "capture/frame_queue.h"

#include <algorithm>

#include "frame/frame_format.h"
#include "frame/stream_rate.h"
#include "capture/gap_log.h"
#include "platform/common/monotonic_clock.h"
#include "capture/thread_name.h"

namespace {
// Silence goes out a second at a time, in frames of at least the smallest count.
constexpr std::uint64_t silenceFrameSamples = framing::streamRate;
constexpr std::size_t spareKept = 8;

double seconds(std::uint64_t samples) { return static_cast<double>(samples) / framing::streamRate; }

double msSince(std::int64_t atNs) { return static_cast<double>(monotonicNs() - atNs) / 1e6; }
}  // namespace

FrameQueue::FrameQueue(int fd, std::size_t capacityBytes) : fd_(fd), capacity_(capacityBytes) {}

FrameQueue::~FrameQueue() {
  {
    std::lock_guard guard(lock_);
    stop_ = true;
  }
  ready_.notify_all();
  if (writer_.joinable()) writer_.join();
}

void FrameQueue::startWriter() {
  std::lock_guard guard(lock_);
  if (writing_) return;
  writing_ = true;
  writer_ = std::thread([this] {
    nameThisThread("tavirel.out");
    writerLoop();
  });
}

void FrameQueue::push(const std::vector<std::uint8_t>& frame, GapLog* gaps, std::int64_t firstArrivedNs) {
  if (frame.size() < framing::headerBytes) return;
  std::uint32_t n = framing::headerSamples(frame.data());
  std::uint8_t channels = framing::headerChannels(frame.data());
  std::unique_lock guard(lock_);
  if (!writing_) {
    guard.unlock();
    framing::writeFrame(fd_, frame);
    return;
  }
  std::uint64_t at = pushedSamples_;
  pushedSamples_ += n;
  if (refusing_ && bytes_ + capacity_ / 4 <= capacity_) refusing_ = false;
  if (refusing_ || bytes_ + frame.size() > capacity_) {
    refusing_ = true;
    lost_ += n;
    if (!entries_.empty() && entries_.back().frame.empty())
      entries_.back().silence += n;
    else
      entries_.push_back({{}, channels, n});
    guard.unlock();
    if (gaps != nullptr) gaps->note(Gap::Cause::queueFull, seconds(at), seconds(n));
    ready_.notify_one();
    return;
  }
  Entry entry;
  entry.channels = channels;
  entry.firstArrivedNs = firstArrivedNs;
  if (!spare_.empty()) {
    entry.frame = std::move(spare_.back());
    spare_.pop_back();
  }
  bytes_ += frame.size();
  peak_ = std::max(peak_, bytes_);
  guard.unlock();
  entry.frame.assign(frame.begin(), frame.end());  // the copy outside the lock
  guard.lock();
  entries_.push_back(std::move(entry));
  guard.unlock();
  ready_.notify_one();
}

void FrameQueue::writerLoop() {
  std::unique_lock guard(lock_);
  for (;;) {
    ready_.wait(guard, [this] { return stop_ || !entries_.empty(); });
    if (stop_) return;
    Entry entry = std::move(entries_.front());
    entries_.pop_front();
    guard.unlock();
    if (entry.frame.empty()) {
      writeSilence(entry.channels, entry.silence);
      guard.lock();
      continue;
    }
    framing::writeFrame(fd_, entry.frame);
    double latencyMs = entry.firstArrivedNs != 0 ? msSince(entry.firstArrivedNs) : 0;
    guard.lock();
    if (entry.firstArrivedNs != 0) {
      ++timedFrames_;
      latencySumMs_ += latencyMs;
      latencyMaxMs_ = std::max(latencyMaxMs_, latencyMs);
    }
    bytes_ -= entry.frame.size();
    if (spare_.size() < spareKept) spare_.push_back(std::move(entry.frame));
  }
}

void FrameQueue::writeSilence(std::uint8_t channels, std::uint64_t samples) {
  while (samples > 0) {
    std::uint64_t n = std::min(samples, silenceFrameSamples);
    // The last piece must still make a frame of its own.
    if (samples - n > 0 && samples - n < framing::minSamples) n = samples - framing::minSamples;
    std::size_t size = framing::headerBytes + 2 * static_cast<std::size_t>(n) * channels;
    silence_.assign(size, 0);
    framing::putHeader(silence_.data(), channels, static_cast<std::uint32_t>(n));
    framing::writeFrame(fd_, silence_);
    samples -= n;
  }
}

std::uint64_t FrameQueue::lostSamples() const {
  std::lock_guard guard(lock_);
  return lost_;
}

std::size_t FrameQueue::queuedBytes() const {
  std::lock_guard guard(lock_);
  return bytes_;
}

std::size_t FrameQueue::peakBytes() const {
  std::lock_guard guard(lock_);
  return peak_;
}

FrameQueue::Latency FrameQueue::latency() const {
  std::lock_guard guard(lock_);
  Latency latency{timedFrames_, 0, latencyMaxMs_};
  if (timedFrames_ > 0) latency.meanMs = latencySumMs_ / static_cast<double>(timedFrames_);
  return latency;
}
