#include <algorithm>

#include "capture/capture.h"
#include "frame/frame_format.h"

namespace {
// Silence goes through the resamplers a block at a time for this long, so
// that their filters ring out exactly as after real silence; by then they
// have settled to nothing, and the rest of a long gap is counted, not computed.
constexpr std::int64_t settleFrames = 2 * Capture::maxFrames;
// A jump further ahead than this is no loss but a device clock that started
// over: no device is gone that long while the watchdog runs.
constexpr double longestGapSeconds = 3600;

}  // namespace

void Capture::process(const float* blocks, std::size_t frames) {
  process(blocks, frames, timeline.begun ? timeline.next : 0);
}

void Capture::process(const float* blocks, std::size_t frames, std::int64_t sampleTime) {
  process(blocks, frames, sampleTime, 0);
}

void Capture::process(const float* blocks, std::size_t frames, std::int64_t sampleTime, std::int64_t arrivedNs) {
  // A block without frames is no sign of audio: the silence check must still see it as silence.
  if (frames == 0) return;
  lastCallback = std::chrono::steady_clock::now();
  lastBlockFrames.store(static_cast<std::uint32_t>(frames), std::memory_order_relaxed);

  auto n = static_cast<std::int64_t>(frames);
  std::size_t skip = 0;
  if (!timeline.begun) {
    timeline.begun = true;
    timeline.origin = sampleTime;
  } else if (std::int64_t gap = sampleTime - timeline.next; gap != 0) {
    // The counters say which loss it was: ours (the ring was full), a render
    // that failed, or else the device's clock skipping input.
    auto dropped = input_.droppedBlocks();
    auto failed = input_.failedRenders();
    Gap::Cause cause = dropped != timeline.droppedSeen ? Gap::Cause::ringFull
                       : failed != timeline.failedSeen ? Gap::Cause::failedRender
                                                       : Gap::Cause::device;
    timeline.droppedSeen = dropped;
    timeline.failedSeen = failed;
    if (gap > 0 && static_cast<double>(gap) <= longestGapSeconds * captureRate) {
      gaps.note(cause, static_cast<double>(timeline.next - timeline.origin) / captureRate,
                static_cast<double>(gap) / captureRate);
      fillSilence(gap);
    } else if (gap < 0 && sampleTime + n > timeline.next) {
      // Overlaps what the stream already has: only the new part goes on.
      skip = static_cast<std::size_t>(-gap);
    } else {
      // The device's clock started over: the stream goes on from here.
      timeline.origin += sampleTime - timeline.next;
    }
  }
  timeline.next = sampleTime + n;
  streamedFrames.store(timeline.next - timeline.origin, std::memory_order_relaxed);
  if (arrivedNs != 0) {
    std::lock_guard guard(clockLock);
    if (deviceClock)
      deviceClock->add(static_cast<double>(timeline.next - timeline.origin), static_cast<double>(arrivedNs) / 1e9);
  }
  if (measuring) {
    ++blockSizes[static_cast<std::uint32_t>(frames)];
    for (std::size_t i = 0; i < levels.size(); ++i) levels[i].add(blocks + i * frames + skip, frames - skip);
  }
  if (!pending.empty() && pending[0].empty()) frameFirstArrivedNs = arrivedNs;

  if (skip == 0) {
    processChannels(resamplers, blocks, frames, pending);
  } else {
    for (std::size_t i = 0; i < resamplers.size() && i < pending.size(); ++i)
      resamplers[i].process(blocks + i * frames + skip, n - static_cast<std::int64_t>(skip), pending[i]);
  }
  for (std::size_t i = 0; i < resamplers.size(); ++i)
    nonFinite[i].store(resamplers[i].nonFiniteSamples(), std::memory_order_relaxed);
  if (framing::takeFrame(pending, frame)) output.push(frame, &gaps, frameFirstArrivedNs);
}

void Capture::pushSilenceFrame() {
  if (!framing::takeFrame(pending, frame)) return;
  output.push(frame, &gaps, frameFirstArrivedNs);
  frameFirstArrivedNs = 0;  // what is left pending is silence: it never arrived
}

void Capture::fillSilence(std::int64_t frames) {
  if (!pending.empty() && pending[0].empty()) frameFirstArrivedNs = 0;
  const std::int64_t chunk = maxFrames;
  if (zeros.size() < resamplers.size() * maxFrames) zeros.assign(resamplers.size() * maxFrames, 0.0f);
  std::int64_t exact = std::min(frames, settleFrames);
  for (std::int64_t done = 0; done < exact;) {
    std::int64_t n = std::min(chunk, exact - done);
    processChannels(resamplers, zeros.data(), static_cast<std::size_t>(n), pending);
    pushSilenceFrame();
    done += n;
  }
  if (frames == exact) return;

  // Settled: from here silence in is silence out, and only the count matters.
  for (std::int64_t rest = frames - exact; rest > 0;) {
    std::int64_t n = std::min(chunk, rest);
    skipSettledSilence(resamplers, n, pending);
    pushSilenceFrame();
    rest -= n;
  }
}
