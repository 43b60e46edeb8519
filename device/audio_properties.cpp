#include "device/audio_properties.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <set>

#include "platform/candidate_rates.h"
#include "text/cf_text.h"

namespace {
constexpr int rateConfirmReads = 30;
constexpr useconds_t rateConfirmPauseUs = 100000;

AudioObjectPropertyAddress address(AudioObjectPropertySelector selector,
                                   AudioObjectPropertyScope scope = kAudioObjectPropertyScopeGlobal) {
  return {selector, scope, kAudioObjectPropertyElementMain};
}

// Packed arrays of whole elements: the announced size gives the count, and the
// bytes the read really returned trim it, so a list that shrank between the two
// calls never yields slots that were not written.
template <typename T>
std::vector<T> readArray(AudioObjectID object, AudioObjectPropertySelector selector) {
  auto where = address(selector);
  UInt32 announced = 0;
  if (AudioObjectGetPropertyDataSize(object, &where, 0, nullptr, &announced) != noErr) return {};
  std::vector<T> items(announced / sizeof(T), T{});
  if (items.empty()) return {};
  auto size = static_cast<UInt32>(items.size() * sizeof(T));
  if (AudioObjectGetPropertyData(object, &where, 0, nullptr, &size, items.data()) != noErr) return {};
  items.resize(std::min<std::size_t>(items.size(), size / sizeof(T)));
  return items;
}
}  // namespace

std::string stringProp(AudioObjectID device, AudioObjectPropertySelector selector) {
  auto reference = prop<CFStringRef>(device, selector, nullptr);
  if (!reference || *reference == nullptr) return "";
  return takeText(*reference);
}

double sampleRate(AudioObjectID device) {
  return prop<Float64>(device, kAudioDevicePropertyNominalSampleRate, 0.0).value_or(0.0);
}

bool setSampleRate(AudioObjectID device, double rate) {
  auto where = address(kAudioDevicePropertyNominalSampleRate);
  Float64 requested = rate;
  if (AudioObjectSetPropertyData(device, &where, 0, nullptr, sizeof requested, &requested) != noErr) return false;
  for (int read = 0; read < rateConfirmReads; ++read) {
    if (std::fabs(sampleRate(device) - rate) < 1.0) return true;
    usleep(rateConfirmPauseUs);
  }
  return false;
}

std::vector<AudioObjectID> allDevices() {
  return readArray<AudioObjectID>(kAudioObjectSystemObject, kAudioHardwarePropertyDevices);
}

std::vector<double> ratesFromRanges(const std::vector<AudioValueRange>& ranges) {
  std::set<double> rates;
  for (const auto& range : ranges) {
    if (range.mMaximum - range.mMinimum < 1.0) {
      rates.insert(range.mMinimum);
      continue;
    }
    for (double candidate : candidateRates)
      if (range.mMinimum <= candidate && candidate <= range.mMaximum) rates.insert(candidate);
  }
  return {rates.begin(), rates.end()};
}

std::vector<double> availableRates(AudioObjectID device) {
  return ratesFromRanges(readArray<AudioValueRange>(device, kAudioDevicePropertyAvailableNominalSampleRates));
}

std::int64_t inputChannelCount(AudioObjectID device) {
  auto where = address(kAudioDevicePropertyStreamConfiguration, kAudioDevicePropertyScopeInput);
  UInt32 announced = 0;
  if (AudioObjectGetPropertyDataSize(device, &where, 0, nullptr, &announced) != noErr || announced == 0) return 0;
  // 8-byte units keep the pointers inside the list aligned.
  std::vector<std::uint64_t> block((announced + 7) / 8, 0);
  UInt32 size = announced;
  if (AudioObjectGetPropertyData(device, &where, 0, nullptr, &size, block.data()) != noErr) return 0;

  // The walk never leaves the bytes that were both allocated and returned,
  // whatever the buffer count in the list claims.
  const std::size_t valid = std::min<std::size_t>(size, announced);
  const auto* bytes = reinterpret_cast<const unsigned char*>(block.data());
  UInt32 buffers = 0;
  if (valid < sizeof buffers) return 0;
  std::memcpy(&buffers, bytes, sizeof buffers);
  std::int64_t channels = 0;
  for (std::size_t i = 0; i < buffers; ++i) {
    std::size_t entry = offsetof(AudioBufferList, mBuffers) + i * sizeof(AudioBuffer);
    if (entry + sizeof(AudioBuffer) > valid) break;
    UInt32 count = 0;
    std::memcpy(&count, bytes + entry + offsetof(AudioBuffer, mNumberChannels), sizeof count);
    channels += count;
  }
  return channels;
}
