#include "capture/capture_input.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "capture/processing_thread.h"

namespace {
AudioBufferList* newBufferList(std::int64_t buffers) {
  std::size_t count = buffers < 1 ? 1 : static_cast<std::size_t>(buffers);
  std::size_t bytes = sizeof(AudioBufferList) + (count - 1) * sizeof(AudioBuffer);
  auto* list = static_cast<AudioBufferList*>(std::calloc(1, bytes));
  if (list == nullptr) throw std::bad_alloc();
  list->mNumberBuffers = static_cast<UInt32>(buffers);
  return list;
}
}  // namespace

CaptureInput::CaptureInput(std::int64_t channels, std::vector<std::int64_t> picked, std::size_t ringFrames,
                           std::size_t ringBlocks, ProcessingThread* processing)
    : nch(channels),
      picks(std::move(picked)),
      storage(new float[static_cast<std::size_t>(channels) * maxFrames]),
      abl(newBufferList(channels)),
      ring(picks.empty() ? 1 : picks.size(), ringFrames, ringBlocks),
      wake(processing) {}

CaptureInput::~CaptureInput() { std::free(abl); }

OSStatus captureInputCallback(void* context, AudioUnitRenderActionFlags* flags, const AudioTimeStamp* timeStamp,
                              UInt32 bus, UInt32 frames, AudioBufferList*) {
  return static_cast<CaptureInput*>(context)->render(flags, timeStamp, bus, frames);
}

OSStatus CaptureInput::render(AudioUnitRenderActionFlags* flags, const AudioTimeStamp* timeStamp, UInt32 bus,
                              UInt32 frames) {
  // The block arrived when the platform called: the render's own time is no part of it.
  std::int64_t arrived = monotonicNs();
  UInt32 n = frames < maxFrames ? frames : static_cast<UInt32>(maxFrames);
  AudioBuffer* buffers = abl->mBuffers;
  for (std::int64_t i = 0; i < nch; ++i) {
    buffers[i].mNumberChannels = 1;
    buffers[i].mDataByteSize = n * 4;
    buffers[i].mData = storage.get() + i * maxFrames;
  }
  if (au == nullptr) return noErr;

  // The platform's sample time advances by the frames it delivers and jumps
  // where it lost input; without one, our own count stands in for it.
  std::int64_t at = nextSampleTime;
  if (timeStamp != nullptr && (timeStamp->mFlags & kAudioTimeStampSampleTimeValid) != 0)
    at = std::llround(timeStamp->mSampleTime);
  OSStatus rendered = AudioUnitRender(au, flags, timeStamp, bus, n, abl);
  if (rendered != noErr) {
    // The block's frames are lost; the next block's time shows the hole.
    failed.fetch_add(1, std::memory_order_relaxed);
    nextSampleTime = at + n;
    return rendered;
  }
  handOver(n, at, arrived);
  return noErr;
}

void CaptureInput::handOver(std::size_t frames, std::int64_t sampleTime, std::int64_t arrivedNs) {
  nextSampleTime = sampleTime + static_cast<std::int64_t>(frames);
  float* block = ring.reserve(frames);
  if (block == nullptr) {
    // The processing thread is behind: drop the block. The processing thread
    // sees the jump in sample time and fills it with silence.
    dropped.fetch_add(1, std::memory_order_relaxed);
    return;
  }
  std::size_t i = 0;
  for (std::int64_t pick : picks)
    std::memcpy(block + i++ * frames, storage.get() + pick * maxFrames, frames * sizeof(float));
  ring.commit(sampleTime, arrivedNs);
  if (wake != nullptr) wake->wake();
}
