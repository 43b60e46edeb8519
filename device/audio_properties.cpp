// Stand-in.
#include "device/audio_properties.h"

std::string stringProp(AudioObjectID, AudioObjectPropertySelector) { return ""; }
double sampleRate(AudioObjectID) { return 0; }
bool setSampleRate(AudioObjectID, double) { return false; }
std::vector<AudioObjectID> allDevices() { return {}; }
std::vector<double> availableRates(AudioObjectID) { return {}; }
std::int64_t inputChannelCount(AudioObjectID) { return 0; }
