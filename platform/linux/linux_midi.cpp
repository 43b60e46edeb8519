// Core MIDI's contract over the ALSA sequencer. (Stand-in until MIDI lands.)
#include "platform/api/core_midi.h"

ItemCount MIDIGetNumberOfDestinations() { return 0; }
MIDIEndpointRef MIDIGetDestination(ItemCount) { return 0; }
OSStatus MIDIObjectGetStringProperty(MIDIObjectRef, CFStringRef, CFStringRef* str) {
  *str = nullptr;
  return -1;
}
OSStatus MIDIClientCreate(CFStringRef, MIDINotifyProc, void*, MIDIClientRef* outClient) {
  *outClient = 0;
  return -1;
}
OSStatus MIDIOutputPortCreate(MIDIClientRef, CFStringRef, MIDIPortRef* outPort) {
  *outPort = 0;
  return -1;
}
OSStatus MIDISend(MIDIPortRef, MIDIEndpointRef, const MIDIPacketList*) { return -1; }
