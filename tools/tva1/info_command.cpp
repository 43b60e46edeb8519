// tva1 info: what a stream holds, and how loud each channel is.
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "frame/stream_rate.h"
#include "tools/tva1/levels.h"
#include "tools/tva1/options.h"
#include "tools/tva1/progress.h"
#include "tools/tva1/read_input.h"
#include "tools/tva1/stream_reader.h"
#include "tools/tva1/tva1.h"

namespace tva1 {
namespace {

const Command infoCommand{
    "tva1 info [--json] [FILE]",
    "Reads a stream from FILE (standard input for \"-\" or none) and prints its frame count, channel count, samples per channel\n"
    "and each channel's peak and RMS level in dBFS (full scale 32767; silence is \"-inf dBFS\").\n"
    "\n"
    "  --json   one JSON object instead: {\"frames\", \"channels\", \"samples\", \"seconds\", \"levels\":\n"
    "           [{\"channel\", \"peakDbfs\", \"rmsDbfs\"}...]}, levels null for silence, and \"error\"\n"
    "           when the stream breaks off\n"};

constexpr Option infoOptions[] = {{"json", false}};

nlohmann::json dbOrNull(double db) { return std::isinf(db) ? nlohmann::json(nullptr) : nlohmann::json(db); }

void printText(const StreamReader& reader, const std::vector<Levels>& levels, std::size_t samples) {
  std::printf("frames: %zu\nchannels: %zu\nsamples per channel: %zu (%.3f s at %d Hz)\n", reader.framesRead(),
              levels.size(), samples, static_cast<double>(samples) / framing::streamRate, framing::streamRate);
  for (std::size_t c = 0; c < levels.size(); ++c)
    std::printf("channel %zu: peak %s, rms %s\n", c + 1, formatDb(levels[c].peakDb()).c_str(),
                formatDb(levels[c].rmsDb()).c_str());
}

void printJson(const StreamReader& reader, const std::vector<Levels>& levels, std::size_t samples) {
  nlohmann::json summary{{"frames", reader.framesRead()},
                         {"channels", levels.size()},
                         {"samples", samples},
                         {"seconds", static_cast<double>(samples) / framing::streamRate},
                         {"levels", nlohmann::json::array()}};
  for (std::size_t c = 0; c < levels.size(); ++c)
    summary["levels"].push_back(
        {{"channel", c + 1}, {"peakDbfs", dbOrNull(levels[c].peakDb())}, {"rmsDbfs", dbOrNull(levels[c].rmsDb())}});
  if (!reader.error().empty()) summary["error"] = reader.error();
  std::printf("%s\n", summary.dump().c_str());
}

}  // namespace

int info(int argc, char** argv) {
  bool json = false;
  auto operands = parseOptions(argc, argv, infoCommand, infoOptions, [&](std::size_t, const std::string&) { json = true; });
  const int input = openInput(streamOperand(operands, infoCommand));
  StreamReader reader(input);
  Progress progress("info", inputSize(input));
  Frame frame;
  std::vector<Levels> levels;
  std::size_t samples = 0;
  while (reader.next(frame)) {
    levels.resize(frame.channels);
    for (std::size_t c = 0; c < frame.channels; ++c)
      levels[c].add(frame.planar.data() + c * frame.samples, frame.samples);
    samples += frame.samples;
    progress.update(reader.bytesRead());
  }
  // The summary covers the valid frames, also when the stream breaks off.
  (json ? printJson : printText)(reader, levels, samples);
  std::fflush(stdout);
  endOfStream(reader);
  return 0;
}

}  // namespace tva1
