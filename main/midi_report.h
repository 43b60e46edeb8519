#pragma once
// What became of a MIDI message, in the support log and as its event.
#include "midi/midi_output.h"

// "midi-sent" or "midi-error", each after its support-log line; the run goes on.
void reportMidiOutcome(const MidiOutcome& outcome);
