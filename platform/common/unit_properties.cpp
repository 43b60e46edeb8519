#include "platform/common/unit_properties.h"

#include <cstring>

namespace hal_unit {
using os_status::formatNotSupported;
using os_status::invalidElement;
using os_status::invalidParameter;
using os_status::invalidProperty;
using os_status::noConnection;
using os_status::uninitialized;

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

OSStatus checkSetAddress(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element) {
  switch (id) {
    case kAudioOutputUnitProperty_EnableIO:
      if (scope == kAudioUnitScope_Input) return element == 1 ? noErr : invalidElement;
      if (scope == kAudioUnitScope_Output) return element == 0 ? noErr : invalidElement;
      return invalidProperty;
    case kAudioUnitProperty_StreamFormat:
      if (scope != kAudioUnitScope_Output) return invalidProperty;
      return element == 1 ? noErr : invalidElement;
    case kAudioOutputUnitProperty_CurrentDevice:
    case kAudioUnitProperty_MaximumFramesPerSlice:
    case kAudioOutputUnitProperty_SetInputCallback:
      if (scope != kAudioUnitScope_Global) return invalidProperty;
      return element == 0 ? noErr : invalidElement;
    default:
      return invalidProperty;
  }
}

OSStatus setPlainProperty(Settings& settings, AudioUnitPropertyID id, AudioUnitScope scope, const void* data,
                          UInt32 size) {
  switch (id) {
    case kAudioOutputUnitProperty_EnableIO: {
      if (size != sizeof(UInt32)) return invalidParameter;
      UInt32 on;
      std::memcpy(&on, data, sizeof on);
      (scope == kAudioUnitScope_Input ? settings.inputEnabled : settings.outputEnabled) = on != 0;
      return noErr;
    }
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

OSStatus checkChooseDevice(bool initialised) { return initialised ? os_status::initialized : noErr; }

void deviceChosen(Settings& settings) { settings.deviceInputOnly = settings.inputEnabled && !settings.outputEnabled; }

OSStatus checkInitialize(const Settings& settings) { return settings.deviceInputOnly ? noErr : noConnection; }

OSStatus checkClientFormatSize(UInt32 size) {
  return size < sizeof(AudioStreamBasicDescription) ? invalidParameter : noErr;
}

OSStatus checkBufferList(const Settings& settings, const AudioBufferList* data, UInt32 frames) {
  if (settings.haveClient && data->mNumberBuffers != settings.client.mChannelsPerFrame) return invalidParameter;
  for (UInt32 i = 0; i < data->mNumberBuffers; ++i) {
    const AudioBuffer& buffer = data->mBuffers[i];
    if (buffer.mNumberChannels != 1 || buffer.mData == nullptr || buffer.mDataByteSize < frames * 4)
      return invalidParameter;
  }
  return noErr;
}

void callInput(const Settings& settings, std::uint64_t sampleTime, UInt32 frames) {
  AudioTimeStamp stamp{};
  stamp.mSampleTime = static_cast<double>(sampleTime);
  stamp.mFlags = kAudioTimeStampSampleTimeValid;
  AudioUnitRenderActionFlags flags = 0;
  settings.callback.inputProc(settings.callback.inputProcRefCon, &flags, &stamp, 1, frames, nullptr);
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

OSStatus setProperty(Settings& settings, AudioUnitPropertyID id, AudioUnitScope scope, const void* data, UInt32 size,
                     RateCheck rateAccepted, std::optional<DeviceSide> device) {
  if (id != kAudioUnitProperty_StreamFormat) return setPlainProperty(settings, id, scope, data, size);
  if (OSStatus status = checkClientFormatSize(size); status != noErr) return status;
  return setClientFormat(settings, data, rateAccepted, device);
}

namespace {
// The device-side stream format: interleaved packed 32-bit float.
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
}  // namespace

}  // namespace hal_unit

// The device-side format is the one property a client reads.
OSStatus AudioUnitGetProperty(AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                              void* data, UInt32* size) {
  if (unit == nullptr) return os_status::invalidParameter;
  return hal_unit::getDeviceFormat(id, scope, element, data, size, hal_unit::deviceSide(unit));
}
