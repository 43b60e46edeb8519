// The HAL output unit's contract over ALSA or PipeWire capture. Over ALSA the
// unit opens the device's PCM with all its input channels at the nominal rate,
// reads it on a capture thread of its own and calls the input callback once
// per period. Over PipeWire it opens a stream on the source node with all its
// channels, and the stream's process callback calls the input callback once
// per block of at most MaximumFramesPerSlice frames. AudioUnitRender hands the
// block out as one float buffer per channel.
#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <optional>
#include <thread>
#include <variant>

#include "platform/api/audio_toolbox.h"
#include "platform/common/unit_properties.h"
#include "platform/linux/alsa_capture.h"
#include "platform/linux/alsa_devices.h"
#include "platform/linux/alsa_quiet.h"
#include "platform/linux/linux_devices.h"
#include "platform/linux/pw_capture.h"
#include "platform/linux/streamable_rate.h"

struct AlsaSide {
  AlsaDevice device;
  AlsaCaptureStream stream;
};

struct PipeWireSide {
  PwSource source;
  PwCaptureStream stream;
  // Audio thread only: the block's planes from `blockStart` on, and its time.
  const float* const* planes = nullptr;
  UInt32 blockStart = 0;
  std::uint64_t sampleTime = 0;
};

struct ComponentInstanceRecord {
  // The device chosen and its stream, in the process's sound system; none
  // until a device is chosen.
  std::optional<std::variant<AlsaSide, PipeWireSide>> side;
  hal_unit::Settings settings;
  bool opened = false;
  std::atomic<bool> started{false};
  long lastRead = 0;  // audio thread only: the outcome of the read the callback is about
};

namespace {
using os_status::badDevice;
using os_status::cannotDoNow;
using os_status::formatNotSupported;
using os_status::invalidParameter;
using os_status::tooManyFrames;
using os_status::uninitialized;

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
  hal_unit::callInput(unit->settings, sampleTime, frames);
  sampleTime += frames;
}

double secondsBetween(const snd_htimestamp_t& from, const snd_htimestamp_t& to) {
  return static_cast<double>(to.tv_sec - from.tv_sec) + static_cast<double>(to.tv_nsec - from.tv_nsec) * 1e-9;
}

// Frames an overrun loses, asked of the stopped stream before it is prepared
// again: what it held unread (prepare discards it) and what the device
// delivered since the overrun stopped it. An estimate: the time since then
// comes from the stream's time stamps, and the restart follows at once. The
// device ran on from the start of our last read, which returned `lastGot`
// frames, so no more than the rest of that time can be lost: plugins that
// leave the trigger time stamp at the start would otherwise have the whole
// run counted as lost.
std::uint64_t overrunLoss(const AlsaCaptureStream& stream, std::size_t period, double sinceLastRead,
                          std::uint64_t lastGot) {
  snd_pcm_status_t* status;
  snd_pcm_status_alloca(&status);
  if (snd_pcm_status(stream.pcm, status) < 0) return period;
  std::uint64_t unread = snd_pcm_status_get_avail(status);
  snd_htimestamp_t now{}, stopped{};
  snd_pcm_status_get_htstamp(status, &now);
  snd_pcm_status_get_trigger_htstamp(status, &stopped);
  double since = stopped.tv_sec == 0 && stopped.tv_nsec == 0 ? 0 : secondsBetween(stopped, now);
  // A clock that went back, or a stop long ago, says nothing about this overrun.
  if (!(since > 0 && since < 60)) since = 0;
  double latest = sinceLastRead - static_cast<double>(unread + lastGot) / stream.rate;
  if (since == 0 || since > latest) since = std::max(latest, 0.0);
  std::uint64_t lost = unread + static_cast<std::uint64_t>(std::llround(since * stream.rate));
  return lost == 0 ? period : lost;
}

void captureLoop(AudioUnit unit, AlsaSide& side) {
  tryRealTimePriority();
  AlsaCaptureStream& stream = side.stream;
  Pacer pacer(stream.rate, stream.periodFrames);
  std::uint64_t sampleTime = 0;
  auto period = static_cast<snd_pcm_uframes_t>(stream.periodFrames);
  // The last read that returned frames: when it began, and how many.
  auto lastReadStart = std::chrono::steady_clock::now();
  std::uint64_t lastGot = 0;
  for (;;) {
    auto readStart = std::chrono::steady_clock::now();
    snd_pcm_sframes_t got = snd_pcm_readi(stream.pcm, stream.raw.data(), period);
    if (got >= 0) {
      lastReadStart = readStart;
      lastGot = static_cast<std::uint64_t>(got);
      unit->lastRead = got;
      callBack(unit, sampleTime, static_cast<UInt32>(got));
      pacer.after(readStart, static_cast<std::size_t>(got));
      continue;
    }
    switch (got) {
      case -EINTR:
      case -EAGAIN:
        continue;
      case -EPIPE: {  // overrun: the render for it fails, and time moves on by what was lost
        unit->lastRead = got;
        auto stoppedAt = std::chrono::steady_clock::now();
        std::uint64_t lost =
            overrunLoss(stream, period, std::chrono::duration<double>(stoppedAt - lastReadStart).count(), lastGot);
        std::uint64_t before = sampleTime;
        callBack(unit, sampleTime, static_cast<UInt32>(period));
        if (snd_pcm_prepare(stream.pcm) < 0) return;
        // The capture starts again with the next read: what passed since the status counts too.
        double restart = std::chrono::duration<double>(std::chrono::steady_clock::now() - stoppedAt).count();
        sampleTime = before + lost + static_cast<std::uint64_t>(std::llround(restart * stream.rate));
        continue;
      }
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
// PipeWire's audio thread: one block, handed to the callback in slices the
// client can take. Time moves on by the frames delivered, and by the cycles
// the graph ran without us: that input is lost, and the jump shows it.
void deliverBlock(void* context, const float* const* planes, UInt32 frames, std::uint64_t missed) {
  auto unit = static_cast<AudioUnit>(context);
  auto& side = *std::get_if<PipeWireSide>(&*unit->side);
  UInt32 slice = std::max<UInt32>(unit->settings.maxFrames, 1);
  side.planes = planes;
  side.sampleTime += missed;
  for (UInt32 done = 0; done < frames;) {
    UInt32 n = std::min(slice, frames - done);
    side.blockStart = done;
    unit->lastRead = n;
    callBack(unit, side.sampleTime, n);
    done += n;
  }
  side.planes = nullptr;
}

// The unit's side in the process's sound system, made when the first device
// is chosen; a later choice, before initialising, changes the device.
template <typename Side>
Side& sideOf(AudioUnit unit) {
  if (unit->side)
    if (auto* side = std::get_if<Side>(&*unit->side)) return *side;
  return std::get<Side>(unit->side.emplace(std::in_place_type<Side>));
}

// Each operation that differs between the sound systems, once for each.

OSStatus chooseDevice(AudioUnit unit, AudioObjectID id, const AlsaSystem&) {
  auto device = alsaDevice(id);
  if (!device || device->channels == 0) return badDevice;
  sideOf<AlsaSide>(unit).device = *device;
  return noErr;
}

OSStatus chooseDevice(AudioUnit unit, AudioObjectID id, const PipeWireSystem&) {
  auto source = pwSource(id);
  if (!source) return badDevice;
  sideOf<PipeWireSide>(unit).source = *source;
  return noErr;
}

hal_unit::DeviceSide deviceSideOf(const AlsaSide& side) { return {side.device.rate, side.device.channels}; }

hal_unit::DeviceSide deviceSideOf(const PipeWireSide& side) { return {pwClock().rate, side.source.channels}; }

OSStatus openDevice(AudioUnit unit, AlsaSide& side) {
  int err = openAlsaCapture(side.device.pcm, side.device.channels, unit->settings.client.mSampleRate, side.stream);
  // A device node the user may not open (no seat ACL, not in the audio
  // group) is what a refused microphone is on macOS: a unit not authorised.
  if (err == -EACCES || err == -EPERM) return kAudioUnitErr_Unauthorized;
  return err == -EBUSY ? kAudioDevicePermissionsError : static_cast<OSStatus>(err);
}

OSStatus openDevice(AudioUnit unit, PipeWireSide& side) {
  side.stream.deliver = deliverBlock;
  side.stream.context = unit;
  return static_cast<OSStatus>(openPwCapture(side.source, unit->settings.client.mSampleRate, side.stream));
}

OSStatus startDevice(AudioUnit unit, AlsaSide& side) {
  try {
    std::thread(captureLoop, unit, std::ref(side)).detach();
  } catch (const std::system_error& error) {
    unit->started = false;
    return -error.code().value();
  }
  return noErr;
}

OSStatus startDevice(AudioUnit unit, PipeWireSide& side) {
  int err = startPwCapture(side.stream);
  if (err < 0) unit->started = false;
  return static_cast<OSStatus>(err);
}

OSStatus render(AudioUnit unit, const AlsaSide& side, UInt32 frames, AudioBufferList* data) {
  const AlsaCaptureStream& stream = side.stream;
  return hal_unit::fillBuffers(unit->settings, data, stream.channels, frames, [&](UInt32 channel, float* samples) {
    convertChannel(stream.raw.data(), stream.format, stream.channels, channel, frames, samples);
  });
}

OSStatus render(AudioUnit unit, const PipeWireSide& side, UInt32 frames, AudioBufferList* data) {
  if (side.planes == nullptr) return cannotDoNow;  // called outside the callback
  return hal_unit::fillBuffers(unit->settings, data, side.source.channels, frames, [&](UInt32 channel, float* samples) {
    const float* plane = side.planes[channel];
    if (plane == nullptr)
      std::memset(samples, 0, frames * sizeof(float));
    else
      std::memcpy(samples, plane + side.blockStart, frames * sizeof(float));
  });
}
}  // namespace

std::optional<hal_unit::DeviceSide> hal_unit::deviceSide(AudioUnit unit) {
  if (!unit->side) return std::nullopt;
  return std::visit([](const auto& side) { return deviceSideOf(side); }, *unit->side);
}

AudioComponent AudioComponentFindNext(AudioComponent previous, const AudioComponentDescription* description) {
  return hal_unit::findHalOutput(previous, description);
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
  if (OSStatus status = hal_unit::checkSetAddress(id, scope, element); status != noErr) return status;
  if (unit->started) return uninitialized;
  switch (id) {
    case kAudioOutputUnitProperty_CurrentDevice: {
      if (size != sizeof(AudioObjectID)) return invalidParameter;
      if (OSStatus status = hal_unit::checkChooseDevice(unit->opened); status != noErr) return status;
      AudioObjectID id32;
      std::memcpy(&id32, data, sizeof id32);
      auto choose = [&](const auto& system) { return chooseDevice(unit, id32, system); };
      if (OSStatus status = std::visit(choose, soundSystem()); status != noErr) return status;
      hal_unit::deviceChosen(unit->settings);
      return noErr;
    }
    default:
      return hal_unit::setProperty(unit->settings, id, scope, data, size, streamableRate, hal_unit::deviceSide(unit));
  }
}

OSStatus AudioUnitInitialize(AudioUnit unit) {
  if (unit == nullptr) return invalidParameter;
  if (!unit->side) return badDevice;
  if (OSStatus status = hal_unit::checkInitialize(unit->settings); status != noErr) return status;
  if (!unit->settings.haveClient) return formatNotSupported;
  if (unit->opened) return noErr;
  OSStatus err = std::visit([&](auto& side) { return openDevice(unit, side); }, *unit->side);
  if (err != noErr) return err;
  unit->opened = true;
  return noErr;
}

OSStatus AudioOutputUnitStart(AudioUnit unit) {
  if (unit == nullptr) return invalidParameter;
  if (!unit->opened || unit->settings.callback.inputProc == nullptr) return uninitialized;
  if (unit->started.exchange(true)) return noErr;
  return std::visit([&](auto& side) { return startDevice(unit, side); }, *unit->side);
}

OSStatus AudioUnitRender(AudioUnit unit, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32 frames,
                         AudioBufferList* data) {
  if (unit == nullptr || data == nullptr || !unit->opened) return invalidParameter;
  if (unit->lastRead < 0) return cannotDoNow;  // the read behind this render failed
  if (frames > unit->settings.maxFrames) return tooManyFrames;
  if (frames > static_cast<unsigned long>(unit->lastRead)) return invalidParameter;
  return std::visit([&](const auto& side) { return render(unit, side, frames, data); }, *unit->side);
}
