// Cost of the device reads on Linux: the watchdog's once-a-second device-list
// read (a rescan), the whole catalogue of `list`, and a first scan that also
// opens every PCM. Run with ALSA_CONFIG_PATH naming the configuration to
// measure, for example tests/alsa/capture-devices.conf.
#include <benchmark/benchmark.h>

#include "device/audio_properties.h"
#include "device/device_catalogue.h"

namespace {
void DeviceListRead(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(allDevices());
}
BENCHMARK(DeviceListRead)->Unit(benchmark::kMicrosecond);

void Catalogue(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(inputDevices());
}
BENCHMARK(Catalogue)->Unit(benchmark::kMicrosecond);

void WatchdogTick(benchmark::State& state) {
  auto devices = allDevices();
  AudioObjectID device = devices.empty() ? 0 : devices.front();
  for (auto _ : state) {
    benchmark::DoNotOptimize(allDevices());
    benchmark::DoNotOptimize(sampleRate(device));
  }
}
BENCHMARK(WatchdogTick)->Unit(benchmark::kMicrosecond);
}  // namespace

BENCHMARK_MAIN();
