#include "platform/sim/sim_world.h"

#include <cmath>
#include <cstdlib>

#include "runtime/event_line.h"
#include "platform/sim/sim_scenario.h"

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

// A broken scenario is a broken test: it ends the program with one error
// event rather than simulate another machine than the one described.
void loadFromEnvironment(State& s) {
  const char* path = std::getenv("TAVIREL_SIM_SCENARIO");
  if (path == nullptr) return;
  auto reading = readScenarioFile(path);
  if (!reading.world) process::endWithError(reading.problem, 2);
  s.world = std::move(*reading.world);
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

void configure(const World& world) {
  auto& s = state();
  std::lock_guard guard(s.lock);
  s.world = world;
  s.epoch = Clock::now();
  s.configured = true;
}

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
  Signal fallback;
  fallback.frequency = 100.0 * static_cast<double>(channel + 1);
  const Signal& signal = channel < device.signals.size() ? device.signals[channel] : fallback;
  if (signal.kind == "constant") return static_cast<float>(signal.amplitude);
  if (signal.kind == "silence") return 0.0f;
  if (signal.kind == "noise") return static_cast<float>(signal.amplitude * noiseAt(signal.seed, frame));
  if (signal.kind == "recording") {
    std::size_t length = signal.recording ? signal.recording->size() : 0;
    if (length == 0) return 0.0f;
    if (signal.loop) frame %= length;
    return frame < length ? (*signal.recording)[frame] : 0.0f;
  }
  double phase = std::fmod(signal.frequency * static_cast<double>(frame) / device.rate, 1.0);
  return static_cast<float>(signal.amplitude * std::sin(6.283185307179586 * phase));
}

}  // namespace sim
