// tva1 meter: live levels of a running stream on the terminal, for the
// people at the desk; with --tee the stream passes on untouched.
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "frame/stream_rate.h"
#include "tools/tva1/channel_meter.h"
#include "tools/tva1/options.h"
#include "tools/tva1/read_input.h"
#include "tools/tva1/stream_reader.h"
#include "tools/tva1/tva1.h"

namespace tva1 {
namespace {

const Command meterCommand{
    "tva1 meter [--tee] [FILE]",
    "Shows on standard error, redrawn five times a second, each channel of the stream in FILE\n"
    "(standard input for \"-\" or none): a bar of its RMS (#) and peak (=) level from -60 to 0 dBFS with the peak hold (|), the\n"
    "peak and RMS since the last redraw, the hold of the last two seconds, the count of samples at\n"
    "full scale, and SILENT once it has stayed below -60 dBFS for three seconds. When standard\n"
    "error is not a terminal, only the last reading is printed, at the end.\n"
    "\n"
    "  --tee   copy the stream to standard output unchanged, byte for byte, as it arrives, so the\n"
    "          meter can sit between tavirel-audio and another reader\n"};

constexpr Option meterOptions[] = {{"tee", false}};
constexpr auto redrawEvery = std::chrono::milliseconds(200);
constexpr double silentAfterSeconds = 3;
constexpr int barWidth = 24;
constexpr double floorDb = -60;

// A level's place on the bar, 0 to barWidth.
int barCells(double db) {
  if (!(db > floorDb)) return 0;
  double cells = (db - floorDb) / -floorDb * barWidth;
  return cells >= barWidth ? barWidth : static_cast<int>(cells + 0.5);
}

std::string number(double db) {
  if (std::isinf(db)) return "  -inf";
  char text[16];
  std::snprintf(text, sizeof text, "%6.1f", db);
  return text;
}

std::string channelLine(std::size_t channel, const MeterReading& r) {
  std::string bar(barWidth, ' ');
  int rms = barCells(r.rmsDb), peak = barCells(r.peakDb), hold = barCells(r.holdDb);
  for (int i = 0; i < peak; ++i) bar[static_cast<std::size_t>(i)] = i < rms ? '#' : '=';
  if (hold > 0) bar[static_cast<std::size_t>(hold - 1)] = '|';
  char text[128];
  std::snprintf(text, sizeof text, "%3zu [%s] %s %s %s %6llu", channel, bar.c_str(), number(r.peakDb).c_str(),
                number(r.rmsDb).c_str(), number(r.holdDb).c_str(), static_cast<unsigned long long>(r.clips));
  std::string line = text;
  if (r.silentSeconds >= silentAfterSeconds)
    line += "  SILENT " + std::to_string(static_cast<long long>(r.silentSeconds)) + " s";
  return line;
}

// Columns of the terminal on standard error; 0 when it does not say.
std::size_t terminalWidth() {
  winsize size{};
  return ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

class Screen {
 public:
  explicit Screen(bool live) : live_(live) {}

  void draw(std::vector<ChannelMeter>& meters, std::size_t samples, const char* state) {
    std::string text;
    // Back to the top of the previous drawing, to overwrite it in place.
    if (live_ && lines_ > 0) text += "\x1b[" + std::to_string(lines_) + "F";
    char header[96];
    std::snprintf(header, sizeof header, "tva1 meter  %zu channels  %.1f s  %s", meters.size(),
                  static_cast<double>(samples) / framing::streamRate, state);
    addLine(text, header);
    char columns[96];
    std::snprintf(columns, sizeof columns, "%-3s %-*s %6s %6s %6s %6s", "ch", barWidth + 2, "level, -60 to 0 dBFS", "peak",
                  "rms", "hold", "clips");
    addLine(text, columns);
    for (std::size_t c = 0; c < meters.size(); ++c) addLine(text, channelLine(c + 1, meters[c].take()));
    lines_ = meters.size() + 2;
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
  }

 private:
  // A line wider than the terminal would wrap and throw the redraw off by a line.
  void addLine(std::string& text, const std::string& line) const {
    std::size_t width = live_ ? terminalWidth() : 0;
    text += width > 1 && line.size() >= width ? line.substr(0, width - 1) : line;
    if (live_) text += "\x1b[K";
    text += '\n';
  }

  bool live_;
  std::size_t lines_ = 0;
};

}  // namespace

int meter(int argc, char** argv) {
  bool tee = false;
  auto operands = parseOptions(argc, argv, meterCommand, meterOptions, [&](std::size_t, const std::string&) { tee = true; });

  StreamReader reader(openInput(streamOperand(operands, meterCommand)));
  if (tee) reader.teeTo(STDOUT_FILENO);
  const bool live = isatty(STDERR_FILENO) != 0;
  Screen screen(live);
  std::vector<ChannelMeter> meters;
  std::size_t samples = 0;
  auto lastDraw = std::chrono::steady_clock::now() - redrawEvery;
  Frame frame;
  while (reader.next(frame)) {
    meters.resize(frame.channels);
    for (std::size_t c = 0; c < frame.channels; ++c) meters[c].add(frame.planar.data() + c * frame.samples, frame.samples);
    samples += frame.samples;
    auto now = std::chrono::steady_clock::now();
    if (live && now - lastDraw >= redrawEvery) {
      screen.draw(meters, samples, "running");
      lastDraw = now;
    }
  }
  reader.teeRest();
  screen.draw(meters, samples, reader.error().empty() ? "ended" : "broken off");
  endOfStream(reader);
  return 0;
}

}  // namespace tva1
