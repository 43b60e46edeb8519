// The HAL output unit's contract in the simulation: the scenario's unit
// faults, the device-side rate, and an audio thread paced by the simulation
// clock that delivers blocks of `sim::sample` until the audio stops, the
// device vanishes or the process ends.
#include <atomic>
#include <cstring>
#include <thread>

#include "platform/api/audio_toolbox.h"
#include "platform/common/unit_properties.h"
#include "platform/sim/sim_world.h"

struct ComponentInstanceRecord {
  std::optional<sim::Device> device;  // copied when made current
  hal_unit::Settings settings;
  bool initialized = false;
  std::atomic<bool> running{false};
  std::uint64_t blockStart = 0;  // first frame of the block being rendered; audio thread only
  double startedAtMs = 0;
};

namespace {
using os_status::badDevice;
using os_status::invalidParameter;
using os_status::tooManyFrames;
using os_status::uninitialized;

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

bool positiveRate(Float64 rate) { return rate > 0; }

double speed() {
  auto& world = sim::world();
  std::lock_guard guard(sim::worldLock());
  return world.speed > 0 ? world.speed : 1;
}

// The status the scenario makes one of the unit's calls fail with; 0 for none.
OSStatus scripted(OSStatus sim::AudioUnitFaults::*fault) {
  auto& world = sim::world();
  std::lock_guard guard(sim::worldLock());
  return world.unit.*fault;
}

bool renderFails(const sim::Device& device, double captureMs) {
  if (device.renderStatus == 0) return false;
  double from = device.renderFailsAtMs.value_or(0);
  return captureMs >= from && (!device.renderFailsForMs || captureMs < from + *device.renderFailsForMs);
}

bool vanished(const sim::Device& device, double nowMs) { return device.vanishAtMs && nowMs >= *device.vanishAtMs; }

void deliver(AudioUnit unit) {
  const sim::Device& device = *unit->device;
  double rate = unit->settings.client.mSampleRate > 0 ? unit->settings.client.mSampleRate : deviceSideRate(device);
  // A device's crystal is off by its ppm: the frames come that much faster or slower.
  double pace = rate * (1 + device.clockPpm / 1e6);
  double factor = speed();
  UInt32 frames = device.blockFrames;
  std::uint64_t delivered = 0;
  for (;;) {
    double dueMs = unit->startedAtMs + static_cast<double>(delivered + frames) * 1000.0 / pace;
    double waitMs = (dueMs - sim::nowMs()) / factor;
    if (waitMs > 0) std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(waitMs));
    double nowMs = sim::nowMs();
    double captureMs = nowMs - unit->startedAtMs;
    if (vanished(device, nowMs)) return;
    if (device.audioStopsAtMs && captureMs >= *device.audioStopsAtMs) return;
    unit->blockStart = delivered;
    hal_unit::callInput(unit->settings, delivered, frames);
    delivered += frames;
  }
}
}  // namespace

std::optional<hal_unit::DeviceSide> hal_unit::deviceSide(AudioUnit unit) {
  if (!unit->device) return std::nullopt;
  return DeviceSide{deviceSideRate(*unit->device), channelsOf(*unit->device)};
}

AudioComponent AudioComponentFindNext(AudioComponent previous, const AudioComponentDescription* description) {
  auto& world = sim::world();
  {
    std::lock_guard guard(sim::worldLock());
    if (world.unit.missing) return nullptr;
  }
  return hal_unit::findHalOutput(previous, description);
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
  if (OSStatus status = hal_unit::checkSetAddress(id, scope, element); status != noErr) return status;
  switch (id) {
    case kAudioOutputUnitProperty_CurrentDevice: {
      if (size != sizeof(AudioObjectID)) return invalidParameter;
      if (OSStatus status = hal_unit::checkChooseDevice(unit->initialized); status != noErr) return status;
      if (OSStatus status = scripted(&sim::AudioUnitFaults::currentDeviceStatus); status != 0) return status;
      AudioObjectID deviceId;
      std::memcpy(&deviceId, data, sizeof deviceId);
      auto device = findDevice(deviceId);
      if (!device || vanished(*device, sim::nowMs())) return badDevice;
      unit->device = device;
      hal_unit::deviceChosen(unit->settings);
      return noErr;
    }
    case kAudioUnitProperty_StreamFormat:
      // A scripted refusal comes after the size check, as the system's would.
      if (OSStatus fault = scripted(&sim::AudioUnitFaults::formatStatus);
          fault != 0 && hal_unit::checkClientFormatSize(size) == noErr)
        return fault;
      [[fallthrough]];
    default:
      return hal_unit::setProperty(unit->settings, id, scope, data, size, positiveRate, hal_unit::deviceSide(unit));
  }
}

OSStatus AudioUnitInitialize(AudioUnit unit) {
  if (unit == nullptr) return invalidParameter;
  if (OSStatus status = scripted(&sim::AudioUnitFaults::initializeStatus); status != 0) return status;
  if (!unit->device) return badDevice;
  if (OSStatus status = hal_unit::checkInitialize(unit->settings); status != noErr) return status;
  unit->initialized = true;
  return noErr;
}

OSStatus AudioOutputUnitStart(AudioUnit unit) {
  if (unit == nullptr) return invalidParameter;
  if (OSStatus status = scripted(&sim::AudioUnitFaults::startStatus); status != 0) return status;
  if (!unit->initialized) return uninitialized;
  if (unit->running.exchange(true)) return noErr;
  unit->startedAtMs = sim::nowMs();
  if (unit->settings.callback.inputProc != nullptr) std::thread(deliver, unit).detach();
  return noErr;
}

OSStatus AudioUnitRender(AudioUnit unit, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32 frames,
                         AudioBufferList* data) {
  if (unit == nullptr || data == nullptr || !unit->device) return invalidParameter;
  const sim::Device& device = *unit->device;
  if (renderFails(device, sim::nowMs() - unit->startedAtMs)) return device.renderStatus;
  if (frames > unit->settings.maxFrames) return tooManyFrames;
  return hal_unit::fillBuffers(unit->settings, data, channelsOf(device), frames, [&](UInt32 channel, float* samples) {
    for (UInt32 frame = 0; frame < frames; ++frame) samples[frame] = sim::sample(device, channel, unit->blockStart + frame);
  });
}
