#pragma once
// Everything the core asks of the operating system. On macOS the system
// frameworks themselves; on Linux and in the simulation, our own functions
// with the same names and contracts, chosen at link time.
#if defined(__APPLE__)
#include <AudioToolbox/AudioToolbox.h>
#include <CoreAudio/CoreAudio.h>
#include <CoreFoundation/CoreFoundation.h>
#include <CoreMIDI/CoreMIDI.h>
#else
#include "platform/api/audio_toolbox.h"
#include "platform/api/core_audio.h"
#include "platform/api/core_foundation.h"
#include "platform/api/core_midi.h"
#endif
#include "platform/host.h"
