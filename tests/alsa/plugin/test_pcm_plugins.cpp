// ALSA PCM plugins for the tests. "tavirelnoisy" prints on standard error
// when it is opened, as the JACK plugin does without a server, through stdio
// and through the descriptor, then fails to open. "tavirelbusy" opens its
// slave the first time and is busy from then on, as a device another program
// took between our listing and our capture. "tavirelrefuses" opens its slave
// as often as its "opens" field says (once unless given) and from then on
// fails with the errno its "error" field gives, as a device node the user
// may not open.
#include <alsa/asoundlib.h>
#include <alsa/pcm_external.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string_view>

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
