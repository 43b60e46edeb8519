#include "tools/tva1/progress.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace tva1 {

Progress::Progress(std::string what, std::uint64_t total)
    : what_(std::move(what)), total_(isatty(STDERR_FILENO) ? total : 0), start_(std::chrono::steady_clock::now()) {}

Progress::~Progress() {
  if (shown_) std::fputs("\r\x1b[K", stderr);
}

void Progress::update(std::uint64_t done) {
  if (total_ == 0) return;
  auto now = std::chrono::steady_clock::now();
  if (now - start_ < std::chrono::seconds(1) || (shown_ && now - last_ < std::chrono::milliseconds(250))) return;
  last_ = now;
  shown_ = true;
  unsigned percent = static_cast<unsigned>(done >= total_ ? 100 : done * 100 / total_);
  std::fprintf(stderr, "\r%s: %u%%\x1b[K", what_.c_str(), percent);
}

std::uint64_t inputSize(int fd) {
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return 0;
  return static_cast<std::uint64_t>(st.st_size);
}

}  // namespace tva1
