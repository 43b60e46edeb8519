#include "tools/tva1/encode_options.h"

#include <cerrno>
#include <cstdlib>

#include "capture/frame_output.h"
#include "dsp/resampler.h"
#include "tools/tva1/tva1.h"

namespace tva1 {
namespace {

const char* usage = "usage: tva1 encode --rate R --channels C";

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
  if (text.empty() || *end != '\0' || errno == ERANGE || count < 1 ||
      count > static_cast<long>(framing::maxChannels))
    stop("bad --channels \"" + text + "\": give a count from 1 to 255");
  return static_cast<std::size_t>(count);
}

}  // namespace

EncodeOptions parseEncodeOptions(const std::vector<std::string>& args) {
  EncodeOptions options;
  bool haveRate = false, haveChannels = false;
  for (std::size_t i = 0; i < args.size(); i += 2) {
    if (i + 1 >= args.size()) stop(usage);
    if (args[i] == "--rate") {
      options.rate = parseRate(args[i + 1]);
      haveRate = true;
    } else if (args[i] == "--channels") {
      options.channels = parseChannels(args[i + 1]);
      haveChannels = true;
    } else {
      stop(usage);
    }
  }
  if (!haveRate || !haveChannels) stop(usage);
  return options;
}

}  // namespace tva1
