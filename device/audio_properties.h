#pragma once
// Every read and write of audio object properties. No operation reports an
// error: each failure folds into a neutral result (absent, "", 0, empty, false).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

std::string stringProp(AudioObjectID device, AudioObjectPropertySelector selector);
double sampleRate(AudioObjectID device);
// True once the device reports `rate` within 1 Hz (30 reads, 100 ms apart).
bool setSampleRate(AudioObjectID device, double rate);
std::vector<AudioObjectID> allDevices();
std::vector<double> availableRates(AudioObjectID device);
std::int64_t inputChannelCount(AudioObjectID device);
