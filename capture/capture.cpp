#include "capture/capture.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "text/whole_hz.h"

namespace {
// Below this a resampler would make thousands of outputs per input sample;
// no device runs that slowly.
constexpr double lowestCaptureRate = 1000;
// Above this a block makes hardly any output (at 1e300 Hz none, ever, so the
// run would stream nothing and seem alive); real devices stop far below it.
constexpr double highestCaptureRate = 1'000'000;

}  // namespace

bool usableCaptureRate(double rate) {
  return validResamplerRate(rate) && rate >= lowestCaptureRate && rate <= highestCaptureRate;
}

AudioStreamBasicDescription clientFormat(double rate, UInt32 channels) {
  AudioStreamBasicDescription format{};
  format.mSampleRate = rate;
  format.mFormatID = kAudioFormatLinearPCM;
  format.mFormatFlags = kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked | kAudioFormatFlagIsNonInterleaved;
  format.mBytesPerPacket = 4;
  format.mFramesPerPacket = 1;
  format.mBytesPerFrame = 4;
  format.mChannelsPerFrame = channels;
  format.mBitsPerChannel = 32;
  return format;
}

Capture::Capture(std::int64_t channels, std::vector<std::int64_t> picked, int outputFd, bool measure)
    : input_(channels, std::move(picked), ringFrames, ringBlocks, &processingThread),
      pending(std::min(input_.picked().size(), maxPicks)),
      lastCallback(std::chrono::steady_clock::now()),
      measuring(measure),
      levels(measure ? input_.picked().size() : 0),
      output(outputFd),
      nonFinite(new std::atomic<std::uint64_t>[input_.picked().size()]()) {}

// `processingThread`, the last member, is destroyed first: the thread stops
// before anything it uses goes.
Capture::~Capture() = default;

void Capture::requestCheck(ProcessingThread::Check check) {
  processingThread.requestCheck(input_.handedOver().committed(), check);
}

bool Capture::processHandedOver() {
  BlockRing& ring = input_.handedOver();
  bool any = false;
  BlockRing::Block block;
  while (ring.front(block)) {
    process(block.data, block.frames, block.sampleTime, block.arrivedNs);
    ring.release();
    any = true;
  }
  return any;
}

Capture::Health Capture::health() const {
  Health now{lastBlockFrames.load(std::memory_order_relaxed), input_.droppedBlocks(), input_.failedRenders(), {}};
  std::size_t picks = input_.picked().size();
  now.nonFinite.reserve(picks);
  for (std::size_t i = 0; i < picks; ++i) now.nonFinite.push_back(nonFinite[i].load(std::memory_order_relaxed));
  return now;
}

double Capture::rate() const { return captureRate; }

double Capture::streamedSeconds() const {
  return captureRate > 0 ? static_cast<double>(streamedFrames.load(std::memory_order_relaxed)) / captureRate : 0;
}

DeviceClock::Reading Capture::clock() const {
  std::lock_guard guard(clockLock);
  return deviceClock ? deviceClock->reading() : DeviceClock::Reading{};
}

Capture::Measured Capture::measured() const {
  return {levels, blockSizes, streamedSeconds(), output.latency()};
}

void Capture::prepare(double rate) {
  std::vector<Resampler> built;
  built.reserve(pending.size());
  for (std::size_t i = 0; i < pending.size(); ++i) built.emplace_back(rate);
  resamplers = std::move(built);
  captureRate = rate;
  std::lock_guard guard(clockLock);
  deviceClock.emplace(rate);
}

std::optional<Failure> Capture::start(const ResolvedRun& run) {
  AudioComponentDescription description{kAudioUnitType_Output, kAudioUnitSubType_HALOutput,
                                        kAudioUnitManufacturer_Apple, 0, 0};
  AudioComponent component = AudioComponentFindNext(nullptr, &description);
  if (component == nullptr) return Failure{FailureClass::captureUnit, "HAL unit not available"};

  AudioUnit au = nullptr;
  OSStatus made = AudioComponentInstanceNew(component, &au);
  if (made == kAudioUnitErr_Unauthorized) return accessDenied();
  if (made != noErr || au == nullptr)
    return Failure{FailureClass::captureUnit, "AudioComponentInstanceNew " + std::to_string(made)};
  input_.useUnit(au);

  UInt32 on = 1, off = 0;
  AudioUnitSetProperty(au, kAudioOutputUnitProperty_EnableIO, kAudioUnitScope_Input, 1, &on, sizeof on);
  AudioUnitSetProperty(au, kAudioOutputUnitProperty_EnableIO, kAudioUnitScope_Output, 0, &off, sizeof off);
  AudioObjectID current = run.device;
  OSStatus opened = AudioUnitSetProperty(au, kAudioOutputUnitProperty_CurrentDevice, kAudioUnitScope_Global, 0,
                                         &current, sizeof current);
  if (opened != noErr) return Failure{FailureClass::device, "Could not open device (" + std::to_string(opened) + ")"};

  AudioStreamBasicDescription deviceSide{};
  UInt32 size = sizeof deviceSide;
  AudioUnitGetProperty(au, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 1, &deviceSide, &size);
  double rate = deviceSide.mSampleRate > 0 ? deviceSide.mSampleRate : run.rate;
  // Checked before the rate goes anywhere: a resampler cannot be built for it.
  if (!usableCaptureRate(rate)) return Failure{FailureClass::device, "Unusable capture rate: " + wholeHz(rate) + " Hz"};

  AudioStreamBasicDescription client = clientFormat(rate, static_cast<UInt32>(input_.channels()));
  OSStatus formatted = AudioUnitSetProperty(au, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 1, &client, size);
  if (formatted != noErr)
    return Failure{FailureClass::captureUnit, "Could not set capture format (" + std::to_string(formatted) + ")"};

  UInt32 largest = static_cast<UInt32>(maxFrames);
  AudioUnitSetProperty(au, kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0, &largest,
                       sizeof largest);

  prepare(rate);
  output.startWriter();
  processingThread.start(*this);

  AURenderCallbackStruct callback{captureInputCallback, &input_};
  AudioUnitSetProperty(au, kAudioOutputUnitProperty_SetInputCallback, kAudioUnitScope_Global, 0, &callback,
                       sizeof callback);

  OSStatus initialized = AudioUnitInitialize(au);
  if (initialized == kAudioUnitErr_Unauthorized) return accessDenied();
  if (initialized == kAudioDevicePermissionsError)
    return Failure{FailureClass::device, "Audio device busy: " + run.name + " is in use by another program"};
  if (initialized != noErr)
    return Failure{FailureClass::device, "AudioUnitInitialize " + std::to_string(initialized)};
  OSStatus started = AudioOutputUnitStart(au);
  if (started != noErr)
    return Failure{FailureClass::device,
                   "Could not start capture (" + std::to_string(started) + "). Is microphone access allowed?"};
  return std::nullopt;
}
