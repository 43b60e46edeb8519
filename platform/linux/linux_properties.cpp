// Audio object properties over the process's sound system (ALSA or
// PipeWire). The device list's size query rescans the machine; its data read
// hands out what that scan found, so the two calls of one read agree.
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/api/core_audio.h"
#include "platform/api/core_foundation.h"
#include "platform/common/os_status.h"
#include "platform/common/property_bytes.h"
#include "platform/linux/linux_devices.h"

namespace {
using os_status::badObject;
using os_status::badPropertySize;
using os_status::unknownProperty;
using property_bytes::append;

// The stream configuration: one interleaved buffer with every capture channel,
// or no buffer at all for a PCM that cannot capture.
std::vector<unsigned char> streamConfiguration(const std::optional<LinuxDevice>& device, bool input) {
  if (!device || !input || device->channels == 0) return property_bytes::streamConfiguration({});
  return property_bytes::streamConfiguration({device->channels});
}

bool isSystem(AudioObjectID id) { return id == kAudioObjectSystemObject; }

bool present(AudioObjectID id, bool fresh) {
  auto ids = linuxDeviceIds(fresh);
  return id != kAudioObjectUnknown && std::find(ids.begin(), ids.end(), id) != ids.end();
}

// Every readable value in full; status when the object or property has none.
OSStatus valueOf(AudioObjectID id, const AudioObjectPropertyAddress& address, bool sizeOnly, bool freshList,
                 std::vector<unsigned char>& bytes) {
  if (isSystem(id)) {
    if (address.mSelector != kAudioHardwarePropertyDevices) return unknownProperty;
    for (auto device : linuxDeviceIds(freshList)) append(bytes, device);
    return noErr;
  }
  if (!present(id, false)) return badObject;
  auto device = linuxDevice(id);  // absent: present, but cannot capture
  switch (address.mSelector) {
    case kAudioDevicePropertyStreamConfiguration:
      bytes = streamConfiguration(device, address.mScope == kAudioDevicePropertyScopeInput);
      return noErr;
    case kAudioDevicePropertyNominalSampleRate:
      if (!device) return badObject;
      append(bytes, Float64{device->rate});
      return noErr;
    case kAudioDevicePropertyAvailableNominalSampleRates:
      if (device)
        for (const auto& range : device->ranges) append(bytes, range);
      return noErr;
    case kAudioObjectPropertyName:
    case kAudioDevicePropertyDeviceUID: {
      if (!device) return badObject;
      const auto& text = address.mSelector == kAudioObjectPropertyName ? device->name : device->uid;
      // The size query must not make a reference nobody releases.
      CFStringRef reference = sizeOnly ? nullptr : CFStringCreateWithCString(nullptr, text.c_str(), kCFStringEncodingUTF8);
      append(bytes, reference);
      return noErr;
    }
    default:
      return unknownProperty;
  }
}
}  // namespace

OSStatus AudioObjectGetPropertyDataSize(AudioObjectID id, const AudioObjectPropertyAddress* address, UInt32,
                                        const void*, UInt32* outDataSize) {
  if (address == nullptr || outDataSize == nullptr) return badPropertySize;
  std::vector<unsigned char> bytes;
  if (auto status = valueOf(id, *address, true, true, bytes); status != noErr) return status;
  *outDataSize = static_cast<UInt32>(bytes.size());
  return noErr;
}

OSStatus AudioObjectGetPropertyData(AudioObjectID id, const AudioObjectPropertyAddress* address, UInt32,
                                    const void*, UInt32* ioDataSize, void* outData) {
  if (address == nullptr || ioDataSize == nullptr || outData == nullptr) return badPropertySize;
  std::vector<unsigned char> bytes;
  if (auto status = valueOf(id, *address, false, false, bytes); status != noErr) return status;
  return property_bytes::handOut(address->mSelector, bytes, bytes.size(), ioDataSize, outData);
}

OSStatus AudioObjectSetPropertyData(AudioObjectID id, const AudioObjectPropertyAddress* address, UInt32,
                                    const void*, UInt32 inDataSize, const void* inData) {
  if (address == nullptr || inData == nullptr) return badPropertySize;
  if (isSystem(id) || !present(id, false)) return badObject;
  if (address->mSelector != kAudioDevicePropertyNominalSampleRate) return unknownProperty;
  if (inDataSize != sizeof(Float64)) return badPropertySize;
  Float64 rate;
  std::memcpy(&rate, inData, sizeof rate);
  return linuxSetNominalRate(id, rate) ? noErr : os_status::unsupportedFormat;
}
