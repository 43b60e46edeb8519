#include "tools/tva1/write_output.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "frame/frame_format.h"
#include "runtime/write_all.h"
#include "tools/tva1/tva1.h"

namespace tva1 {

void writeOrEnd(int fd, const void* data, std::size_t size) {
  if (writeAll(fd, data, size)) return;
  int error = errno;
  if (!framing::readerGone(error))
    stop(std::string("cannot write ") + (fd == STDOUT_FILENO ? "standard output" : "the output") + ": " +
             std::strerror(error),
         ioFailure);
  std::fflush(stderr);
  _exit(0);
}

}  // namespace tva1
