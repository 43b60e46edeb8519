#pragma once
// The statuses the system frameworks give for the faults the Linux and
// simulated layers can meet, with the values a caller on macOS sees, so that
// the core's messages and tests read the same on every platform.
#include "platform/api/types.h"

namespace os_status {

inline constexpr OSStatus invalidParameter = -50;  // paramErr

// Audio objects (AudioHardwareBase.h).
inline constexpr OSStatus badObject = 0x216F626A;          // '!obj'
inline constexpr OSStatus badDevice = 0x21646576;          // '!dev'
inline constexpr OSStatus unknownProperty = 0x77686F3F;    // 'who?'
inline constexpr OSStatus badPropertySize = 0x2173697A;    // '!siz'
inline constexpr OSStatus unsupportedFormat = 0x21646174;  // '!dat'
inline constexpr OSStatus unspecified = 0x77686174;        // 'what'

// The output unit (AUComponent.h).
inline constexpr OSStatus invalidProperty = -10879;  // also a property on a scope it does not have
inline constexpr OSStatus invalidElement = -10877;
inline constexpr OSStatus noConnection = -10876;
inline constexpr OSStatus tooManyFrames = -10874;
inline constexpr OSStatus formatNotSupported = -10868;
inline constexpr OSStatus uninitialized = -10867;
inline constexpr OSStatus cannotDoNow = -10863;
inline constexpr OSStatus initialized = -10849;

// Core MIDI (MIDIServices.h).
inline constexpr OSStatus invalidClient = -10830;
inline constexpr OSStatus invalidPort = -10831;
inline constexpr OSStatus unknownEndpoint = -10834;
inline constexpr OSStatus unknownMidiProperty = -10835;

}  // namespace os_status
