#include "platform/linux/linux_devices.h"

#include <cstdlib>
#include <cstring>

#include "platform/linux/alsa_devices.h"
#include "platform/linux/pw_graph.h"

namespace {
constexpr int daemonAnswerMs = 500;

bool choosePipeWire() {
  const char* forced = std::getenv("TAVIREL_AUDIO_BACKEND");
  if (forced != nullptr && std::strcmp(forced, "alsa") == 0) return false;
  return pwConnect(daemonAnswerMs);
}

std::vector<AudioValueRange> rangesOf(const std::vector<double>& rates) {
  std::vector<AudioValueRange> ranges;
  for (double rate : rates) ranges.push_back({rate, rate});
  return ranges;
}
}  // namespace

bool usingPipeWire() {
  static const bool chosen = choosePipeWire();
  return chosen;
}

std::vector<AudioObjectID> linuxDeviceIds(bool fresh) {
  if (!usingPipeWire()) return fresh ? alsaDeviceIds() : alsaLatestDeviceIds();
  std::vector<AudioObjectID> ids;
  for (const auto& source : pwSources(fresh)) ids.push_back(source.id);
  return ids;
}

std::optional<LinuxDevice> linuxDevice(AudioObjectID id) {
  if (!usingPipeWire()) {
    auto device = alsaDevice(id);
    if (!device) return std::nullopt;
    return LinuxDevice{device->name, device->uid, device->channels, device->rate, device->ranges};
  }
  auto source = pwSource(id);
  if (!source) return std::nullopt;
  auto clock = pwClock();
  return LinuxDevice{source->name, source->uid, source->channels, clock.rate, rangesOf(clock.allowed)};
}

bool linuxSetNominalRate(AudioObjectID id, double rate) {
  if (!usingPipeWire()) return alsaSetNominalRate(id, rate);
  return pwSource(id).has_value() && pwRequestRate(rate);
}
