#pragma once
// MIDI destinations by display name, and sending one message to one of them.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

// This process's MIDI client and output port; 0 until the first send.
extern MIDIClientRef midiClient;
extern MIDIPortRef midiPort;

// Display names in the platform's order; "Destination N" (1-based) for unnamed ones.
std::vector<std::string> midiDestinations();

// Sends `message` to the destination `dest` names; reports "midi-sent" or "midi-error".
void sendMidi(const std::vector<std::uint8_t>& message, const std::string& dest);
