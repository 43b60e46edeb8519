// ALSA PCM plugins for the tests. "tavirelnoisy" prints on standard error
// when it is opened, as the JACK plugin does without a server, through stdio
// and through the descriptor, then fails to open. "tavirelbusy" opens its
// slave the first time and is busy from then on, as a device another program
// took between our listing and our capture. "tavirelrefuses" opens its slave
// as often as its "opens" field says (once unless given) and from then on
// fails with the errno its "error" field gives, as a device node the user
// may not open. "tavirelclocked" (below) is a device whose clock runs
// whether or not it is read.
#include <alsa/asoundlib.h>
#include <alsa/pcm_external.h>
#include <poll.h>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "tests/alsa/plugin/clocked_signal.h"

extern "C" {
SND_PCM_PLUGIN_DEFINE_FUNC(tavirelnoisy) {
  (void)pcmp;
  (void)name;
  (void)root;
  (void)conf;
  (void)stream;
  (void)mode;
  std::fprintf(stderr, "jack server is not running or cannot be started\n");
  std::fflush(stderr);
  const char line[] = "noisy plugin: a second line, written to descriptor 2\n";
  ssize_t written = write(STDERR_FILENO, line, sizeof line - 1);
  (void)written;
  return -ENODEV;
}
SND_PCM_PLUGIN_SYMBOL(tavirelnoisy);

SND_PCM_PLUGIN_DEFINE_FUNC(tavirelbusy) {
  (void)name;
  (void)root;
  (void)conf;
  static int opened = 0;
  if (opened++ > 0) return -EBUSY;
  return snd_pcm_open(pcmp, "busyslave", stream, mode);
}
SND_PCM_PLUGIN_SYMBOL(tavirelbusy);
}

extern "C" {
SND_PCM_PLUGIN_DEFINE_FUNC(tavirelrefuses) {
  (void)name;
  (void)root;
  long error = EACCES, opens = 1;
  snd_config_iterator_t i, next;
  snd_config_for_each(i, next, conf) {
    snd_config_t* field = snd_config_iterator_entry(i);
    const char* id = nullptr;
    if (snd_config_get_id(field, &id) != 0) continue;
    if (std::string_view(id) == "error") snd_config_get_integer(field, &error);
    if (std::string_view(id) == "opens") snd_config_get_integer(field, &opens);
  }
  static long opened = 0;
  if (opened++ >= opens) return -static_cast<int>(error);
  return snd_pcm_open(pcmp, "refusingslave", stream, mode);
}
SND_PCM_PLUGIN_SYMBOL(tavirelrefuses);
}

// "tavirelclocked": a capture device with a clock of its own, as hardware
// has. Frames arrive in real time from the first start whether or not they
// are read; a reader that falls a buffer behind overruns, and the frames the
// clock produced that were never read are lost. Each restart appends the
// frames lost so far to the file its "report" field names, so that a test
// knows what went missing from the device's side. Like other plugins built
// on ioplug, the stop an overrun causes leaves the trigger time stamp at the
// start.
namespace {
struct Clocked {
  snd_pcm_ioplug_t io{};
  std::string report;
  int timer = -1;
  bool begun = false;
  timespec first{};              // the clock's frame 0
  std::uint64_t base = 0;        // the clock frame this run of the stream began at
  std::uint64_t transferred = 0;  // frames read since then
  std::uint64_t lost = 0;
};

std::uint64_t clockFrame(const Clocked& pcm) {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  double seconds = static_cast<double>(now.tv_sec - pcm.first.tv_sec) +
                   static_cast<double>(now.tv_nsec - pcm.first.tv_nsec) * 1e-9;
  return static_cast<std::uint64_t>(seconds * clocked_pcm::rate);
}

Clocked& clocked(snd_pcm_ioplug_t* io) { return *static_cast<Clocked*>(io->private_data); }

int clockedStart(snd_pcm_ioplug_t* io) {
  Clocked& pcm = clocked(io);
  if (!pcm.begun) {
    pcm.begun = true;
    clock_gettime(CLOCK_MONOTONIC, &pcm.first);
  } else {
    std::uint64_t now = clockFrame(pcm);
    pcm.lost += now - (pcm.base + pcm.transferred);
    pcm.base = now;
    if (FILE* out = std::fopen(pcm.report.c_str(), "a")) {
      std::fprintf(out, "%llu\n", static_cast<unsigned long long>(pcm.lost));
      std::fclose(out);
    }
  }
  pcm.transferred = 0;
  itimerspec every{};
  auto period = static_cast<long>(io->period_size * 1'000'000'000ull / clocked_pcm::rate);
  every.it_interval.tv_nsec = every.it_value.tv_nsec = period;
  return timerfd_settime(pcm.timer, 0, &every, nullptr) < 0 ? -errno : 0;
}

int clockedStop(snd_pcm_ioplug_t* io) {
  itimerspec never{};
  timerfd_settime(clocked(io).timer, 0, &never, nullptr);
  return 0;
}

snd_pcm_sframes_t clockedPointer(snd_pcm_ioplug_t* io) {
  Clocked& pcm = clocked(io);
  std::uint64_t produced = clockFrame(pcm) - pcm.base;
  if (produced - pcm.transferred > io->buffer_size) return -EPIPE;
  return static_cast<snd_pcm_sframes_t>(produced % io->buffer_size);
}

snd_pcm_sframes_t clockedTransfer(snd_pcm_ioplug_t* io, const snd_pcm_channel_area_t* areas,
                                  snd_pcm_uframes_t offset, snd_pcm_uframes_t size) {
  Clocked& pcm = clocked(io);
  for (unsigned c = 0; c < io->channels; ++c) {
    auto* first = static_cast<char*>(areas[c].addr) + (areas[c].first + areas[c].step * offset) / 8;
    for (snd_pcm_uframes_t i = 0; i < size; ++i)
      *reinterpret_cast<float*>(first + i * areas[c].step / 8) = clocked_pcm::sample(c, pcm.base + pcm.transferred + i);
  }
  pcm.transferred += size;
  return static_cast<snd_pcm_sframes_t>(size);
}

int clockedRevents(snd_pcm_ioplug_t* io, struct pollfd*, unsigned, unsigned short* revents) {
  std::uint64_t expirations = 0;
  ssize_t got = read(clocked(io).timer, &expirations, sizeof expirations);
  (void)got;
  *revents = POLLIN;
  return 0;
}

int clockedClose(snd_pcm_ioplug_t* io) {
  Clocked* pcm = &clocked(io);
  close(pcm->timer);
  delete pcm;
  return 0;
}

const snd_pcm_ioplug_callback_t clockedCallbacks = [] {
  snd_pcm_ioplug_callback_t callbacks{};
  callbacks.start = clockedStart;
  callbacks.stop = clockedStop;
  callbacks.pointer = clockedPointer;
  callbacks.transfer = clockedTransfer;
  callbacks.poll_revents = clockedRevents;
  callbacks.close = clockedClose;
  return callbacks;
}();
}  // namespace

extern "C" {
SND_PCM_PLUGIN_DEFINE_FUNC(tavirelclocked) {
  (void)root;
  if (stream != SND_PCM_STREAM_CAPTURE) return -EINVAL;
  auto* pcm = new Clocked;
  long channels = 2;
  snd_config_iterator_t i, next;
  snd_config_for_each(i, next, conf) {
    snd_config_t* field = snd_config_iterator_entry(i);
    const char* id = nullptr;
    const char* text = nullptr;
    if (snd_config_get_id(field, &id) < 0) continue;
    std::string_view key(id);
    if (key == "report" && snd_config_get_string(field, &text) == 0) pcm->report = text;
    if (key == "channels") snd_config_get_integer(field, &channels);
  }
  pcm->timer = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  pcm->io.version = SND_PCM_IOPLUG_VERSION;
  pcm->io.name = "tavirel clocked test device";
  pcm->io.callback = &clockedCallbacks;
  pcm->io.private_data = pcm;
  pcm->io.poll_fd = pcm->timer;
  pcm->io.poll_events = POLLIN;
  int err = snd_pcm_ioplug_create(&pcm->io, name, stream, mode);
  if (err < 0) {
    close(pcm->timer);
    delete pcm;
    return err;
  }
  unsigned access[] = {SND_PCM_ACCESS_RW_INTERLEAVED};
  unsigned format[] = {SND_PCM_FORMAT_FLOAT_LE};
  snd_pcm_ioplug_set_param_list(&pcm->io, SND_PCM_IOPLUG_HW_ACCESS, 1, access);
  snd_pcm_ioplug_set_param_list(&pcm->io, SND_PCM_IOPLUG_HW_FORMAT, 1, format);
  snd_pcm_ioplug_set_param_minmax(&pcm->io, SND_PCM_IOPLUG_HW_CHANNELS, static_cast<unsigned>(channels),
                                  static_cast<unsigned>(channels));
  snd_pcm_ioplug_set_param_minmax(&pcm->io, SND_PCM_IOPLUG_HW_RATE, clocked_pcm::rate, clocked_pcm::rate);
  snd_pcm_ioplug_set_param_minmax(&pcm->io, SND_PCM_IOPLUG_HW_PERIODS, 2, 64);
  snd_pcm_ioplug_set_param_minmax(&pcm->io, SND_PCM_IOPLUG_HW_PERIOD_BYTES, 64 * 4, 65536 * 4);
  *pcmp = pcm->io.pcm;
  return 0;
}
SND_PCM_PLUGIN_SYMBOL(tavirelclocked);
}
