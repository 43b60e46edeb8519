// Property names of MIDI objects, as string references that are never released.
#include "platform/api/core_midi.h"

const CFStringRef kMIDIPropertyDisplayName = CFStringCreateWithCString(kCFAllocatorDefault, "displayName",
                                                                       kCFStringEncodingUTF8);
