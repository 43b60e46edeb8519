// The HAL output unit's contract over ALSA capture: the unit opens the
// device's PCM with all its input channels at the nominal rate, reads it on a
// capture thread of its own and calls the input callback once per period;
// AudioUnitRender hands the period just read out as one float buffer per
// channel.
#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <thread>

#include "platform/api/audio_toolbox.h"
#include "platform/linux/alsa_capture.h"
#include "platform/linux/alsa_devices.h"
#include "platform/linux/alsa_quiet.h"

struct ComponentInstanceRecord {
  std::optional<AlsaDevice> device;
  AudioStreamBasicDescription client{};
  bool haveClient = false;
  UInt32 maxFrames = 4096;
  AURenderCallbackStruct callback{nullptr, nullptr};
  AlsaCaptureStream stream;
  std::atomic<bool> started{false};
  // Capture thread only: the outcome of the read the callback is about.
  long lastRead = 0;
};

namespace {
constexpr OSStatus badDevice = 0x21646576;  // '!dev'
constexpr OSStatus formatNotSupported = -10868;
constexpr OSStatus invalidProperty = -10879;
constexpr OSStatus invalidParameter = -50;
constexpr OSStatus uninitialized = -10867;
constexpr OSStatus tooManyFrames = -10874;
constexpr OSStatus cannotDoNow = -10863;  // the read behind this render failed

int componentToken;

void tryRealTimePriority() {
  sched_param param{};
  param.sched_priority = sched_get_priority_min(SCHED_FIFO) + 10;
  pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);  // without the privilege, ordinary scheduling
}

// A PCM without a clock of its own (a plugin over "null", as test and demo
// devices are) delivers as fast as it is read. Such reads come back at once,
// so they are paced to the nominal rate; a read that had to wait shows the
// device keeps time itself, and pacing starts over from there. A clocked
// device therefore never waits on our clock and cannot drift against it.
class Pacer {
 public:
  explicit Pacer(unsigned rate, std::size_t period) : rate_(rate), period_(period) {}

  void after(std::chrono::steady_clock::time_point readStart, std::size_t frames) {
    auto now = std::chrono::steady_clock::now();
    auto periodTime = std::chrono::duration<double>(static_cast<double>(period_) / rate_);
    if (now - readStart > periodTime / 4) {
      anchor_ = now;
      framesSinceAnchor_ = 0;
      return;
    }
    framesSinceAnchor_ += frames;
    auto due = anchor_ + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                             std::chrono::duration<double>(static_cast<double>(framesSinceAnchor_) / rate_));
    if (due > now) std::this_thread::sleep_until(due);
  }

 private:
  double rate_;
  std::size_t period_;
  std::chrono::steady_clock::time_point anchor_ = std::chrono::steady_clock::now();
  std::uint64_t framesSinceAnchor_ = 0;
};

void callBack(AudioUnit unit, std::uint64_t& sampleTime, UInt32 frames) {
  AudioTimeStamp stamp{};
  stamp.mSampleTime = static_cast<double>(sampleTime);
  AudioUnitRenderActionFlags flags = 0;
  unit->callback.inputProc(unit->callback.inputProcRefCon, &flags, &stamp, 1, frames, nullptr);
  sampleTime += frames;
}

void captureLoop(AudioUnit unit) {
  tryRealTimePriority();
  AlsaCaptureStream& stream = unit->stream;
  Pacer pacer(stream.rate, stream.periodFrames);
  std::uint64_t sampleTime = 0;
  auto period = static_cast<snd_pcm_uframes_t>(stream.periodFrames);
  for (;;) {
    auto readStart = std::chrono::steady_clock::now();
    snd_pcm_sframes_t got = snd_pcm_readi(stream.pcm, stream.raw.data(), period);
    if (got >= 0) {
      unit->lastRead = got;
      callBack(unit, sampleTime, static_cast<UInt32>(got));
      pacer.after(readStart, static_cast<std::size_t>(got));
      continue;
    }
    switch (got) {
      case -EINTR:
      case -EAGAIN:
        continue;
      case -EPIPE:  // overrun: this period is lost, the render for it fails
        unit->lastRead = got;
        callBack(unit, sampleTime, static_cast<UInt32>(period));
        if (snd_pcm_prepare(stream.pcm) < 0) return;
        continue;
      case -ESTRPIPE: {  // suspended: resume, or start over
        int err;
        while ((err = snd_pcm_resume(stream.pcm)) == -EAGAIN) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (err < 0 && snd_pcm_prepare(stream.pcm) < 0) return;
        continue;
      }
      default:
        // Unplugged (-ENODEV, -EBADFD) or broken: stop reading. The watchdog
        // finds the device gone, or the audio missing, and ends the run.
        return;
    }
  }
}
}  // namespace

AudioComponent AudioComponentFindNext(AudioComponent previous, const AudioComponentDescription* description) {
  if (previous != nullptr || description == nullptr) return nullptr;
  if (description->componentType != kAudioUnitType_Output ||
      description->componentSubType != kAudioUnitSubType_HALOutput ||
      description->componentManufacturer != kAudioUnitManufacturer_Apple)
    return nullptr;
  return reinterpret_cast<AudioComponent>(&componentToken);
}

OSStatus AudioComponentInstanceNew(AudioComponent component, AudioComponentInstance* instance) {
  if (component == nullptr || instance == nullptr) return invalidParameter;
  quietAlsa();
  *instance = new ComponentInstanceRecord;  // lives as long as the process, like the system's
  return noErr;
}

OSStatus AudioUnitSetProperty(AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                              const void* data, UInt32 size) {
  if (unit == nullptr || data == nullptr) return invalidParameter;
  if (unit->started) return uninitialized;
  switch (id) {
    case kAudioOutputUnitProperty_EnableIO:
      return size == sizeof(UInt32) ? noErr : invalidParameter;
    case kAudioOutputUnitProperty_CurrentDevice: {
      if (size != sizeof(AudioObjectID)) return invalidParameter;
      AudioObjectID id32;
      std::memcpy(&id32, data, sizeof id32);
      auto device = alsaDevice(id32);
      if (!device || device->channels == 0) return badDevice;
      unit->device = device;
      return noErr;
    }
    case kAudioUnitProperty_StreamFormat: {
      if (scope != kAudioUnitScope_Output || element != 1) return invalidProperty;
      if (size < sizeof(AudioStreamBasicDescription)) return invalidParameter;
      AudioStreamBasicDescription format;
      std::memcpy(&format, data, sizeof format);
      AudioFormatFlags wanted = kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked | kAudioFormatFlagIsNonInterleaved;
      if (format.mFormatID != kAudioFormatLinearPCM || format.mFormatFlags != wanted || format.mBitsPerChannel != 32 ||
          !(format.mSampleRate >= 1 && format.mSampleRate <= 4e6) ||
          (unit->device && format.mChannelsPerFrame != unit->device->channels))
        return formatNotSupported;
      unit->client = format;
      unit->haveClient = true;
      return noErr;
    }
    case kAudioUnitProperty_MaximumFramesPerSlice:
      if (size != sizeof(UInt32)) return invalidParameter;
      std::memcpy(&unit->maxFrames, data, sizeof unit->maxFrames);
      return noErr;
    case kAudioOutputUnitProperty_SetInputCallback:
      if (size != sizeof(AURenderCallbackStruct)) return invalidParameter;
      std::memcpy(&unit->callback, data, sizeof unit->callback);
      return noErr;
    default:
      return invalidProperty;
  }
}

OSStatus AudioUnitGetProperty(AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                              void* data, UInt32* size) {
  if (unit == nullptr || data == nullptr || size == nullptr) return invalidParameter;
  if (id != kAudioUnitProperty_StreamFormat || scope != kAudioUnitScope_Input || element != 1) return invalidProperty;
  if (*size < sizeof(AudioStreamBasicDescription)) return invalidParameter;
  if (!unit->device) return uninitialized;
  AudioStreamBasicDescription format{};
  format.mSampleRate = unit->device->rate;
  format.mFormatID = kAudioFormatLinearPCM;
  format.mFormatFlags = kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked;
  format.mChannelsPerFrame = unit->device->channels;
  format.mBytesPerFrame = 4 * format.mChannelsPerFrame;
  format.mBytesPerPacket = format.mBytesPerFrame;
  format.mFramesPerPacket = 1;
  format.mBitsPerChannel = 32;
  std::memcpy(data, &format, sizeof format);
  *size = sizeof format;
  return noErr;
}

OSStatus AudioUnitInitialize(AudioUnit unit) {
  if (unit == nullptr) return invalidParameter;
  if (!unit->device) return badDevice;
  if (!unit->haveClient) return formatNotSupported;
  if (unit->stream.pcm != nullptr) return noErr;
  int err = openAlsaCapture(unit->device->pcm, unit->device->channels, unit->client.mSampleRate, unit->stream);
  return err < 0 ? static_cast<OSStatus>(err) : noErr;
}

OSStatus AudioOutputUnitStart(AudioUnit unit) {
  if (unit == nullptr) return invalidParameter;
  if (unit->stream.pcm == nullptr || unit->callback.inputProc == nullptr) return uninitialized;
  if (unit->started.exchange(true)) return noErr;
  try {
    std::thread(captureLoop, unit).detach();
  } catch (const std::system_error& error) {
    unit->started = false;
    return -error.code().value();
  }
  return noErr;
}

OSStatus AudioUnitRender(AudioUnit unit, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32 frames,
                         AudioBufferList* data) {
  if (unit == nullptr || data == nullptr || unit->stream.pcm == nullptr) return invalidParameter;
  if (unit->lastRead < 0) return cannotDoNow;
  if (frames > unit->maxFrames) return tooManyFrames;
  if (frames > static_cast<unsigned long>(unit->lastRead)) return invalidParameter;
  AlsaCaptureStream& stream = unit->stream;
  UInt32 channels = std::min<UInt32>(stream.channels, data->mNumberBuffers);
  AudioBuffer* buffers = data->mBuffers;
  for (UInt32 channel = 0; channel < channels; ++channel) {
    if (buffers[channel].mData == nullptr || buffers[channel].mDataByteSize < frames * 4) return invalidParameter;
    convertChannel(stream.raw.data(), stream.format, stream.channels, channel, frames,
                   static_cast<float*>(buffers[channel].mData));
  }
  return noErr;
}
