#pragma once
// The ALSA capture devices as the Linux layer sees them, shared by the
// property operations and the capture unit.
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
};

// The capture devices present now, in a stable order.
std::vector<AlsaDevice> alsaCaptureDevices();

// The device with `id`, if present now.
std::optional<AlsaDevice> alsaDevice(AudioObjectID id);
