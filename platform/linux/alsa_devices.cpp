// Stand-in.
#include "platform/linux/alsa_devices.h"

std::vector<AlsaDevice> alsaCaptureDevices() { return {}; }
std::optional<AlsaDevice> alsaDevice(AudioObjectID) { return std::nullopt; }
