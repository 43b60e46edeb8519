// tva1 wav DIR [FILE]: one 16 kHz mono file per channel of a stream.
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "tools/tva1/options.h"
#include "tools/tva1/progress.h"
#include "tools/tva1/read_input.h"
#include "tools/tva1/sound_writer.h"
#include "tools/tva1/stream_reader.h"
#include "tools/tva1/tva1.h"

namespace tva1 {
namespace {

const Command wavCommand{
    "tva1 wav [--flac] DIR [FILE]",
    "Writes the stream in FILE (standard input for \"-\" or none) to DIR/channel-1.wav,\n"
    "DIR/channel-2.wav, ... (16 kHz mono 16-bit); DIR is created if missing. An empty stream\n"
    "writes no file. Each file's header is brought up to date with every frame, so a run that is\n"
    "stopped (Ctrl-C) or a stream that breaks off leaves files holding every frame written.\n"
    "\n"
    "  --flac   FLAC files, DIR/channel-N.flac, instead of WAV\n"};

constexpr Option wavOptions[] = {{"flac", false}};

}  // namespace

int wav(int argc, char** argv) {
  SoundFormat format = SoundFormat::wav;
  auto operands = parseOptions(argc, argv, wavCommand, wavOptions,
                               [&](std::size_t, const std::string&) { format = SoundFormat::flac; });
  if (operands.empty() || operands[0].empty()) stopWithUsage(wavCommand, "give a directory");
  const std::string dir = operands[0];
  operands.erase(operands.begin());
  // `tva1 wav take.tva1`, the folder forgotten, would read standard input into files under a stream.
  struct stat found {};
  if (::stat(dir.c_str(), &found) == 0 && !S_ISDIR(found.st_mode))
    stopWithUsage(wavCommand, dir + " is not a directory; give the directory first");
  const int input = openInput(streamOperand(operands, wavCommand));
  if (::mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST)
    stop("cannot create directory " + dir + ": " + std::strerror(errno), ioFailure);

  std::vector<std::unique_ptr<SoundWriter>> files;
  auto path = [&](std::size_t channel) {
    return dir + "/channel-" + std::to_string(channel + 1) + "." + extension(format);
  };

  StreamReader reader(input);
  Progress progress("wav", inputSize(input));
  Frame frame;
  while (reader.next(frame)) {
    for (std::size_t c = files.size(); c < frame.channels; ++c) {
      files.push_back(std::make_unique<SoundWriter>());
      if (!files.back()->open(path(c), format)) stop("cannot create " + path(c) + ": " + files.back()->error(), ioFailure);
    }
    for (std::size_t c = 0; c < frame.channels; ++c)
      if (!files[c]->append(frame.planar.data() + c * frame.samples, frame.samples))
        stop("cannot write " + path(c) + ": " + files[c]->error(), ioFailure);
    progress.update(reader.bytesRead());
  }
  for (std::size_t c = 0; c < files.size(); ++c)
    if (!files[c]->finish()) stop("cannot write " + path(c) + ": " + files[c]->error(), ioFailure);
  endOfStream(reader);
  return 0;
}

}  // namespace tva1
