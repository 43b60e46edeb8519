#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

// This process's MIDI client and output port; 0 until the first send.
extern MIDIClientRef midiClient;
extern MIDIPortRef midiPort;
