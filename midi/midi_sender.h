#pragma once
// MIDI sends on a thread of their own, in the order they are handed over: a
// MIDI service that does not answer then holds up only the sends, never the
// thread that hands them over (the control channel's reader, the only one).
#include <cstdint>
#include <string>
#include <vector>

#include "midi/midi_output.h"

// Called on the MIDI thread with what became of each message.
using MidiReport = void (*)(const MidiOutcome& outcome);

// Hands `message` for `dest` to the MIDI thread, which sends it and gives
// `report` the outcome. While 64 messages wait this waits too, so a parent
// that writes faster than we send meets the back-pressure of its pipe. False,
// with nothing handed over, when the MIDI thread is stuck (a MIDI service
// that never answers), so that the caller still gets to its next line.
bool handOverMidi(std::vector<std::uint8_t> message, std::string dest, MidiReport report);

// Runs `end`, which ends the process, on the MIDI thread once every message
// handed over before has been sent; should that thread stop getting through
// them, runs it on this one after a while.
[[noreturn]] void endAfterHandedOverMidi(void (*end)());
