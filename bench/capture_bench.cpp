// What the capture costs for a 32-channel 48 kHz console with 16 channels
// picked, in 10 ms blocks (480 frames):
//  - CopyOut: the audio thread's share after the device render (copy the picks
//    into the hand-off ring) plus the processing thread taking the block out;
//  - Process: the processing thread's work per block (16 resamplers, frames);
//  - Latency: a paced audio thread hands 6 s of blocks (copy-out as render
//    does it) to a running capture whose standard output is a pipe; a reader
//    stamps each frame as it arrives. Reported: median and 99th percentile
//    from the hand-over of the block that completed a frame to the frame's
//    arrival, in microseconds, and the whole process's CPU in % of one core
//    (audio thread, processing thread with its waiting, frame reader);
//  - IdlePolling: the processing thread's own cost of waiting, in % of a core.
// CPU per second of audio = (CopyOut + Process) × 100 blocks + IdlePolling.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <random>
#include <thread>

#include "capture/capture.h"

namespace {
constexpr int deviceChannels = 32;
constexpr std::size_t blockFrames = 480;
using Clock = std::chrono::steady_clock;

std::vector<std::int64_t> sixteenPicks() {
  std::vector<std::int64_t> picks;
  for (int i = 0; i < 16; ++i) picks.push_back(i * 2);
  return picks;
}

void fillWithNoise(Capture& capture) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> noise(-0.5f, 0.5f);
  for (std::size_t i = 0; i < deviceChannels * Capture::maxFrames; ++i) capture.storage[i] = noise(random);
}

double seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; }

// What render does once the device render has filled `storage`.
void copyOut(Capture& capture) {
  float* block = capture.ring.reserve(blockFrames);
  if (block == nullptr) return;
  std::size_t i = 0;
  for (auto pick : capture.picks)
    std::memcpy(block + i++ * blockFrames, capture.storage.get() + pick * Capture::maxFrames,
                blockFrames * sizeof(float));
  capture.ring.commit();
}

void CopyOut(benchmark::State& state) {
  Capture capture(deviceChannels, sixteenPicks());
  fillWithNoise(capture);
  for (auto _ : state) {
    copyOut(capture);
    BlockRing::Block taken{nullptr, 0};
    capture.ring.front(taken);
    benchmark::DoNotOptimize(taken.data);
    capture.ring.release();
  }
}
BENCHMARK(CopyOut)->Unit(benchmark::kMicrosecond);

void Process(benchmark::State& state) {
  Capture capture(deviceChannels, sixteenPicks());
  for (std::size_t i = 0; i < 16; ++i) capture.resamplers.emplace_back(48000.0);
  std::vector<float> block(16 * blockFrames);
  std::mt19937 random(7);
  std::uniform_real_distribution<float> noise(-0.5f, 0.5f);
  for (auto& sample : block) sample = noise(random);
  for (auto _ : state) capture.process(block.data(), blockFrames);  // frames go to /dev/null
}
BENCHMARK(Process)->Unit(benchmark::kMicrosecond);

// The processing thread's cost while it waits with no audio coming.
void IdlePolling(benchmark::State& state) {
  for (auto _ : state) {
    auto capture = std::make_unique<Capture>(deviceChannels, sixteenPicks());
    capture->processingThread.start(*capture);
    rusage before, after;
    getrusage(RUSAGE_SELF, &before);
    std::this_thread::sleep_for(std::chrono::seconds(2));
    getrusage(RUSAGE_SELF, &after);
    double used = seconds(after.ru_utime) - seconds(before.ru_utime) + seconds(after.ru_stime) - seconds(before.ru_stime);
    state.counters["core_percent"] = used / 2.0 * 100;
  }
}
BENCHMARK(IdlePolling)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void Latency(benchmark::State& state) {
  for (auto _ : state) {
    int frames[2];
    if (pipe(frames) != 0) state.SkipWithError("pipe");
    dup2(frames[1], STDOUT_FILENO);

    auto capture = std::make_unique<Capture>(deviceChannels, sixteenPicks());
    fillWithNoise(*capture);
    for (std::size_t i = 0; i < 16; ++i) capture->resamplers.emplace_back(48000.0);
    capture->processingThread.start(*capture);

    constexpr int blocks = 600;  // 6 s
    std::vector<Clock::time_point> rendered(blocks);
    std::vector<double> latencies;
    std::thread reader([&] {
      // Output after k blocks of 480 frames at 48 kHz is 160·k + 1 samples per channel.
      std::uint64_t samples = 0;
      char header[9];
      std::vector<char> body;
      for (;;) {
        std::size_t got = 0;
        while (got < 9) {
          ssize_t n = read(frames[0], header + got, 9 - got);
          if (n <= 0) return;
          got += static_cast<std::size_t>(n);
        }
        auto arrived = Clock::now();
        std::uint32_t n;
        std::memcpy(&n, header + 5, 4);
        body.resize(2ull * n * static_cast<unsigned char>(header[4]));
        for (std::size_t at = 0; at < body.size();) {
          ssize_t r = read(frames[0], body.data() + at, body.size() - at);
          if (r <= 0) return;
          at += static_cast<std::size_t>(r);
        }
        samples += n;
        std::uint64_t block = (samples - 1 + 159) / 160;  // the block that completed this frame
        if (block >= 1 && block <= blocks)
          latencies.push_back(std::chrono::duration<double, std::micro>(arrived - rendered[block - 1]).count());
        if (block >= blocks) return;
      }
    });

    rusage before, after;
    getrusage(RUSAGE_SELF, &before);
    auto start = Clock::now();
    for (int b = 0; b < blocks; ++b) {
      std::this_thread::sleep_until(start + std::chrono::microseconds(10000) * b);
      rendered[b] = Clock::now();
      copyOut(*capture);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    getrusage(RUSAGE_SELF, &after);
    close(frames[1]);
    int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, STDOUT_FILENO);
    close(frames[0]);
    reader.join();

    std::sort(latencies.begin(), latencies.end());
    if (latencies.empty()) {
      state.SkipWithError("no frames");
      return;
    }
    state.counters["frames"] = static_cast<double>(latencies.size());
    state.counters["core_percent"] = (seconds(after.ru_utime) - seconds(before.ru_utime) + seconds(after.ru_stime) -
                                      seconds(before.ru_stime)) /
                                     (blocks / 100.0 + 0.1) * 100;
    state.counters["p50_us"] = latencies[latencies.size() / 2];
    state.counters["p99_us"] = latencies[std::min(latencies.size() - 1, latencies.size() * 99 / 100)];
    state.counters["max_us"] = latencies.back();
  }
}
BENCHMARK(Latency)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
}  // namespace

// Standard output belongs to the frames; the report goes to standard error.
int main(int argc, char** argv) {
  int devnull = open("/dev/null", O_WRONLY);
  dup2(devnull, STDOUT_FILENO);
  benchmark::Initialize(&argc, argv);
  benchmark::ConsoleReporter reporter;
  std::ofstream report("/dev/stderr");
  reporter.SetOutputStream(&report);
  reporter.SetErrorStream(&report);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  return 0;
}
