#include "tools/tva1/sound_file.h"

#include "tools/tva1/tva1.h"

namespace tva1 {

SoundFile::SoundFile(const std::string& path) : path_(path) {
  file_ = sf_open(path.c_str(), SFM_READ, &info_);
  if (file_ == nullptr) stop("cannot read " + path + ": " + sf_strerror(nullptr), ioFailure);
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
    stop("cannot read " + path_ + ": " + sf_strerror(file_), ioFailure);
  return got;
}

}  // namespace tva1
