#pragma once
// One ALSA capture stream for the Linux audio unit: every channel of a PCM at
// one rate, in whatever sample format the PCM offers, read a period at a time
// and converted to 32-bit float per channel.
#include <alsa/asoundlib.h>

#include <cstddef>
#include <string>
#include <vector>

struct AlsaCaptureStream {
  snd_pcm_t* pcm = nullptr;
  snd_pcm_format_t format = SND_PCM_FORMAT_UNKNOWN;
  unsigned channels = 0;
  unsigned rate = 0;
  std::size_t periodFrames = 0;  // frames per read, at most 8192
  std::vector<unsigned char> raw;  // one period, interleaved, as read
};

// Opens `name` for capture with `channels` channels at exactly `rate` Hz.
// 0, or a negative errno.
int openAlsaCapture(const std::string& name, unsigned channels, double rate, AlsaCaptureStream& stream);

// The sample formats we can convert, most preferred first.
const std::vector<snd_pcm_format_t>& convertibleFormats();

// Channel `channel` of `frames` interleaved frames in `format` to floats with full scale ±1.
void convertChannel(const unsigned char* raw, snd_pcm_format_t format, unsigned channels, unsigned channel,
                    std::size_t frames, float* out);
