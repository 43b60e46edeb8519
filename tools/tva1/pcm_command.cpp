// tva1 pcm: a stream to interleaved 16-bit PCM, to listen with aplay or sox.
#include <unistd.h>

#include <cstdint>
#include <vector>

#include "tools/tva1/options.h"
#include "tools/tva1/read_input.h"
#include "tools/tva1/stream_reader.h"
#include "tools/tva1/tva1.h"
#include "tools/tva1/write_output.h"

namespace tva1 {
namespace {

const Command pcmCommand{
    "tva1 pcm [FILE]",
    "Writes the stream in FILE (standard input for \"-\" or none) to standard output as interleaved signed 16-bit\n"
    "little-endian samples at 16000 Hz, channels in stream order, e.g.\n"
    "\n"
    "  tva1 pcm < stream.tva1 | aplay -f S16_LE -r 16000 -c 4\n"
    "  tva1 pcm < stream.tva1 | play -t raw -e signed -b 16 -r 16000 -c 4 -\n"};

}  // namespace

int pcm(int argc, char** argv) {
  auto operands = parseOptions(argc, argv, pcmCommand, {}, [](std::size_t, const std::string&) {});
  StreamReader reader(openInput(streamOperand(operands, pcmCommand)));
  Frame frame;
  std::vector<unsigned char> out;
  while (reader.next(frame)) {
    out.resize(frame.planar.size() * 2);
    std::size_t at = 0;
    for (std::size_t i = 0; i < frame.samples; ++i)
      for (std::size_t c = 0; c < frame.channels; ++c) {
        auto s = static_cast<std::uint16_t>(frame.planar[c * frame.samples + i]);
        out[at++] = static_cast<unsigned char>(s);
        out[at++] = static_cast<unsigned char>(s >> 8);
      }
    writeOrEnd(STDOUT_FILENO, out.data(), out.size());
  }
  endOfStream(reader);
  return 0;
}

}  // namespace tva1
