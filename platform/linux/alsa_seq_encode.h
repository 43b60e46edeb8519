#pragma once
// Raw MIDI bytes as ALSA sequencer events.
#include <alsa/asoundlib.h>

#include <cstddef>
#include <functional>

// Encodes one message, calling `send` for each event in order (events carry
// no addresses yet) and stopping at the first negative result of `send`.
// Gives 0, the negative result of `send` or of the encoder, or -EINVAL when
// bytes are left that no event carries (the message ends inside an event).
// A system-exclusive message of any length becomes one event.
int encodeMidi(const unsigned char* bytes, std::size_t count, const std::function<int(snd_seq_event_t&)>& send);
