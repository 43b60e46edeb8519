#include "tools/tva1/write_output.h"

#include <unistd.h>

#include <cstdio>

#include "process/write_all.h"

namespace tva1 {

void writeOrEnd(int fd, const void* data, std::size_t size) {
  if (writeAll(fd, data, size)) return;
  std::fflush(stderr);
  _exit(0);
}

}  // namespace tva1
