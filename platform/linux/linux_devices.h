#pragma once
// The input devices of the sound system this process uses, as the property
// operations show them. The sound system is decided once, at the first call:
// PipeWire's audio source nodes when a PipeWire daemon answers (within 5 s
// when its socket exists, else half a second), else ALSA's PCMs
// (TAVIREL_AUDIO_BACKEND=alsa keeps a process on ALSA). The choice and, for
// ALSA, its reason go to the support log.
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/api/core_audio.h"

struct LinuxDevice {
  std::string name;
  std::string uid;
  UInt32 channels = 0;  // 0: present but cannot capture
  double rate = 0;
  std::vector<AudioValueRange> ranges;
};

// The sound systems, each answering the device queries its own way.
struct AlsaSystem {
  std::vector<AudioObjectID> deviceIds(bool fresh) const;
  std::optional<LinuxDevice> device(AudioObjectID id) const;
  bool setNominalRate(AudioObjectID id, double rate) const;
};
struct PipeWireSystem {
  std::vector<AudioObjectID> deviceIds(bool fresh) const;
  std::optional<LinuxDevice> device(AudioObjectID id) const;
  bool setNominalRate(AudioObjectID id, double rate) const;
};
using SoundSystem = std::variant<AlsaSystem, PipeWireSystem>;

// The process's sound system, chosen at the first call.
const SoundSystem& soundSystem();

// Every device present: rescanned when `fresh`, else as the latest scan found them.
std::vector<AudioObjectID> linuxDeviceIds(bool fresh);
// The device with `id` as the latest scan found it; absent when it is gone or cannot capture.
std::optional<LinuxDevice> linuxDevice(AudioObjectID id);
// Asks for `rate` as the device's nominal rate; false when it cannot have it.
bool linuxSetNominalRate(AudioObjectID id, double rate);
