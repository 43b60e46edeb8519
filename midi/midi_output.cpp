// Stand-in.
#include "midi/midi_output.h"

MIDIClientRef midiClient = 0;
MIDIPortRef midiPort = 0;

std::vector<std::string> midiDestinations() { return {}; }
void sendMidi(const std::vector<std::uint8_t>&, const std::string&) {}
