#include "platform/linux/pw_capture.h"

#include <spa/param/audio/format-utils.h>
#include <spa/pod/builder.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <string>

namespace {
// Where this cycle stands in stream frames since the first: the graph
// clock's ticks go on while the stream misses cycles, so a miss shows as a
// jump. Exact while the graph runs at the stream's rate; converted otherwise.
void clockBlock(PwCaptureStream& capture) {
  pw_time time{};
  if (pw_stream_get_time_n(capture.stream, &time, sizeof time) < 0 || time.rate.denom == 0 || capture.rate == 0) {
    capture.blockFrame = -1;
    return;
  }
  if (!capture.clockSeen) {
    capture.clockSeen = true;
    capture.firstTicks = time.ticks;
  }
  std::uint64_t ticks = time.ticks - capture.firstTicks;
  if (time.rate.num == 1 && time.rate.denom == capture.rate) {
    capture.blockFrame = static_cast<std::int64_t>(ticks);
  } else {
    double seconds = static_cast<double>(ticks) * time.rate.num / time.rate.denom;
    capture.blockFrame = std::llround(seconds * capture.rate);
  }
}

void onProcess(void* data) {
  auto& capture = *static_cast<PwCaptureStream*>(data);
  pw_buffer* buffer = pw_stream_dequeue_buffer(capture.stream);
  if (buffer == nullptr) return;
  clockBlock(capture);
  spa_buffer* buf = buffer->buffer;
  UInt32 channels = std::min<UInt32>(capture.channels, buf->n_datas);
  std::uint32_t frames = UINT32_MAX;
  for (UInt32 c = 0; c < channels; ++c) {
    const spa_data& plane = buf->datas[c];
    std::uint32_t offset = std::min(plane.chunk->offset, plane.maxsize);
    std::uint32_t size = std::min(plane.chunk->size, plane.maxsize - offset);
    frames = std::min(frames, static_cast<std::uint32_t>(size / sizeof(float)));
    capture.planes[c] = plane.data == nullptr ? nullptr : static_cast<const float*>(SPA_PTROFF(plane.data, offset, void));
  }
  for (UInt32 c = channels; c < capture.channels; ++c) capture.planes[c] = nullptr;
  if (channels > 0 && frames > 0 && frames != UINT32_MAX) capture.deliver(capture.context, capture.planes.data(), frames);
  pw_stream_queue_buffer(capture.stream, buffer);
}

void onStateChanged(void* data, pw_stream_state, pw_stream_state state, const char*) {
  static_cast<PwCaptureStream*>(data)->state = state;
  pw_thread_loop_signal(pwLoop(), false);
}

const pw_stream_events streamEvents = [] {
  pw_stream_events events{};
  events.version = PW_VERSION_STREAM_EVENTS;
  events.state_changed = onStateChanged;
  events.process = onProcess;
  return events;
}();

constexpr std::int64_t streamingWaitNs = 2'000'000'000;
}  // namespace

int openPwCapture(const PwSource& source, double rate, PwCaptureStream& capture) {
  if (source.channels == 0 || source.channels > SPA_AUDIO_MAX_CHANNELS || !(rate >= 1 && rate <= 4e6)) return -EINVAL;
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
