// What the capture costs for a 32-channel 48 kHz console with 16 channels
// picked, in 10 ms blocks (480 frames):
//  - HandOver: the audio thread's share after the device render (copy the
//    picks into the hand-off ring) plus the processing thread taking the block out;
//  - Process: the processing thread's work per block (16 resamplers, frames);
//  - Latency: a paced audio thread hands 6 s of blocks over as render does
//    to a running capture whose standard output is a pipe; a reader stamps
//    each frame as it arrives. Reported: median and 99th percentile from the
//    hand-over of the block that completed a frame to the frame's arrival, in
//    microseconds; the processing thread's wake-ups per block and its CPU in
//    milliseconds per second of audio; the whole process's CPU in % of one
//    core (audio thread, processing thread, frame reader);
//  - Check: the processing thread's work per block during `check` on a
//    64-channel console at 192 kHz (blocks of 1024 frames): every channel
//    measured and resampled, frames written to /dev/null. Reported:
//    audio_s_per_s, seconds of audio checked per second of one core (above 1:
//    real time; 14 on the development machine, about 7 % of a core);
//  - Idle: the processing thread waiting with no audio coming: its wake-ups
//    and CPU per second, and the whole process's CPU in % of a core.
// The processing thread's figures come from /proc: its voluntary context
// switches (each one a sleep, so each a wake-up) and its CPU time in ns.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
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
  for (std::size_t i = 0; i < deviceChannels * Capture::maxFrames; ++i) capture.input().samples()[i] = noise(random);
}

double seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; }

double processCpuSeconds() {
  rusage use;
  getrusage(RUSAGE_SELF, &use);
  return seconds(use.ru_utime) + seconds(use.ru_stime);
}

// What the processing thread "tavirel.dsp" has used so far.
struct ThreadUse {
  double wakeUps = 0;
  double cpuSeconds = 0;
};

ThreadUse processingThreadUse() {
  for (int attempt = 0; attempt < 100; ++attempt) {
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
      std::string name;
      std::getline(std::ifstream(task.path() / "comm"), name);
      if (name != "tavirel.dsp") continue;
      ThreadUse use;
      double ns = 0;
      std::ifstream(task.path() / "schedstat") >> ns;
      use.cpuSeconds = ns / 1e9;
      std::ifstream status(task.path() / "status");
      for (std::string line; std::getline(status, line);)
        if (line.rfind("voluntary_ctxt_switches:", 0) == 0) use.wakeUps = std::stod(line.substr(24));
      return use;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));  // not named yet
  }
  return {};
}

void HandOver(benchmark::State& state) {
  Capture capture(deviceChannels, sixteenPicks());
  fillWithNoise(capture);
  for (auto _ : state) {
    capture.input().handOver(blockFrames);
    BlockRing::Block taken{nullptr, 0, 0};
    capture.input().handedOver().front(taken);
    benchmark::DoNotOptimize(taken.data);
    capture.input().handedOver().release();
  }
}
BENCHMARK(HandOver)->Unit(benchmark::kMicrosecond);

void Process(benchmark::State& state) {
  Capture capture(deviceChannels, sixteenPicks());
  capture.prepare(48000.0);
  std::vector<float> block(16 * blockFrames);
  std::mt19937 random(7);
  std::uniform_real_distribution<float> noise(-0.5f, 0.5f);
  for (auto& sample : block) sample = noise(random);
  for (auto _ : state) capture.process(block.data(), blockFrames);  // frames go to /dev/null
}
BENCHMARK(Process)->Unit(benchmark::kMicrosecond);

void Check(benchmark::State& state) {
  constexpr int channels = 64;
  constexpr std::size_t frames = 1024;
  constexpr double rate = 192000;
  std::vector<std::int64_t> every;
  for (int i = 0; i < channels; ++i) every.push_back(i);
  Capture capture(channels, every, open("/dev/null", O_WRONLY | O_CLOEXEC), true);
  capture.prepare(rate);
  std::vector<float> block(channels * frames);
  std::mt19937 random(7);
  std::uniform_real_distribution<float> noise(-0.5f, 0.5f);
  for (auto& sample : block) sample = noise(random);
  std::int64_t at = 0;
  for (auto _ : state) {
    capture.process(block.data(), frames, at, monotonicNs());
    at += frames;
  }
  state.counters["audio_s_per_s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * frames / rate, benchmark::Counter::kIsRate);
}
BENCHMARK(Check)->Unit(benchmark::kMicrosecond);

// The processing thread's cost while it waits with no audio coming.
void Idle(benchmark::State& state) {
  for (auto _ : state) {
    auto capture = std::make_unique<Capture>(deviceChannels, sixteenPicks());
    capture->processing().start(*capture);
    ThreadUse before = processingThreadUse();
    double processBefore = processCpuSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    ThreadUse after = processingThreadUse();
    state.counters["core_percent"] = (processCpuSeconds() - processBefore) / 2.0 * 100;
    state.counters["wakeups_per_s"] = (after.wakeUps - before.wakeUps) / 2.0;
    state.counters["dsp_ms_per_s"] = (after.cpuSeconds - before.cpuSeconds) * 1000 / 2.0;
  }
}
BENCHMARK(Idle)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void Latency(benchmark::State& state) {
  for (auto _ : state) {
    int frames[2];
    if (pipe(frames) != 0) state.SkipWithError("pipe");
    dup2(frames[1], STDOUT_FILENO);

    auto capture = std::make_unique<Capture>(deviceChannels, sixteenPicks());
    fillWithNoise(*capture);
    capture->prepare(48000.0);
    capture->processing().start(*capture);

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

    ThreadUse before = processingThreadUse();
    double processBefore = processCpuSeconds();
    auto start = Clock::now();
    for (int b = 0; b < blocks; ++b) {
      std::this_thread::sleep_until(start + std::chrono::microseconds(10000) * b);
      rendered[b] = Clock::now();
      capture->input().handOver(blockFrames);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ThreadUse after = processingThreadUse();
    double processUsed = processCpuSeconds() - processBefore;
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
    state.counters["core_percent"] = processUsed / (blocks / 100.0 + 0.1) * 100;
    state.counters["wakeups_per_block"] = (after.wakeUps - before.wakeUps) / blocks;
    state.counters["dsp_ms_per_s"] = (after.cpuSeconds - before.cpuSeconds) * 1000 / (blocks / 100.0);
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
