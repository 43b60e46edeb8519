#pragma once
// Every read and write of audio object properties. No operation reports an
// error: each failure folds into a neutral result (absent, "", 0, empty, false).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

// One fixed-size value. Bytes the platform leaves unwritten keep `initial`.
template <typename T>
std::optional<T> prop(AudioObjectID device, AudioObjectPropertySelector selector, AudioObjectPropertyScope scope,
                      T initial) {
  AudioObjectPropertyAddress address{selector, scope, kAudioObjectPropertyElementMain};
  T value = initial;
  UInt32 size = sizeof(T);
  if (AudioObjectGetPropertyData(device, &address, 0, nullptr, &size, &value) != noErr) return std::nullopt;
  return value;
}

template <typename T>
std::optional<T> prop(AudioObjectID device, AudioObjectPropertySelector selector, T initial) {
  return prop(device, selector, kAudioObjectPropertyScopeGlobal, initial);
}

std::string stringProp(AudioObjectID device, AudioObjectPropertySelector selector);
double sampleRate(AudioObjectID device);
// True once the device reports `rate` within 1 Hz (30 reads, 100 ms apart).
bool setSampleRate(AudioObjectID device, double rate);
std::vector<AudioObjectID> allDevices();
std::vector<double> availableRates(AudioObjectID device);
std::int64_t inputChannelCount(AudioObjectID device);

// The nominal rates a list of ranges offers: a range narrower than 1 Hz is
// its minimum, a wider one every candidate rate it spans. Unique, ascending.
std::vector<double> ratesFromRanges(const std::vector<AudioValueRange>& ranges);
