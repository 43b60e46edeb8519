#pragma once
// The HAL output audio unit, used for input.
#include "platform/api/core_audio.h"

using AudioComponent = struct OpaqueAudioComponent*;
using AudioComponentInstance = struct ComponentInstanceRecord*;
using AudioUnit = AudioComponentInstance;
using AudioUnitPropertyID = UInt32;
using AudioUnitScope = UInt32;
using AudioUnitElement = UInt32;
using AudioUnitRenderActionFlags = UInt32;
using AudioFormatID = UInt32;
using AudioFormatFlags = UInt32;

struct AudioComponentDescription {
  OSType componentType;
  OSType componentSubType;
  OSType componentManufacturer;
  UInt32 componentFlags;
  UInt32 componentFlagsMask;
};

struct AudioStreamBasicDescription {
  Float64 mSampleRate;
  AudioFormatID mFormatID;
  AudioFormatFlags mFormatFlags;
  UInt32 mBytesPerPacket;
  UInt32 mFramesPerPacket;
  UInt32 mBytesPerFrame;
  UInt32 mChannelsPerFrame;
  UInt32 mBitsPerChannel;
  UInt32 mReserved;
};

// mFlags: which fields of the time stamp hold a value.
constexpr UInt32 kAudioTimeStampSampleTimeValid = 1u << 0;

// Only the sample time is filled in by our layers; the core passes it through.
struct AudioTimeStamp {
  Float64 mSampleTime;
  UInt64 mHostTime;
  Float64 mRateScalar;
  UInt64 mWordClockTime;
  UInt32 mFlags;
  UInt32 mReserved;
};

using AURenderCallback = OSStatus (*)(void* inRefCon, AudioUnitRenderActionFlags* ioActionFlags,
                                      const AudioTimeStamp* inTimeStamp, UInt32 inBusNumber,
                                      UInt32 inNumberFrames, AudioBufferList* ioData);

struct AURenderCallbackStruct {
  AURenderCallback inputProc;
  void* inputProcRefCon;
};

constexpr OSType kAudioUnitType_Output = fourCharCode("auou");
constexpr OSType kAudioUnitSubType_HALOutput = fourCharCode("ahal");
constexpr OSType kAudioUnitManufacturer_Apple = fourCharCode("appl");

// Returned by opening or initialising a unit the process may not use (AUComponent.h).
constexpr OSStatus kAudioUnitErr_Unauthorized = -10847;

constexpr AudioUnitPropertyID kAudioUnitProperty_StreamFormat = 8;
constexpr AudioUnitPropertyID kAudioUnitProperty_MaximumFramesPerSlice = 14;
constexpr AudioUnitPropertyID kAudioOutputUnitProperty_CurrentDevice = 2000;
constexpr AudioUnitPropertyID kAudioOutputUnitProperty_EnableIO = 2003;
constexpr AudioUnitPropertyID kAudioOutputUnitProperty_SetInputCallback = 2005;

constexpr AudioUnitScope kAudioUnitScope_Global = 0;
constexpr AudioUnitScope kAudioUnitScope_Input = 1;
constexpr AudioUnitScope kAudioUnitScope_Output = 2;

constexpr AudioFormatID kAudioFormatLinearPCM = fourCharCode("lpcm");
constexpr AudioFormatFlags kAudioFormatFlagIsFloat = 0x1;
constexpr AudioFormatFlags kAudioFormatFlagIsPacked = 0x8;
constexpr AudioFormatFlags kAudioFormatFlagIsNonInterleaved = 0x20;

AudioComponent AudioComponentFindNext(AudioComponent inComponent, const AudioComponentDescription* inDesc);
OSStatus AudioComponentInstanceNew(AudioComponent inComponent, AudioComponentInstance* outInstance);
OSStatus AudioUnitSetProperty(AudioUnit inUnit, AudioUnitPropertyID inID, AudioUnitScope inScope,
                              AudioUnitElement inElement, const void* inData, UInt32 inDataSize);
OSStatus AudioUnitGetProperty(AudioUnit inUnit, AudioUnitPropertyID inID, AudioUnitScope inScope,
                              AudioUnitElement inElement, void* outData, UInt32* ioDataSize);
OSStatus AudioUnitInitialize(AudioUnit inUnit);
OSStatus AudioOutputUnitStart(AudioUnit ci);
OSStatus AudioUnitRender(AudioUnit inUnit, AudioUnitRenderActionFlags* ioActionFlags,
                         const AudioTimeStamp* inTimeStamp, UInt32 inOutputBusNumber, UInt32 inNumberFrames,
                         AudioBufferList* ioData);
