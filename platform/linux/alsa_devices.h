#pragma once
// The ALSA capture devices as the Linux layer sees them, shared by the
// property operations and the capture unit.
//
// A device is either a sound card's PCM capture device (uid and pcm
// "hw:CARD=<card id>,DEV=<n>": the hardware's own formats, channels and rates)
// or a capture PCM that the ALSA configuration advertises with a hint (uid and
// pcm its name, such as "default" or "pipewire"). Thread-safe.
#include <optional>
#include <string>
#include <vector>

#include "platform/api/core_audio.h"

struct AlsaDevice {
  AudioObjectID id = 0;  // stable for the life of the process, never 0 or 1
  std::string pcm;       // the ALSA PCM name to open, such as "hw:CARD=USB,DEV=0"
  std::string name;      // what people see
  std::string uid;       // stable across reboots and plug order
  UInt32 channels = 0;   // capture channels the device offers
  double rate = 0;       // the nominal rate a capture will use
  std::vector<AudioValueRange> ranges;
  bool hardware = false;  // a kernel device: no conversion of format, channels or rate
};

// The capture devices present now, in a stable order (rescans).
std::vector<AlsaDevice> alsaCaptureDevices();

// The device with `id`, if it was present at the latest scan and can capture.
std::optional<AlsaDevice> alsaDevice(AudioObjectID id);

// Rescans: every PCM present now, whether it turns out to capture or not.
std::vector<AudioObjectID> alsaDeviceIds();
// The same list as the latest scan found it (scans only the first time).
std::vector<AudioObjectID> alsaLatestDeviceIds();

// Makes `rate` the nominal rate of `id` for this process if the device offers
// it; false if it does not or the device is gone.
bool alsaSetNominalRate(AudioObjectID id, double rate);
