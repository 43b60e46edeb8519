#include "platform/linux/alsa_seq_encode.h"

#include <cerrno>
#include <memory>

int encodeMidi(const unsigned char* bytes, std::size_t count, const std::function<int(snd_seq_event_t&)>& send) {
  if (count == 0) return 0;
  // The encoder gathers system exclusive in its buffer: sized to the message,
  // the whole message leaves as one event instead of being cut into pieces.
  snd_midi_event_t* raw = nullptr;
  if (int made = snd_midi_event_new(count, &raw); made < 0) return made;
  std::unique_ptr<snd_midi_event_t, decltype(&snd_midi_event_free)> encoder(raw, snd_midi_event_free);
  snd_midi_event_reset_encode(encoder.get());

  bool pending = false;  // bytes taken in that no event has carried yet
  for (std::size_t i = 0; i < count; ++i) {
    snd_seq_event_t event;
    snd_seq_ev_clear(&event);
    int complete = snd_midi_event_encode_byte(encoder.get(), bytes[i], &event);
    if (complete < 0) return complete;
    bool realTime = bytes[i] >= 0xF8;  // may fall between the bytes of another message
    if (complete == 0) {
      if (!realTime) pending = true;
      continue;
    }
    if (!realTime) pending = false;
    if (event.type == SND_SEQ_EVENT_NONE) continue;
    if (int sent = send(event); sent < 0) return sent;
  }
  return pending ? -EINVAL : 0;
}
