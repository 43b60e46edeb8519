#include "tools/tva1/sound_writer.h"

#include "frame/stream_rate.h"

namespace tva1 {

const char* extension(SoundFormat format) { return format == SoundFormat::flac ? "flac" : "wav"; }

SoundWriter::~SoundWriter() {
  if (file_ != nullptr) sf_close(file_);
}

bool SoundWriter::open(const std::string& path, SoundFormat format) {
  SF_INFO info{};
  info.samplerate = framing::streamRate;
  info.channels = 1;
  info.format = (format == SoundFormat::flac ? SF_FORMAT_FLAC : SF_FORMAT_WAV) | SF_FORMAT_PCM_16;
  file_ = sf_open(path.c_str(), SFM_WRITE, &info);
  if (file_ == nullptr) return false;
  // The sizes in the header follow every write: an interrupted run leaves a
  // file that players read to its end, not an empty one.
  sf_command(file_, SFC_SET_UPDATE_HEADER_AUTO, nullptr, SF_TRUE);
  return true;
}

bool SoundWriter::append(const std::int16_t* samples, std::size_t count) {
  const auto want = static_cast<sf_count_t>(count);
  return sf_write_short(file_, samples, want) == want;
}

bool SoundWriter::finish() {
  bool ok = sf_close(file_) == 0;
  file_ = nullptr;
  return ok;
}

std::string SoundWriter::error() const { return sf_strerror(file_); }

}  // namespace tva1
