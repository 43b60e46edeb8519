// Audio object properties over ALSA. (Stand-in until the ALSA catalogue lands.)
#include "platform/api/core_audio.h"

namespace {
constexpr OSStatus unknownProperty = 0x77686F3F;  // 'who?'
}

OSStatus AudioObjectGetPropertyDataSize(AudioObjectID, const AudioObjectPropertyAddress*, UInt32, const void*,
                                        UInt32*) {
  return unknownProperty;
}
OSStatus AudioObjectGetPropertyData(AudioObjectID, const AudioObjectPropertyAddress*, UInt32, const void*, UInt32*,
                                    void*) {
  return unknownProperty;
}
OSStatus AudioObjectSetPropertyData(AudioObjectID, const AudioObjectPropertyAddress*, UInt32, const void*, UInt32,
                                    const void*) {
  return unknownProperty;
}
