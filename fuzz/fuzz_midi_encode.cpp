// Bytes of a "midi" array as the Linux layer sends them: through the ALSA
// sequencer's stateful encoder into events. Besides crashes it checks that
// every event decodes again and that system exclusive data stays within the
// message.
#include <alsa/asoundlib.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "platform/linux/alsa_seq_encode.h"
#include "fuzz/check.h"


extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  snd_midi_event_t* raw = nullptr;
  if (snd_midi_event_new(size + 16, &raw) < 0) return 0;
  std::unique_ptr<snd_midi_event_t, decltype(&snd_midi_event_free)> decoder(raw, snd_midi_event_free);
  snd_midi_event_no_status(decoder.get(), 1);
  std::size_t sysexBytes = 0;
  int result = encodeMidi(data, size, [&](snd_seq_event_t& event) {
    if (event.type == SND_SEQ_EVENT_SYSEX) {
      check(event.data.ext.len <= size);
      sysexBytes += event.data.ext.len;
      return 0;
    }
    unsigned char bytes[16];
    check(snd_midi_event_decode(decoder.get(), bytes, sizeof bytes, &event) > 0);
    return 0;
  });
  check(result == 0 || result < 0);
  check(sysexBytes <= size);
  return 0;
}
