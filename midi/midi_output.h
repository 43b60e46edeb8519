#pragma once
// MIDI destinations by display name, and sending one message to one of them.
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

// Display names in the platform's order; "Destination N" (1-based) for unnamed ones.
std::vector<std::string> midiDestinations();

// A message that went out: the destination as listed, and the bytes.
struct MidiSent {
  std::string dest;
  std::vector<std::uint8_t> bytes;
};
// A message that did not: why, as the "midi-error" event says it.
struct MidiNotSent {
  std::string msg;
};
using MidiOutcome = std::variant<MidiSent, MidiNotSent>;

// Sends `message` to the destination `dest` names. The process's MIDI client
// and output port are made on the first send.
MidiOutcome sendMidi(std::vector<std::uint8_t> message, const std::string& dest);

// For tests, each of which has a MIDI service of its own: whether the client
// is made, and forgetting client and port, so that the next send makes them.
bool midiClientMade();
void forgetMidiClient();
