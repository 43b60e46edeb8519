#include "platform/common/unit_properties.h"

#include <cstring>

namespace hal_unit {
namespace {
int componentToken;
}

AudioComponent findHalOutput(AudioComponent previous, const AudioComponentDescription* description) {
  if (previous != nullptr || description == nullptr) return nullptr;
  if (description->componentType != kAudioUnitType_Output ||
      description->componentSubType != kAudioUnitSubType_HALOutput ||
      description->componentManufacturer != kAudioUnitManufacturer_Apple)
    return nullptr;
  return reinterpret_cast<AudioComponent>(&componentToken);
}

OSStatus setPlainProperty(Settings& settings, AudioUnitPropertyID id, const void* data, UInt32 size) {
  switch (id) {
    case kAudioOutputUnitProperty_EnableIO:
      return size == sizeof(UInt32) ? noErr : invalidParameter;
    case kAudioUnitProperty_MaximumFramesPerSlice:
      if (size != sizeof(UInt32)) return invalidParameter;
      std::memcpy(&settings.maxFrames, data, sizeof settings.maxFrames);
      return noErr;
    case kAudioOutputUnitProperty_SetInputCallback:
      if (size != sizeof(AURenderCallbackStruct)) return invalidParameter;
      std::memcpy(&settings.callback, data, sizeof settings.callback);
      return noErr;
    default:
      return invalidProperty;
  }
}

OSStatus checkClientFormatAddress(AudioUnitScope scope, AudioUnitElement element, UInt32 size) {
  if (scope != kAudioUnitScope_Output || element != 1) return invalidProperty;
  if (size < sizeof(AudioStreamBasicDescription)) return invalidParameter;
  return noErr;
}

OSStatus setClientFormat(Settings& settings, const void* data, RateCheck rateAccepted,
                         std::optional<DeviceSide> device) {
  AudioStreamBasicDescription format;
  std::memcpy(&format, data, sizeof format);
  AudioFormatFlags wanted = kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked | kAudioFormatFlagIsNonInterleaved;
  if (format.mFormatID != kAudioFormatLinearPCM || format.mFormatFlags != wanted || format.mBitsPerChannel != 32 ||
      !rateAccepted(format.mSampleRate) || (device && format.mChannelsPerFrame != device->channels))
    return formatNotSupported;
  settings.client = format;
  settings.haveClient = true;
  return noErr;
}

OSStatus getDeviceFormat(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element, void* data,
                         UInt32* size, std::optional<DeviceSide> device) {
  if (data == nullptr || size == nullptr) return invalidParameter;
  if (id != kAudioUnitProperty_StreamFormat || scope != kAudioUnitScope_Input || element != 1) return invalidProperty;
  if (*size < sizeof(AudioStreamBasicDescription)) return invalidParameter;
  if (!device) return uninitialized;
  AudioStreamBasicDescription format{};
  format.mSampleRate = device->rate;
  format.mFormatID = kAudioFormatLinearPCM;
  format.mFormatFlags = kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked;
  format.mChannelsPerFrame = device->channels;
  format.mBytesPerFrame = 4 * format.mChannelsPerFrame;
  format.mBytesPerPacket = format.mBytesPerFrame;
  format.mFramesPerPacket = 1;
  format.mBitsPerChannel = 32;
  std::memcpy(data, &format, sizeof format);
  *size = sizeof format;
  return noErr;
}

}  // namespace hal_unit
