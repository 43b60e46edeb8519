#include "runtime/write_all.h"

#include <unistd.h>

#include <cerrno>

bool writeAll(int fd, const void* data, std::size_t size) {
  auto* next = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t written = ::write(fd, next, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    next += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}
