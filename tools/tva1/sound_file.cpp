#include "tools/tva1/sound_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <thread>

#include "runtime/write_all.h"
#include "tools/tva1/read_input.h"
#include "tools/tva1/tva1.h"

namespace tva1 {
namespace {

[[noreturn]] void cannotRead(const std::string& what) { stop("cannot read standard input: " + what, ioFailure); }

// Copies `prefix`, then the rest of `from`, to `to`; false on a failed write.
bool copyOn(std::string_view prefix, int from, int to) {
  if (!writeAll(to, prefix.data(), prefix.size())) return false;
  char buffer[1 << 16];
  while (std::size_t got = readFully(from, buffer, sizeof buffer))
    if (!writeAll(to, buffer, got)) return false;
  return true;
}

// A file of its own for what standard input holds, read to its end.
int spooled(std::string_view prefix, int from) {
  const char* tmp = std::getenv("TMPDIR");
  int fd = ::open(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0) {
    std::FILE* file = std::tmpfile();  // for a file system without O_TMPFILE
    if (file == nullptr) cannotRead(std::string("no room for a copy (") + std::strerror(errno) + ")");
    fd = fileno(file);
  }
  if (!copyOn(prefix, from, fd) || ::lseek(fd, 0, SEEK_SET) != 0)
    cannotRead(std::string("no room for a copy (") + std::strerror(errno) + ")");
  return fd;
}

// A pipe that gives `prefix`, then the rest of `from`, as it comes.
int relayed(std::string_view prefix, int from) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) cannotRead(std::strerror(errno));
  std::thread([text = std::string(prefix), from, to = ends[1]] {
    copyOn(text, from, to);  // a reader that stops early has what it wanted
    ::close(to);
  }).detach();
  return ends[0];
}

// libsndfile reads standard input as a pipe, which it may not seek back in:
// WAV and Ogg need no seeking, but its FLAC decoder goes back to the start
// after looking at the header, and loses sync. A FLAC stream therefore goes
// through a file of its own first; the rest streams through a pipe, with the
// bytes looked at put back in front.
int standardInput() {
  if (::lseek(STDIN_FILENO, 0, SEEK_CUR) >= 0) return STDIN_FILENO;  // a file: libsndfile seeks in it
  char magic[4];
  std::size_t got = readFully(STDIN_FILENO, magic, sizeof magic);
  std::string_view prefix(magic, got);
  return prefix == "fLaC" ? spooled(prefix, STDIN_FILENO) : relayed(prefix, STDIN_FILENO);
}

}  // namespace

SoundFile::SoundFile(const std::string& operand) {
  int fd = openInput(operand);
  name_ = inputName();
  if (fd == STDIN_FILENO) fd = standardInput();
  file_ = sf_open_fd(fd, SFM_READ, &info_, fd != STDIN_FILENO);
  if (file_ == nullptr) stop(name_ + " holds no sound tva1 reads: " + sf_strerror(nullptr), dataError);
}

SoundFile::~SoundFile() {
  if (file_ != nullptr) sf_close(file_);
}

std::size_t SoundFile::read(float* into, std::size_t frames) {
  std::size_t got = 0;
  while (got < frames) {
    sf_count_t n = sf_readf_float(file_, into + got * channels(), static_cast<sf_count_t>(frames - got));
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  if (got < frames && sf_error(file_) != SF_ERR_NO_ERROR)
    stop("cannot read " + name_ + ": " + sf_strerror(file_), dataError);
  return got;
}

}  // namespace tva1
