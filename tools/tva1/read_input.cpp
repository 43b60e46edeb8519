#include "tools/tva1/read_input.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "tools/tva1/tva1.h"

namespace tva1 {

std::size_t readFully(int fd, void* into, std::size_t size) {
  auto* at = static_cast<char*>(into);
  std::size_t got = 0;
  while (got < size) {
    ssize_t n = ::read(fd, at + got, size - got);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      stop(std::string("cannot read input: ") + std::strerror(errno), ioFailure);
    }
    got += static_cast<std::size_t>(n);
  }
  return got;
}

int openInput(const std::string& operand) {
  if (operand.empty() || operand == "-") return STDIN_FILENO;
  int fd = ::open(operand.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) stop("cannot read " + operand + ": " + std::strerror(errno), ioFailure);
  return fd;
}

}  // namespace tva1
