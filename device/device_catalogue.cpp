#include "device/device_catalogue.h"

#include "device/audio_properties.h"
#include "text/unicode_match.h"

nlohmann::json toJson(const DeviceRecord& record) {
  return {{"name", record.name}, {"uid", record.uid}, {"channels", record.channels}, {"rate", record.rate},
          {"rates", record.rates}};
}

namespace {
std::vector<AudioObjectID> inputDeviceIds() {
  std::vector<AudioObjectID> inputs;
  for (auto device : allDevices())
    if (inputChannelCount(device) >= 1) inputs.push_back(device);
  return inputs;
}
}  // namespace

std::vector<DeviceRecord> inputDevices() {
  std::vector<DeviceRecord> records;
  for (auto device : allDevices()) {
    auto channels = inputChannelCount(device);
    if (channels < 1) continue;
    DeviceRecord record;
    record.channels = channels;
    record.name = stringProp(device, kAudioObjectPropertyName);
    record.uid = stringProp(device, kAudioDevicePropertyDeviceUID);
    record.rate = sampleRate(device);
    record.rates = availableRates(device);
    records.push_back(std::move(record));
  }
  return records;
}

std::optional<AudioObjectID> findDevice(std::string_view query) {
  auto candidates = inputDeviceIds();
  auto key = matchKey(query);
  for (auto device : candidates)
    if (stringProp(device, kAudioDevicePropertyDeviceUID) == query) return device;
  for (auto device : candidates)
    if (matchKey(stringProp(device, kAudioObjectPropertyName)) == key) return device;
  if (key.empty()) return std::nullopt;
  for (auto device : candidates)
    if (matchKey(stringProp(device, kAudioObjectPropertyName)).find(key) != std::string::npos) return device;
  return std::nullopt;
}
