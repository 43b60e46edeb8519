#include "platform/linux/pw_capture.h"

#include <spa/param/audio/format-utils.h>
#include <spa/pod/builder.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <string>

#include "platform/common/monotonic_clock.h"
#include "platform/linux/streamable_rate.h"

namespace {
// Buffers taken in one callback: one a cycle, more only when the stream fell
// behind; the stream is given far fewer than this.
constexpr std::size_t mostBuffersAtOnce = 16;

// The block's frames (the shortest plane) and its planes, in capture.planes.
std::uint32_t mapPlanes(PwCaptureStream& capture, const spa_buffer& buf) {
  UInt32 channels = std::min<UInt32>(capture.channels, buf.n_datas);
  std::uint32_t frames = channels == 0 ? 0 : UINT32_MAX;
  for (UInt32 c = 0; c < channels; ++c) {
    const spa_data& plane = buf.datas[c];
    std::uint32_t offset = std::min(plane.chunk->offset, plane.maxsize);
    std::uint32_t size = std::min(plane.chunk->size, plane.maxsize - offset);
    frames = std::min(frames, static_cast<std::uint32_t>(size / sizeof(float)));
    capture.planes[c] = plane.data == nullptr ? nullptr : static_cast<const float*>(SPA_PTROFF(plane.data, offset, void));
  }
  for (UInt32 c = channels; c < capture.channels; ++c) capture.planes[c] = nullptr;
  return frames;
}

void onProcess(void* data) {
  auto& capture = *static_cast<PwCaptureStream*>(data);
  std::array<pw_buffer*, mostBuffersAtOnce> taken{};
  std::uint32_t count = 0;
  while (count < taken.size())
    if ((taken[count] = pw_stream_dequeue_buffer(capture.stream)) != nullptr)
      ++count;
    else
      break;
  if (count == 0) return;
  // How long the audio thread was held up since the last callback: only the
  // cycles that began while it was do we take as missed.
  std::int64_t now = monotonicNs();
  std::int64_t held = std::max(capture.longestIdleNs, now - capture.lastAliveNs);
  capture.longestIdleNs = 0;
  std::uint64_t missed = 0;
  if (capture.position != nullptr)
    missed = missedFrames(capture.lastCycle, capture.position->clock, count, held, capture.rate);
  else
    capture.lastCycle.valid = false;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint32_t frames = mapPlanes(capture, *taken[i]->buffer);
    if (frames > 0) {
      capture.deliver(capture.context, capture.planes.data(), frames, missed);
      missed = 0;
    }
    pw_stream_queue_buffer(capture.stream, taken[i]);
  }
  capture.lastAliveNs = monotonicNs();
}

// The audio thread's pulse: a timer on its loop, so that it is seen awake
// every `pulseNs` while it can run. The graph skips a follower now and then
// when clients come and go, and a skipped cycle loses nothing; a cycle that
// began while the thread was held up (descheduled, stopped) lost its input.
constexpr std::int64_t pulseNs = 2'000'000;

void onPulse(void* data, std::uint64_t) {
  auto& capture = *static_cast<PwCaptureStream*>(data);
  std::int64_t now = monotonicNs();
  capture.longestIdleNs = std::max(capture.longestIdleNs, now - capture.lastAliveNs);
  capture.lastAliveNs = now;
}

pw_loop* audioLoop() { return pw_data_loop_get_loop(pw_context_get_data_loop(pw_core_get_context(pwCore()))); }

// Made on the audio thread, which owns its loop's sources.
int startPulse(spa_loop*, bool, std::uint32_t, const void*, std::size_t, void* user) {
  auto& capture = *static_cast<PwCaptureStream*>(user);
  capture.lastAliveNs = monotonicNs();
  capture.pulse = pw_loop_add_timer(audioLoop(), onPulse, &capture);
  if (capture.pulse == nullptr) return -errno;
  timespec every{0, pulseNs};
  return pw_loop_update_timer(audioLoop(), capture.pulse, &every, &every, false);
}

// The position moves to the audio thread through its own loop, so a callback
// never reads one the graph has just taken back.
int setPosition(spa_loop*, bool, std::uint32_t, const void* data, std::size_t, void* user) {
  static_cast<PwCaptureStream*>(user)->position = *static_cast<const spa_io_position* const*>(data);
  return 0;
}

void onIoChanged(void* data, std::uint32_t id, void* area, std::uint32_t size) {
  if (id != SPA_IO_Position) return;
  auto& capture = *static_cast<PwCaptureStream*>(data);
  const spa_io_position* position = size >= sizeof(spa_io_position) ? static_cast<spa_io_position*>(area) : nullptr;
  pw_loop_invoke(audioLoop(), setPosition, 0, &position, sizeof position, true, &capture);
}

void onStateChanged(void* data, pw_stream_state, pw_stream_state state, const char*) {
  static_cast<PwCaptureStream*>(data)->state = state;
  pw_thread_loop_signal(pwLoop(), false);
}

const pw_stream_events streamEvents = [] {
  pw_stream_events events{};
  events.version = PW_VERSION_STREAM_EVENTS;
  events.state_changed = onStateChanged;
  events.io_changed = onIoChanged;
  events.process = onProcess;
  return events;
}();

constexpr std::int64_t streamingWaitNs = 2'000'000'000;
}  // namespace

int openPwCapture(const PwSource& source, double rate, PwCaptureStream& capture) {
  if (source.channels == 0 || source.channels > SPA_AUDIO_MAX_CHANNELS || !streamableRate(rate)) return -EINVAL;
  auto hz = static_cast<std::uint32_t>(std::lround(rate));
  PwLoopLocked locked(pwLoop());
  // The stream takes exactly the node's channels in the node's order
  // (no remixing), and stays on that node: when it goes, the stream ends
  // rather than moving to another source.
  pw_properties* props = pw_properties_new(PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Capture",
                                           PW_KEY_MEDIA_ROLE, "Production", PW_KEY_TARGET_OBJECT,
                                           source.uid.c_str(), PW_KEY_STREAM_DONT_REMIX, "true",
                                           PW_KEY_NODE_DONT_RECONNECT, "true", nullptr);
  capture.stream = pw_stream_new(pwCore(), "tavirel-audio", props);
  if (capture.stream == nullptr) return -errno;
  capture.channels = source.channels;
  capture.rate = hz;
  pw_stream_add_listener(capture.stream, &capture.listener, &streamEvents, &capture);
  pw_loop_invoke(audioLoop(), startPulse, 0, nullptr, 0, true, &capture);

  spa_audio_info_raw info{};
  info.format = SPA_AUDIO_FORMAT_F32P;
  info.rate = hz;
  info.channels = source.channels;
  for (UInt32 c = 0; c < source.channels && c < source.positions.size(); ++c) info.position[c] = source.positions[c];
  if (source.positions.size() != source.channels || source.positions.front() == SPA_AUDIO_CHANNEL_UNKNOWN)
    info.flags |= SPA_AUDIO_FLAG_UNPOSITIONED;
  std::array<std::uint8_t, 4096> storage{};
  spa_pod_builder builder{};
  spa_pod_builder_init(&builder, storage.data(), static_cast<std::uint32_t>(storage.size()));
  const spa_pod* params[1] = {spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &info)};
  auto flags = static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS |
                                            PW_STREAM_FLAG_RT_PROCESS | PW_STREAM_FLAG_INACTIVE);
  return pw_stream_connect(capture.stream, PW_DIRECTION_INPUT, PW_ID_ANY, flags, params, 1);
}

int startPwCapture(PwCaptureStream& capture) {
  if (capture.stream == nullptr) return -EINVAL;
  PwLoopLocked locked(pwLoop());
  int err = pw_stream_set_active(capture.stream, true);
  if (err < 0) return err;
  // The session manager links the stream some time after it is active: until
  // then the node's samples go nowhere, and "started" would promise samples
  // the stream then lacks. A stream that never links is left to the watchdog.
  timespec deadline{};
  pw_thread_loop_get_time(pwLoop(), &deadline, streamingWaitNs);
  while (capture.state != PW_STREAM_STATE_STREAMING && capture.state != PW_STREAM_STATE_ERROR &&
         capture.state != PW_STREAM_STATE_UNCONNECTED)
    if (pw_thread_loop_timed_wait_full(pwLoop(), &deadline) != 0) break;
  return 0;
}
