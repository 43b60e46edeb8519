// A recording as tva1 reads it: frames whose headers announce their sizes.
// Besides crashes, and memory beyond what the input backs up, it checks that
// every frame read is exactly the bytes it came from, in order, and no larger
// than a frame may be.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "frame/frame_format.h"
#include "tools/tva1/stream_reader.h"
#include "tools/tva1/tva1.h"
#include "fuzz/check.h"


// The tool's own exit is for errors the fuzzer cannot cause (a failed read).
void tva1::stop(const std::string&, int) { std::abort(); }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static int fd = memfd_create("tva1-stream", 0);
  check(fd >= 0);
  check(ftruncate(fd, 0) == 0 && lseek(fd, 0, SEEK_SET) == 0);
  check(write(fd, data, size) == static_cast<ssize_t>(size) && lseek(fd, 0, SEEK_SET) == 0);

  tva1::StreamReader reader(fd);
  tva1::Frame frame;
  std::size_t at = 0;
  while (reader.next(frame)) {
    std::size_t bytes = 9 + 2 * frame.planar.size();
    check(frame.planar.size() == frame.channels * frame.samples && at + bytes <= size);
    check(frame.samples <= framing::maxSamples);
    check(std::memcmp(data + at, "TVA1", 4) == 0 && data[at + 4] == frame.channels);
    for (std::size_t i = 0; i < frame.planar.size(); ++i) {
      auto sample = static_cast<std::uint16_t>(frame.planar[i]);
      check(data[at + 9 + 2 * i] == (sample & 0xFF) && data[at + 10 + 2 * i] == (sample >> 8));
    }
    at += bytes;
  }
  // The end of the stream is the end of the input or a last frame cut short;
  // anything else is reported.
  check(at == size || !reader.error().empty() || !reader.cutShort().empty());
  return 0;
}
