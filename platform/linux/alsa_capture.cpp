#include "platform/linux/alsa_capture.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "platform/linux/alsa_quiet.h"
#include "platform/linux/streamable_rate.h"

namespace {
constexpr std::size_t largestPeriod = 8192;

// Short periods keep the hand-off latency low; 10 ms is what desktop audio uses.
snd_pcm_uframes_t wantedPeriod(unsigned rate) {
  snd_pcm_uframes_t frames = rate / 100;
  return frames < 32 ? 32 : frames;
}

std::uint32_t littleEndian32(const unsigned char* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

template <typename Sample>
void convert(const unsigned char* raw, std::size_t stride, std::size_t frames, float* out, Sample sample) {
  for (std::size_t i = 0; i < frames; ++i) out[i] = sample(raw + i * stride);
}

int configure(snd_pcm_t* pcm, unsigned channels, double rate, AlsaCaptureStream& stream) {
  snd_pcm_hw_params_t* params;
  snd_pcm_hw_params_alloca(&params);
  int err = snd_pcm_hw_params_any(pcm, params);
  if (err < 0) return err;
  if ((err = snd_pcm_hw_params_set_access(pcm, params, SND_PCM_ACCESS_RW_INTERLEAVED)) < 0) return err;
  snd_pcm_format_t format = SND_PCM_FORMAT_UNKNOWN;
  for (auto candidate : convertibleFormats())
    if (snd_pcm_hw_params_test_format(pcm, params, candidate) == 0) {
      format = candidate;
      break;
    }
  if (format == SND_PCM_FORMAT_UNKNOWN) return -EINVAL;
  if ((err = snd_pcm_hw_params_set_format(pcm, params, format)) < 0) return err;
  if ((err = snd_pcm_hw_params_set_channels(pcm, params, channels)) < 0) return err;
  if (!streamableRate(rate)) return -EINVAL;
  unsigned exact = static_cast<unsigned>(std::lround(rate));
  if ((err = snd_pcm_hw_params_set_rate(pcm, params, exact, 0)) < 0) return err;
  snd_pcm_uframes_t period = wantedPeriod(exact);
  int dir = 0;
  snd_pcm_hw_params_set_period_size_near(pcm, params, &period, &dir);
  snd_pcm_uframes_t buffer = period * 8;
  snd_pcm_hw_params_set_buffer_size_near(pcm, params, &buffer);
  if ((err = snd_pcm_hw_params(pcm, params)) < 0) return err;
  snd_pcm_hw_params_get_period_size(params, &period, &dir);

  stream.format = format;
  stream.channels = channels;
  stream.rate = exact;
  stream.periodFrames = period == 0 ? wantedPeriod(exact) : period > largestPeriod ? largestPeriod : period;
  stream.raw.assign(stream.periodFrames * channels * static_cast<std::size_t>(snd_pcm_format_physical_width(format) / 8),
                    0);
  return 0;
}
}  // namespace

const std::vector<snd_pcm_format_t>& convertibleFormats() {
  static const std::vector<snd_pcm_format_t> formats{SND_PCM_FORMAT_FLOAT_LE,   SND_PCM_FORMAT_S32_LE,
                                                     SND_PCM_FORMAT_S24_LE,     SND_PCM_FORMAT_S24_3LE,
                                                     SND_PCM_FORMAT_S16_LE,     SND_PCM_FORMAT_FLOAT64_LE,
                                                     SND_PCM_FORMAT_U8};
  return formats;
}

int openAlsaCapture(const std::string& name, unsigned channels, double rate, AlsaCaptureStream& stream) {
  quietAlsa();
  snd_pcm_t* pcm = nullptr;
  // Opened without blocking, so a busy device answers at once instead of
  // holding the start; reads then block.
  int err = snd_pcm_open(&pcm, name.c_str(), SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK);
  if (err < 0) return err;
  if ((err = snd_pcm_nonblock(pcm, 0)) < 0 || (err = configure(pcm, channels, rate, stream)) < 0 ||
      (err = snd_pcm_prepare(pcm)) < 0) {
    snd_pcm_close(pcm);
    return err;
  }
  stream.pcm = pcm;
  return 0;
}

void convertChannel(const unsigned char* raw, snd_pcm_format_t format, unsigned channels, unsigned channel,
                    std::size_t frames, float* out) {
  std::size_t width = static_cast<std::size_t>(snd_pcm_format_physical_width(format) / 8);
  std::size_t stride = width * channels;
  const unsigned char* first = raw + width * channel;
  switch (format) {
    case SND_PCM_FORMAT_FLOAT_LE:
      convert(first, stride, frames, out, [](const unsigned char* p) { return std::bit_cast<float>(littleEndian32(p)); });
      break;
    case SND_PCM_FORMAT_S32_LE:
      convert(first, stride, frames, out, [](const unsigned char* p) {
        return static_cast<float>(static_cast<double>(static_cast<std::int32_t>(littleEndian32(p))) / 2147483648.0);
      });
      break;
    case SND_PCM_FORMAT_S24_LE:  // 24 bits in the low three bytes of four
      convert(first, stride, frames, out, [](const unsigned char* p) {
        auto bits = static_cast<std::int32_t>(littleEndian32(p) << 8) >> 8;
        return static_cast<float>(static_cast<double>(bits) / 8388608.0);
      });
      break;
    case SND_PCM_FORMAT_S24_3LE:
      convert(first, stride, frames, out, [](const unsigned char* p) {
        std::uint32_t bits = std::uint32_t(p[0]) << 8 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 24;
        return static_cast<float>(static_cast<double>(static_cast<std::int32_t>(bits) >> 8) / 8388608.0);
      });
      break;
    case SND_PCM_FORMAT_S16_LE:
      convert(first, stride, frames, out, [](const unsigned char* p) {
        auto bits = static_cast<std::int16_t>(std::uint16_t(p[0]) | std::uint16_t(p[1]) << 8);
        return static_cast<float>(bits) / 32768.0f;
      });
      break;
    case SND_PCM_FORMAT_FLOAT64_LE:
      convert(first, stride, frames, out, [](const unsigned char* p) {
        std::uint64_t bits = std::uint64_t(littleEndian32(p)) | std::uint64_t(littleEndian32(p + 4)) << 32;
        return static_cast<float>(std::bit_cast<double>(bits));
      });
      break;
    case SND_PCM_FORMAT_U8:
      convert(first, stride, frames, out, [](const unsigned char* p) { return (static_cast<float>(p[0]) - 128.0f) / 128.0f; });
      break;
    default:
      std::memset(out, 0, frames * sizeof(float));
      break;
  }
}
