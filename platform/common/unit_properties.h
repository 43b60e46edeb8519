#pragma once
// What the HAL output unit keeps and checks the same way on every platform
// layer: the settings a client makes before starting it, the device-side format
// it reports, the call of the input callback and the checks on the buffers a
// render fills. Each layer keeps the device it opens, its own faults and its
// audio thread.
#include <algorithm>
#include <cstdint>
#include <optional>

#include "platform/api/audio_toolbox.h"
#include "platform/common/os_status.h"

namespace hal_unit {

struct Settings {
  AudioStreamBasicDescription client{};
  bool haveClient = false;
  UInt32 maxFrames = 4096;
  AURenderCallbackStruct callback{nullptr, nullptr};
  // The unit starts with input off and output on. It takes the device's
  // sides that are on when the device is chosen, so input must be enabled and
  // output disabled before then (TN2091: enable IO, then set the device).
  bool inputEnabled = false;
  bool outputEnabled = true;
  bool deviceInputOnly = false;
};

// The device side as the unit sees it: its rate and all its input channels.
struct DeviceSide {
  Float64 rate;
  UInt32 channels;
};

// The layer's own: the device side of its unit, absent until a device is
// chosen. AudioUnitGetProperty, which is shared, reports it.
std::optional<DeviceSide> deviceSide(AudioUnit unit);

// Client rates a layer can deliver.
using RateCheck = bool (*)(Float64 rate);

// The one component there is: the HAL output unit, on the first search only.
AudioComponent findHalOutput(AudioComponent previous, const AudioComponentDescription* description);

// Whether the unit has the property on that scope and element: EnableIO on
// input element 1 or output element 0, the client stream format on output
// element 1, the others on global element 0. Any other property is not the
// unit's. The first check of every set.
OSStatus checkSetAddress(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element);

// EnableIO, MaximumFramesPerSlice and SetInputCallback, at an address
// checkSetAddress accepted.
OSStatus setPlainProperty(Settings& settings, AudioUnitPropertyID id, AudioUnitScope scope, const void* data,
                          UInt32 size);

// Whether a device may be chosen now: only before the unit is initialised, as
// Apple's documentation asks. The stream opened at initialising is that
// device's; another choice would have it read as if it were the new one's.
OSStatus checkChooseDevice(bool initialised);

// Records that a device was chosen, with the sides enabled now.
void deviceChosen(Settings& settings);

// What initialising needs of the settings: a device chosen for input only.
OSStatus checkInitialize(const Settings& settings);

// How large a client stream format must be.
OSStatus checkClientFormatSize(UInt32 size);

// Records the client format: non-interleaved packed 32-bit float at a rate the
// layer accepts, with the device's channel count once a device is chosen.
OSStatus setClientFormat(Settings& settings, const void* data, RateCheck rateAccepted,
                         std::optional<DeviceSide> device);

// Every property but the current device, which each layer sets itself, at
// an address checkSetAddress accepted: the client format, its size checked,
// and the plain properties.
OSStatus setProperty(Settings& settings, AudioUnitPropertyID id, AudioUnitScope scope, const void* data, UInt32 size,
                     RateCheck rateAccepted, std::optional<DeviceSide> device);

// Audio thread: calls the client's input callback for `frames` frames, the
// first of them at device sample time `sampleTime`. Its time stamp carries
// that sample time alone, flagged valid: all the core reads of it.
void callInput(const Settings& settings, std::uint64_t sampleTime, UInt32 frames);

// Whether the caller's buffer list matches the client format: one mono
// buffer per channel, each with room for `frames` samples.
OSStatus checkBufferList(const Settings& settings, const AudioBufferList* data, UInt32 frames);

// Checks the caller's buffer list, then has `fill(channel, samples)` write
// `frames` samples into each buffer the device has a channel for.
template <typename Fill>
OSStatus fillBuffers(const Settings& settings, AudioBufferList* data, UInt32 deviceChannels, UInt32 frames,
                     Fill fill) {
  if (OSStatus status = checkBufferList(settings, data, frames); status != noErr) return status;
  UInt32 channels = std::min(deviceChannels, data->mNumberBuffers);
  for (UInt32 channel = 0; channel < channels; ++channel) fill(channel, static_cast<float*>(data->mBuffers[channel].mData));
  return noErr;
}

}  // namespace hal_unit
