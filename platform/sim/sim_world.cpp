#include "platform/sim/sim_world.h"

#include <cmath>
#include <cstdlib>
#include <fstream>

namespace sim {
namespace {
using Clock = std::chrono::steady_clock;

struct State {
  std::mutex lock;
  World world;
  Clock::time_point epoch = Clock::now();
  bool configured = false;
  std::once_flag firstUse;
};

State& state() {
  static auto* instance = new State;  // never destroyed: the audio thread may outlive main
  return *instance;
}

template <typename T>
void read(const nlohmann::json& object, const char* key, T& field) {
  if (auto found = object.find(key); found != object.end() && !found->is_null()) field = found->get<T>();
}

template <typename T>
void read(const nlohmann::json& object, const char* key, std::optional<T>& field) {
  if (auto found = object.find(key); found != object.end() && !found->is_null()) field = found->get<T>();
}

Signal signalFrom(const nlohmann::json& json) {
  Signal signal;
  read(json, "kind", signal.kind);
  read(json, "frequency", signal.frequency);
  read(json, "amplitude", signal.amplitude);
  read(json, "seed", signal.seed);
  return signal;
}

Device deviceFrom(const nlohmann::json& json) {
  Device device;
  read(json, "id", device.id);
  read(json, "name", device.name);
  read(json, "uid", device.uid);
  read(json, "inputBuffers", device.inputBuffers);
  read(json, "rate", device.rate);
  if (auto ranges = json.find("ranges"); ranges != json.end())
    for (auto& range : *ranges) device.ranges.push_back({range.at(0).get<double>(), range.at(1).get<double>()});
  read(json, "unreadable", device.unreadable);
  read(json, "shortReads", device.shortReads);
  read(json, "setRateStatus", device.setRateStatus);
  read(json, "rateSettleMs", device.rateSettleMs);
  read(json, "vanishAtMs", device.vanishAtMs);
  read(json, "rateChangeAtMs", device.rateChangeAtMs);
  read(json, "rateChangeTo", device.rateChangeTo);
  if (auto signals = json.find("signals"); signals != json.end())
    for (auto& signal : *signals) device.signals.push_back(signalFrom(signal));
  read(json, "blockFrames", device.blockFrames);
  read(json, "unitRate", device.unitRate);
  read(json, "audioStopsAtMs", device.audioStopsAtMs);
  read(json, "renderStatus", device.renderStatus);
  read(json, "renderFailsAtMs", device.renderFailsAtMs);
  return device;
}

void loadFromEnvironment(State& s) {
  const char* path = std::getenv("TAVIREL_SIM_SCENARIO");
  if (path == nullptr) return;
  std::ifstream file(path);
  // A broken scenario is a broken test: say so loudly rather than simulate an empty machine.
  auto scenario = nlohmann::json::parse(file, nullptr, false);
  if (scenario.is_discarded()) std::abort();
  s.world = fromJson(scenario);
}

// A small, fast, seedable generator for "noise" (xorshift on frame and seed).
double noiseAt(std::uint32_t seed, std::uint64_t frame) {
  std::uint64_t x = (frame + 1) * 0x9E3779B97F4A7C15ull ^ (std::uint64_t{seed} << 32);
  x ^= x >> 30;
  x *= 0xBF58476D1CE4E5B9ull;
  x ^= x >> 27;
  x *= 0x94D049BB133111EBull;
  x ^= x >> 31;
  return static_cast<double>(x >> 11) / 9007199254740992.0 * 2.0 - 1.0;
}
}  // namespace

World fromJson(const nlohmann::json& scenario) {
  World world;
  if (auto devices = scenario.find("devices"); devices != scenario.end())
    for (auto& device : *devices) world.devices.push_back(deviceFrom(device));
  read(scenario, "deviceListFails", world.deviceListFails);
  read(scenario, "deviceListShortReads", world.deviceListShortReads);
  read(scenario, "speed", world.speed);
  if (auto unit = scenario.find("unit"); unit != scenario.end()) {
    read(*unit, "missing", world.unit.missing);
    read(*unit, "instanceStatus", world.unit.instanceStatus);
    read(*unit, "nullInstance", world.unit.nullInstance);
    read(*unit, "currentDeviceStatus", world.unit.currentDeviceStatus);
    read(*unit, "formatStatus", world.unit.formatStatus);
    read(*unit, "initializeStatus", world.unit.initializeStatus);
    read(*unit, "startStatus", world.unit.startStatus);
  }
  if (auto auth = scenario.find("authorization"); auth != scenario.end()) {
    read(*auth, "state", world.authorization.state);
    read(*auth, "answer", world.authorization.answer);
    read(*auth, "answerAfterMs", world.authorization.answerAfterMs);
  }
  if (auto midi = scenario.find("midi"); midi != scenario.end()) {
    if (auto destinations = midi->find("destinations"); destinations != midi->end())
      for (auto& name : *destinations)
        world.midi.destinations.push_back({name.is_string() ? std::optional(name.get<std::string>()) : std::nullopt});
    read(*midi, "listingHangs", world.midi.listingHangs);
    read(*midi, "sendStatus", world.midi.sendStatus);
    read(*midi, "clientStatus", world.midi.clientStatus);
  }
  return world;
}

void configure(const World& world) {
  auto& s = state();
  std::lock_guard guard(s.lock);
  s.world = world;
  s.epoch = Clock::now();
  s.configured = true;
}

void configure(const nlohmann::json& scenario) { configure(fromJson(scenario)); }

World& world() {
  auto& s = state();
  std::call_once(s.firstUse, [&s] {
    std::lock_guard guard(s.lock);
    if (s.configured) return;
    loadFromEnvironment(s);
    s.epoch = Clock::now();
    s.configured = true;
  });
  return s.world;
}

std::mutex& worldLock() { return state().lock; }

double nowMs() {
  auto& s = state();
  world();  // the clock starts with the world
  std::chrono::duration<double, std::milli> elapsed = Clock::now() - s.epoch;
  return elapsed.count() * s.world.speed;
}

float sample(const Device& device, std::size_t channel, std::uint64_t frame) {
  Signal fallback{"sine", 100.0 * static_cast<double>(channel + 1), 0.5, 1};
  const Signal& signal = channel < device.signals.size() ? device.signals[channel] : fallback;
  if (signal.kind == "constant") return static_cast<float>(signal.amplitude);
  if (signal.kind == "silence") return 0.0f;
  if (signal.kind == "noise") return static_cast<float>(signal.amplitude * noiseAt(signal.seed, frame));
  double phase = std::fmod(signal.frequency * static_cast<double>(frame) / device.rate, 1.0);
  return static_cast<float>(signal.amplitude * std::sin(6.283185307179586 * phase));
}

}  // namespace sim
