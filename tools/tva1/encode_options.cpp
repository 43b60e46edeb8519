#include "tools/tva1/encode_options.h"

#include <cerrno>
#include <cstdlib>

#include "frame/frame_format.h"
#include "dsp/resampler.h"
#include "tools/tva1/tva1.h"

namespace tva1 {

const Command encodeCommand{
    "tva1 encode --rate R --channels C [FILE] | tva1 encode FILE",
    "Writes to standard output the stream `tavirel-audio run` writes for the same audio: the same\n"
    "resampler and frame code, fed blocks of 8192 sample frames.\n"
    "\n"
    "  --rate R       raw input: interleaved 32-bit float little-endian samples at R Hz, from FILE\n"
    "                 or standard input (\"-\" or no FILE)\n"
    "  --channels C   raw input: C channels, 1 to 255\n"
    "  FILE           without --rate and --channels: a WAV, FLAC or other file libsndfile reads\n"
    "                 (\"-\" for standard input); rate and channels come from it\n"};

namespace {

double parseRate(const std::string& text) {
  char* end = nullptr;
  errno = 0;
  double rate = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || errno == ERANGE || !validResamplerRate(rate))
    stop("bad --rate \"" + text + "\": give the input rate in Hz, 1 or more");
  return rate;
}

std::size_t parseChannels(const std::string& text) {
  char* end = nullptr;
  errno = 0;
  long count = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno == ERANGE || count < 1 || !framableChannels(static_cast<std::size_t>(count)))
    stop("bad --channels \"" + text + "\": give a count from 1 to 255");
  return static_cast<std::size_t>(count);
}

constexpr Option encodeOptions[] = {{"rate", true}, {"channels", true}};

}  // namespace

bool framableChannels(std::size_t channels) { return channels >= 1 && channels <= framing::maxChannels; }

EncodeOptions parseEncodeOptions(int argc, char** argv) {
  EncodeOptions options;
  bool haveRate = false, haveChannels = false;
  auto files = parseOptions(argc, argv, encodeCommand, encodeOptions, [&](std::size_t option, const std::string& value) {
    if (option == 0) {
      options.rate = parseRate(value);
      haveRate = true;
    } else {
      options.channels = parseChannels(value);
      haveChannels = true;
    }
  });
  if (files.size() > 1) stopWithUsage(encodeCommand, "one file at a time");
  options.raw = haveRate || haveChannels;
  if (options.raw && !(haveRate && haveChannels)) stopWithUsage(encodeCommand, "raw input needs --rate and --channels");
  if (!options.raw && files.empty()) stopWithUsage(encodeCommand, "give a sound file, or --rate and --channels");
  options.file = files.empty() ? "-" : files[0];
  return options;
}

}  // namespace tva1
