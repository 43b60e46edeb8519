// Audio object properties of the simulated devices, with the world's faults:
// unreadable properties, short reads, refused or slow rate requests, and
// devices that leave or change rate on the simulation clock.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>

#include "platform/api/core_audio.h"
#include "platform/api/core_foundation.h"
#include "platform/common/os_status.h"
#include "platform/common/property_bytes.h"
#include "platform/sim/sim_world.h"

namespace {
using os_status::badObject;
using os_status::badPropertySize;
using os_status::unknownProperty;
using os_status::unspecified;  // what an unreadable property fails with
using property_bytes::append;
using property_bytes::makesReference;

bool present(const sim::Device& device, double now) { return !device.vanishAtMs || now < *device.vanishAtMs; }

sim::Device* find(sim::World& world, AudioObjectID id, double now) {
  for (auto& device : world.devices)
    if (device.id == id && id != kAudioObjectUnknown && id != kAudioObjectSystemObject && present(device, now))
      return &device;
  return nullptr;
}

bool unreadable(const sim::Device& device, const char* what) {
  return std::find(device.unreadable.begin(), device.unreadable.end(), what) != device.unreadable.end();
}

// The nominal rate now: an accepted request lands once it has settled; a
// scripted change overrides everything from its time on.
double currentRate(sim::Device& device, double now) {
  if (device.pendingRate && now >= device.pendingAtMs) {
    device.rate = *device.pendingRate;
    device.pendingRate.reset();
  }
  if (device.rateChangeAtMs && now >= *device.rateChangeAtMs) return device.rateChangeTo;
  return device.rate;
}

bool offers(const sim::Device& device, double rate) {
  if (device.ranges.empty()) return true;
  return std::any_of(device.ranges.begin(), device.ranges.end(), [rate](const AudioValueRange& range) {
    return range.mMinimum <= rate && rate <= std::max(range.mMinimum, range.mMaximum);
  });
}

std::vector<AudioObjectID> presentIds(const sim::World& world, double now) {
  std::vector<AudioObjectID> ids;
  for (const auto& device : world.devices)
    if (present(device, now)) ids.push_back(device.id);
  return ids;
}

// What a property read would hand out in full, and what it announces.
struct Value {
  OSStatus status = noErr;
  std::vector<unsigned char> bytes;
  std::size_t returned = 0;  // bytes the data read reports (short reads stop early)
};

Value systemValue(sim::World& world, AudioObjectPropertySelector selector, double now) {
  Value value;
  if (selector != kAudioHardwarePropertyDevices) return {unknownProperty, {}, 0};
  if (world.deviceListFails) return {unspecified, {}, 0};
  for (auto id : presentIds(world, now)) append(value.bytes, id);
  value.returned = value.bytes.size();
  if (world.deviceListShortReads && value.returned >= sizeof(AudioObjectID)) value.returned -= sizeof(AudioObjectID);
  return value;
}

Value deviceValue(sim::Device& device, const AudioObjectPropertyAddress& address, double now) {
  Value value;
  auto fails = [&](const char* what) { return unreadable(device, what); };
  switch (address.mSelector) {
    case kAudioDevicePropertyNominalSampleRate:
      if (fails("rate")) return {unspecified, {}, 0};
      append(value.bytes, Float64{currentRate(device, now)});
      break;
    case kAudioDevicePropertyAvailableNominalSampleRates:
      if (fails("rates")) return {unspecified, {}, 0};
      for (const auto& range : device.ranges) append(value.bytes, range);
      value.returned = value.bytes.size();
      if (device.shortReads && value.returned >= sizeof(AudioValueRange)) value.returned -= sizeof(AudioValueRange);
      return value;
    case kAudioDevicePropertyStreamConfiguration: {
      if (fails("config")) return {unspecified, {}, 0};
      bool input = address.mScope == kAudioDevicePropertyScopeInput;
      const auto& buffers = input ? device.inputBuffers : std::vector<UInt32>{};
      value.bytes = property_bytes::streamConfiguration(buffers);
      // A short configuration still counts every buffer, but both its size and
      // its data stop before the last entry.
      if (device.shortReads && !buffers.empty()) value.bytes.resize(value.bytes.size() - sizeof(AudioBuffer));
      break;
    }
    case kAudioObjectPropertyName:
    case kAudioDevicePropertyDeviceUID: {
      bool isName = address.mSelector == kAudioObjectPropertyName;
      if (fails(isName ? "name" : "uid")) return {unspecified, {}, 0};
      const auto& text = isName ? device.name : device.uid;
      // A fresh reference on every read: the caller owns and releases it.
      CFStringRef reference = text ? CFStringCreateWithCString(nullptr, text->c_str(), kCFStringEncodingUTF8) : nullptr;
      append(value.bytes, reference);
      break;
    }
    default:
      return {unknownProperty, {}, 0};
  }
  value.returned = value.bytes.size();
  return value;
}
}  // namespace

OSStatus AudioObjectGetPropertyDataSize(AudioObjectID id, const AudioObjectPropertyAddress* address, UInt32,
                                        const void*, UInt32* outDataSize) {
  if (address == nullptr || outDataSize == nullptr) return badPropertySize;
  auto& world = sim::world();
  double now = sim::nowMs();
  std::lock_guard guard(sim::worldLock());
  if (id == kAudioObjectSystemObject) {
    auto value = systemValue(world, address->mSelector, now);
    if (value.status != noErr) return value.status;
    *outDataSize = static_cast<UInt32>(value.bytes.size());
    return noErr;
  }
  auto* device = find(world, id, now);
  if (device == nullptr) return badObject;
  if (makesReference(address->mSelector)) {
    if (unreadable(*device, address->mSelector == kAudioObjectPropertyName ? "name" : "uid")) return unspecified;
    *outDataSize = sizeof(CFStringRef);
    return noErr;
  }
  auto value = deviceValue(*device, *address, now);
  if (value.status != noErr) return value.status;
  *outDataSize = static_cast<UInt32>(value.bytes.size());
  return noErr;
}

OSStatus AudioObjectGetPropertyData(AudioObjectID id, const AudioObjectPropertyAddress* address, UInt32,
                                    const void*, UInt32* ioDataSize, void* outData) {
  if (address == nullptr || ioDataSize == nullptr || outData == nullptr) return badPropertySize;
  auto& world = sim::world();
  double now = sim::nowMs();
  Value value;
  {
    std::lock_guard guard(sim::worldLock());
    if (id == kAudioObjectSystemObject) {
      value = systemValue(world, address->mSelector, now);
    } else {
      auto* device = find(world, id, now);
      if (device == nullptr) return badObject;
      value = deviceValue(*device, *address, now);
    }
  }
  if (value.status != noErr) return value.status;
  // A short read of a packed list returns fewer bytes than its size query gave.
  return property_bytes::handOut(address->mSelector, value.bytes, value.returned, ioDataSize, outData);
}

OSStatus AudioObjectSetPropertyData(AudioObjectID id, const AudioObjectPropertyAddress* address, UInt32,
                                    const void*, UInt32 inDataSize, const void* inData) {
  if (address == nullptr || inData == nullptr) return badPropertySize;
  auto& world = sim::world();
  double now = sim::nowMs();
  std::lock_guard guard(sim::worldLock());
  auto* device = find(world, id, now);
  if (device == nullptr) return badObject;
  if (address->mSelector != kAudioDevicePropertyNominalSampleRate) return unknownProperty;
  if (inDataSize != sizeof(Float64)) return badPropertySize;
  if (device->setRateStatus != noErr) return device->setRateStatus;
  Float64 rate;
  std::memcpy(&rate, inData, sizeof rate);
  currentRate(*device, now);  // an earlier request that has settled lands first
  if (offers(*device, rate)) {
    device->pendingRate = rate;
    device->pendingAtMs = now + device->rateSettleMs;
  }
  return noErr;
}
