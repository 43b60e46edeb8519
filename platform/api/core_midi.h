#pragma once
// Core MIDI: destinations, a client with an output port, packet lists.
#include "platform/api/core_foundation.h"

using MIDIObjectRef = UInt32;
using MIDIClientRef = MIDIObjectRef;
using MIDIPortRef = MIDIObjectRef;
using MIDIEndpointRef = MIDIObjectRef;
using MIDITimeStamp = UInt64;

struct MIDINotification;
using MIDINotifyProc = void (*)(const MIDINotification* message, void* refCon);

// Packed to 4 bytes as on macOS, so that a packet list is one flat block of bytes.
#pragma pack(push, 4)
struct MIDIPacket {
  MIDITimeStamp timeStamp;
  UInt16 length;
  Byte data[256];  // `length` bytes, which may run past 256 in a larger list
};
struct MIDIPacketList {
  UInt32 numPackets;
  MIDIPacket packet[1];
};
#pragma pack(pop)

extern const CFStringRef kMIDIPropertyDisplayName;

ItemCount MIDIGetNumberOfDestinations();
MIDIEndpointRef MIDIGetDestination(ItemCount destIndex0);
OSStatus MIDIObjectGetStringProperty(MIDIObjectRef obj, CFStringRef propertyID, CFStringRef* str);
OSStatus MIDIClientCreate(CFStringRef name, MIDINotifyProc notifyProc, void* notifyRefCon, MIDIClientRef* outClient);
OSStatus MIDIOutputPortCreate(MIDIClientRef client, CFStringRef portName, MIDIPortRef* outPort);
MIDIPacket* MIDIPacketListInit(MIDIPacketList* pktlist);
MIDIPacket* MIDIPacketListAdd(MIDIPacketList* pktlist, ByteCount listSize, MIDIPacket* curPacket, MIDITimeStamp time,
                              ByteCount nData, const Byte* data);
OSStatus MIDISend(MIDIPortRef port, MIDIEndpointRef dest, const MIDIPacketList* pktlist);
