#pragma once
// What Core MIDI asks of a packet list handed to MIDISend (MIDIServices.h):
// at most 65 536 bytes in all, and no packet without a byte.
#include "platform/api/core_midi.h"
#include "platform/common/os_status.h"

namespace midi_packets {

inline constexpr ByteCount largestList = 65536;
inline constexpr OSStatus malformedList = os_status::invalidParameter;

// The packet after `packet`: packets lie back to back, 4-byte aligned.
const MIDIPacket* next(const MIDIPacket* packet);

// noErr, or malformedList for a list beyond those limits.
OSStatus checkList(const MIDIPacketList* list);

}  // namespace midi_packets
