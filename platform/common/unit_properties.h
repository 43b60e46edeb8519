#pragma once
// What the HAL output unit keeps and checks the same way on every platform
// layer: the settings a client makes before starting it, the device-side format
// it reports and the checks on the buffers a render fills. Each layer keeps the
// device it opens, its own faults and its audio thread.
#include <algorithm>
#include <optional>

#include "platform/api/audio_toolbox.h"

namespace hal_unit {

// The statuses the system's unit gives for these faults.
inline constexpr OSStatus badDevice = 0x21646576;  // '!dev'
inline constexpr OSStatus formatNotSupported = -10868;
inline constexpr OSStatus invalidProperty = -10879;
inline constexpr OSStatus invalidParameter = -50;
inline constexpr OSStatus uninitialized = -10867;
inline constexpr OSStatus tooManyFrames = -10874;

struct Settings {
  AudioStreamBasicDescription client{};
  bool haveClient = false;
  UInt32 maxFrames = 4096;
  AURenderCallbackStruct callback{nullptr, nullptr};
};

// The device side as the unit sees it: its rate and all its input channels.
struct DeviceSide {
  Float64 rate;
  UInt32 channels;
};

// Client rates a layer can deliver.
using RateCheck = bool (*)(Float64 rate);

// The one component there is: the HAL output unit, on the first search only.
AudioComponent findHalOutput(AudioComponent previous, const AudioComponentDescription* description);

// EnableIO, MaximumFramesPerSlice and SetInputCallback; any other property is
// not the unit's.
OSStatus setPlainProperty(Settings& settings, AudioUnitPropertyID id, const void* data, UInt32 size);

// Where and how large a client stream format must be.
OSStatus checkClientFormatAddress(AudioUnitScope scope, AudioUnitElement element, UInt32 size);

// Records the client format: non-interleaved packed 32-bit float at a rate the
// layer accepts, with the device's channel count once a device is chosen.
OSStatus setClientFormat(Settings& settings, const void* data, RateCheck rateAccepted,
                         std::optional<DeviceSide> device);

// The device-side stream format: interleaved packed 32-bit float.
OSStatus getDeviceFormat(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element, void* data,
                         UInt32* size, std::optional<DeviceSide> device);

// Checks each of the caller's buffers in turn and has `fill(channel, samples)`
// write `frames` samples into it; buffers beyond the device's channels stay
// untouched.
template <typename Fill>
OSStatus fillBuffers(AudioBufferList* data, UInt32 deviceChannels, UInt32 frames, Fill fill) {
  UInt32 channels = std::min(deviceChannels, data->mNumberBuffers);
  AudioBuffer* buffers = data->mBuffers;
  for (UInt32 channel = 0; channel < channels; ++channel) {
    if (buffers[channel].mData == nullptr || buffers[channel].mDataByteSize < frames * 4) return invalidParameter;
    fill(channel, static_cast<float*>(buffers[channel].mData));
  }
  return noErr;
}

}  // namespace hal_unit
