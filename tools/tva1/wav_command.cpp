// tva1 wav DIR: one 16 kHz mono WAV per channel of the stream on standard input.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "tools/tva1/options.h"
#include "tools/tva1/progress.h"
#include "tools/tva1/stream_reader.h"
#include "tools/tva1/tva1.h"
#include "tools/tva1/wav_writer.h"

namespace tva1 {
namespace {

const Command wavCommand{
    "tva1 wav DIR",
    "Writes the stream on standard input to DIR/channel-1.wav, DIR/channel-2.wav, ... (16 kHz mono\n"
    "16-bit); DIR is created if missing. An empty stream writes no file. A stream that breaks off\n"
    "leaves files holding every valid frame.\n"};

}  // namespace

int wav(int argc, char** argv) {
  auto args = parseOptions(argc, argv, wavCommand, {}, [](std::size_t, const std::string&) {});
  if (args.size() != 1 || args[0].empty()) stopWithUsage(wavCommand, "give one directory");
  const std::string& dir = args[0];
  if (::mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) stop("cannot create directory " + dir, ioFailure);

  std::vector<std::unique_ptr<WavWriter>> files;
  auto finishAll = [&] {
    for (std::size_t c = 0; c < files.size(); ++c)
      if (!files[c]->finish()) stop("cannot write " + dir + "/channel-" + std::to_string(c + 1) + ".wav", ioFailure);
  };

  StreamReader reader(STDIN_FILENO);
  Progress progress("wav", standardInputSize());
  Frame frame;
  while (reader.next(frame)) {
    if (files.empty()) {
      for (std::size_t c = 0; c < frame.channels; ++c) {
        std::string path = dir + "/channel-" + std::to_string(c + 1) + ".wav";
        files.push_back(std::make_unique<WavWriter>());
        if (!files.back()->open(path)) stop("cannot create " + path, ioFailure);
      }
    }
    for (std::size_t c = 0; c < frame.channels; ++c)
      if (!files[c]->append(frame.planar.data() + c * frame.samples, frame.samples))
        stop("cannot write " + dir + "/channel-" + std::to_string(c + 1) + ".wav", ioFailure);
    progress.update(reader.bytesRead());
  }
  // The files keep every valid frame, with correct sizes, even when the
  // stream breaks off.
  finishAll();
  if (!reader.error().empty()) stop(reader.error());
  return 0;
}

}  // namespace tva1
