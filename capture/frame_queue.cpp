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

// Set before any writer starts, read by the writers after.
FrameQueue::FailedWrite failedWrite = nullptr;
}  // namespace

void FrameQueue::onFailedWrite(FailedWrite handler) { failedWrite = handler; }

void FrameQueue::write(std::span<const std::uint8_t> frame) {
  auto result = framing::writeFrame(fd_, frame);
  using Kind = framing::WriteResult::Kind;
  if ((result.kind == Kind::readerGone || result.kind == Kind::failed) && failedWrite != nullptr) failedWrite(result);
}

FrameQueue::FrameQueue(int fd, std::size_t capacityBytes)
    : fd_(fd), capacity_(capacityBytes), entries_(capacityBytes) {}

FrameQueue::~FrameQueue() {
  entries_.stop();
  if (writer_.joinable()) writer_.join();
}

void FrameQueue::startWriter() {
  if (writing_.exchange(true)) return;
  writer_ = std::thread([this] {
    nameThisThread("tavirel.out");
    writerLoop();
  });
}

void FrameQueue::push(const std::vector<std::uint8_t>& frame, GapLog* gaps, std::int64_t firstArrivedNs) {
  if (frame.size() < framing::headerBytes) return;
  std::uint32_t n = framing::headerSamples(frame.data());
  std::uint8_t channels = framing::headerChannels(frame.data());
  if (!writing_.load()) {
    write(frame);
    return;
  }
  std::uint64_t at = pushedSamples_;
  pushedSamples_ += n;
  // Only this thread adds, so a frame that fits now still fits at the push.
  std::size_t load = entries_.load();
  if (refusing_ && load + capacity_ / 4 <= capacity_) refusing_ = false;
  if (refusing_ || load + frame.size() > capacity_) {
    refusing_ = true;
    lost_.fetch_add(n, std::memory_order_relaxed);
    bool merged = entries_.amendNewest([n](Entry& newest) {
      if (!newest.frame.empty()) return false;
      newest.silence += n;
      return true;
    });
    if (!merged) entries_.push({{}, channels, n, 0}, 0);
    if (gaps != nullptr) gaps->note(Gap::Cause::queueFull, seconds(at), seconds(n));
    return;
  }
  Entry entry;
  entry.channels = channels;
  entry.firstArrivedNs = firstArrivedNs;
  {
    std::lock_guard guard(lock_);
    if (!spare_.empty()) {
      entry.frame = std::move(spare_.back());
      spare_.pop_back();
    }
  }
  entry.frame.assign(frame.begin(), frame.end());
  entries_.push(std::move(entry), frame.size());
}

void FrameQueue::writerLoop() {
  while (auto entry = entries_.take()) {
    if (entry->frame.empty()) {
      writeSilence(entry->channels, entry->silence);
      entries_.done();
      continue;
    }
    write(entry->frame);
    if (entry->firstArrivedNs != 0) {
      double latencyMs = msSince(entry->firstArrivedNs);
      std::lock_guard guard(lock_);
      ++timedFrames_;
      latencySumMs_ += latencyMs;
      latencyMaxMs_ = std::max(latencyMaxMs_, latencyMs);
    }
    {
      std::lock_guard guard(lock_);
      if (spare_.size() < spareKept) spare_.push_back(std::move(entry->frame));
    }
    entries_.done();
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
    write(silence_);
    samples -= n;
  }
}

std::uint64_t FrameQueue::lostSamples() const { return lost_.load(std::memory_order_relaxed); }

std::size_t FrameQueue::queuedBytes() const { return entries_.load(); }

std::size_t FrameQueue::peakBytes() const { return entries_.peak(); }

FrameQueue::Latency FrameQueue::latency() const {
  std::lock_guard guard(lock_);
  Latency latency{timedFrames_, 0, latencyMaxMs_};
  if (timedFrames_ > 0) latency.meanMs = latencySumMs_ / static_cast<double>(timedFrames_);
  return latency;
}
