// The HAL output unit's contract in the simulation. (Stand-in.)
#include "platform/api/audio_toolbox.h"

AudioComponent AudioComponentFindNext(AudioComponent, const AudioComponentDescription*) { return nullptr; }
OSStatus AudioComponentInstanceNew(AudioComponent, AudioComponentInstance*) { return -1; }
OSStatus AudioUnitSetProperty(AudioUnit, AudioUnitPropertyID, AudioUnitScope, AudioUnitElement, const void*, UInt32) {
  return -1;
}
OSStatus AudioUnitGetProperty(AudioUnit, AudioUnitPropertyID, AudioUnitScope, AudioUnitElement, void*, UInt32*) {
  return -1;
}
OSStatus AudioUnitInitialize(AudioUnit) { return -1; }
OSStatus AudioOutputUnitStart(AudioUnit) { return -1; }
OSStatus AudioUnitRender(AudioUnit, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32,
                         AudioBufferList*) {
  return -1;
}
