#include "tools/tva1/read_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "tools/tva1/tva1.h"

namespace tva1 {
namespace {
std::string& openedName() {
  static std::string name = "standard input";
  return name;
}

[[noreturn]] void cannotRead(int error) {
  stop("cannot read " + openedName() + ": " + std::strerror(error), ioFailure);
}
}  // namespace

std::size_t readFully(int fd, void* into, std::size_t size) {
  auto* at = static_cast<char*>(into);
  std::size_t got = 0;
  while (got < size) {
    ssize_t n = ::read(fd, at + got, size - got);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      cannotRead(errno);
    }
    got += static_cast<std::size_t>(n);
  }
  return got;
}

int openInput(const std::string& operand) {
  bool standard = operand.empty() || operand == "-";
  openedName() = standard ? "standard input" : operand;
  int fd = standard ? STDIN_FILENO : ::open(operand.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) cannotRead(errno);
  // Said before anything is made of the input (wav's folder, say).
  struct stat info {};
  if (fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) cannotRead(EISDIR);
  return fd;
}

const std::string& inputName() { return openedName(); }

}  // namespace tva1
