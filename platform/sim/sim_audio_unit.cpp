// The HAL output unit's contract in the simulation: the scenario's unit
// faults, the device-side rate, and an audio thread paced by the simulation
// clock that delivers blocks of `sim::sample` until the audio stops, the
// device vanishes or the process ends.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

#include "platform/api/audio_toolbox.h"
#include "platform/sim/sim_world.h"

struct ComponentInstanceRecord {
  std::optional<sim::Device> device;  // copied when made current
  AudioStreamBasicDescription client{};
  bool haveClient = false;
  UInt32 maxFrames = 4096;
  AURenderCallbackStruct callback{nullptr, nullptr};
  bool initialized = false;
  std::atomic<bool> running{false};
  std::uint64_t blockStart = 0;  // first frame of the block being rendered; audio thread only
  double startedAtMs = 0;
};

namespace {
// The statuses the real unit gives for these faults.
constexpr OSStatus badDevice = 0x21646576;  // '!dev'
constexpr OSStatus formatNotSupported = -10868;
constexpr OSStatus invalidProperty = -10879;
constexpr OSStatus invalidParameter = -50;
constexpr OSStatus uninitialized = -10867;
constexpr OSStatus tooManyFrames = -10874;

int componentToken;

std::optional<sim::Device> findDevice(AudioObjectID id) {
  auto& world = sim::world();
  std::lock_guard guard(sim::worldLock());
  for (auto& device : world.devices)
    if (device.id == id) return device;
  return std::nullopt;
}

UInt32 channelsOf(const sim::Device& device) {
  UInt32 channels = 0;
  for (auto buffer : device.inputBuffers) channels += buffer;
  return channels;
}

double deviceSideRate(const sim::Device& device) { return device.unitRate.value_or(device.rate); }

double speed() {
  auto& world = sim::world();
  std::lock_guard guard(sim::worldLock());
  return world.speed > 0 ? world.speed : 1;
}

bool vanished(const sim::Device& device, double nowMs) { return device.vanishAtMs && nowMs >= *device.vanishAtMs; }

void deliver(AudioUnit unit) {
  const sim::Device& device = *unit->device;
  double rate = unit->client.mSampleRate > 0 ? unit->client.mSampleRate : deviceSideRate(device);
  double factor = speed();
  UInt32 frames = device.blockFrames;
  std::uint64_t delivered = 0;
  for (;;) {
    double dueMs = unit->startedAtMs + static_cast<double>(delivered + frames) * 1000.0 / rate;
    double waitMs = (dueMs - sim::nowMs()) / factor;
    if (waitMs > 0) std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(waitMs));
    double nowMs = sim::nowMs();
    double captureMs = nowMs - unit->startedAtMs;
    if (vanished(device, nowMs)) return;
    if (device.audioStopsAtMs && captureMs >= *device.audioStopsAtMs) return;
    unit->blockStart = delivered;
    AudioTimeStamp stamp{};
    stamp.mSampleTime = static_cast<double>(delivered);
    AudioUnitRenderActionFlags flags = 0;
    unit->callback.inputProc(unit->callback.inputProcRefCon, &flags, &stamp, 1, frames, nullptr);
    delivered += frames;
  }
}
}  // namespace

AudioComponent AudioComponentFindNext(AudioComponent previous, const AudioComponentDescription* description) {
  auto& world = sim::world();
  {
    std::lock_guard guard(sim::worldLock());
    if (world.unit.missing) return nullptr;
  }
  if (previous != nullptr || description == nullptr) return nullptr;
  if (description->componentType != kAudioUnitType_Output ||
      description->componentSubType != kAudioUnitSubType_HALOutput ||
      description->componentManufacturer != kAudioUnitManufacturer_Apple)
    return nullptr;
  return reinterpret_cast<AudioComponent>(&componentToken);
}

OSStatus AudioComponentInstanceNew(AudioComponent component, AudioComponentInstance* instance) {
  if (component == nullptr || instance == nullptr) return invalidParameter;
  auto& world = sim::world();
  std::lock_guard guard(sim::worldLock());
  if (world.unit.instanceStatus != 0) return world.unit.instanceStatus;
  *instance = world.unit.nullInstance ? nullptr : new ComponentInstanceRecord;  // lives for good, like the real one
  return noErr;
}

OSStatus AudioUnitSetProperty(AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                              const void* data, UInt32 size) {
  if (unit == nullptr || data == nullptr) return invalidParameter;
  auto& world = sim::world();
  switch (id) {
    case kAudioOutputUnitProperty_EnableIO:
      return size == sizeof(UInt32) ? noErr : invalidParameter;
    case kAudioOutputUnitProperty_CurrentDevice: {
      if (size != sizeof(AudioObjectID)) return invalidParameter;
      {
        std::lock_guard guard(sim::worldLock());
        if (world.unit.currentDeviceStatus != 0) return world.unit.currentDeviceStatus;
      }
      AudioObjectID deviceId;
      std::memcpy(&deviceId, data, sizeof deviceId);
      auto device = findDevice(deviceId);
      if (!device || vanished(*device, sim::nowMs())) return badDevice;
      unit->device = device;
      return noErr;
    }
    case kAudioUnitProperty_StreamFormat: {
      if (scope != kAudioUnitScope_Output || element != 1) return invalidProperty;
      if (size < sizeof(AudioStreamBasicDescription)) return invalidParameter;
      {
        std::lock_guard guard(sim::worldLock());
        if (world.unit.formatStatus != 0) return world.unit.formatStatus;
      }
      AudioStreamBasicDescription format;
      std::memcpy(&format, data, sizeof format);
      AudioFormatFlags wanted = kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked | kAudioFormatFlagIsNonInterleaved;
      if (format.mFormatID != kAudioFormatLinearPCM || format.mFormatFlags != wanted || format.mBitsPerChannel != 32 ||
          !(format.mSampleRate > 0) || (unit->device && format.mChannelsPerFrame != channelsOf(*unit->device)))
        return formatNotSupported;
      unit->client = format;
      unit->haveClient = true;
      return noErr;
    }
    case kAudioUnitProperty_MaximumFramesPerSlice:
      if (size != sizeof(UInt32)) return invalidParameter;
      std::memcpy(&unit->maxFrames, data, sizeof unit->maxFrames);
      return noErr;
    case kAudioOutputUnitProperty_SetInputCallback:
      if (size != sizeof(AURenderCallbackStruct)) return invalidParameter;
      std::memcpy(&unit->callback, data, sizeof unit->callback);
      return noErr;
    default:
      return invalidProperty;
  }
}

OSStatus AudioUnitGetProperty(AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                              void* data, UInt32* size) {
  if (unit == nullptr || data == nullptr || size == nullptr) return invalidParameter;
  if (id != kAudioUnitProperty_StreamFormat || scope != kAudioUnitScope_Input || element != 1) return invalidProperty;
  if (*size < sizeof(AudioStreamBasicDescription)) return invalidParameter;
  if (!unit->device) return uninitialized;
  AudioStreamBasicDescription format{};
  format.mSampleRate = deviceSideRate(*unit->device);
  format.mFormatID = kAudioFormatLinearPCM;
  format.mFormatFlags = kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked;
  format.mChannelsPerFrame = channelsOf(*unit->device);
  format.mBytesPerFrame = 4 * format.mChannelsPerFrame;
  format.mBytesPerPacket = format.mBytesPerFrame;
  format.mFramesPerPacket = 1;
  format.mBitsPerChannel = 32;
  std::memcpy(data, &format, sizeof format);
  *size = sizeof format;
  return noErr;
}

OSStatus AudioUnitInitialize(AudioUnit unit) {
  if (unit == nullptr) return invalidParameter;
  auto& world = sim::world();
  {
    std::lock_guard guard(sim::worldLock());
    if (world.unit.initializeStatus != 0) return world.unit.initializeStatus;
  }
  if (!unit->device) return badDevice;
  unit->initialized = true;
  return noErr;
}

OSStatus AudioOutputUnitStart(AudioUnit unit) {
  if (unit == nullptr) return invalidParameter;
  auto& world = sim::world();
  {
    std::lock_guard guard(sim::worldLock());
    if (world.unit.startStatus != 0) return world.unit.startStatus;
  }
  if (!unit->initialized) return uninitialized;
  if (unit->running.exchange(true)) return noErr;
  unit->startedAtMs = sim::nowMs();
  if (unit->callback.inputProc != nullptr) std::thread(deliver, unit).detach();
  return noErr;
}

OSStatus AudioUnitRender(AudioUnit unit, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32 frames,
                         AudioBufferList* data) {
  if (unit == nullptr || data == nullptr || !unit->device) return invalidParameter;
  const sim::Device& device = *unit->device;
  if (device.renderStatus != 0 &&
      (!device.renderFailsAtMs || sim::nowMs() - unit->startedAtMs >= *device.renderFailsAtMs))
    return device.renderStatus;
  if (frames > unit->maxFrames) return tooManyFrames;
  UInt32 channels = std::min(channelsOf(device), data->mNumberBuffers);
  AudioBuffer* buffers = data->mBuffers;
  for (UInt32 channel = 0; channel < channels; ++channel) {
    if (buffers[channel].mData == nullptr || buffers[channel].mDataByteSize < frames * 4) return invalidParameter;
    auto* samples = static_cast<float*>(buffers[channel].mData);
    for (UInt32 frame = 0; frame < frames; ++frame) samples[frame] = sim::sample(device, channel, unit->blockStart + frame);
  }
  return noErr;
}
