// tva1 wav DIR: one 16 kHz mono WAV per channel of the stream on standard input.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "tools/tva1/stream_reader.h"
#include "tools/tva1/tva1.h"
#include "tools/tva1/wav_writer.h"

namespace tva1 {

int wav(const std::vector<std::string>& args) {
  if (args.size() != 1 || args[0].empty()) stop("usage: tva1 wav DIR");
  const std::string& dir = args[0];
  if (::mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) stop("cannot create directory " + dir, ioFailure);

  std::vector<std::unique_ptr<WavWriter>> files;
  auto finishAll = [&] {
    for (std::size_t c = 0; c < files.size(); ++c)
      if (!files[c]->finish()) stop("cannot write " + dir + "/channel-" + std::to_string(c + 1) + ".wav", ioFailure);
  };

  StreamReader reader(STDIN_FILENO);
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
  }
  // The files keep every valid frame, with correct sizes, even when the
  // stream breaks off.
  finishAll();
  if (!reader.error().empty()) stop(reader.error());
  return 0;
}

}  // namespace tva1
