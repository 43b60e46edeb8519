#include "midi/midi_output.h"

MIDIClientRef midiClient = 0;
MIDIPortRef midiPort = 0;
