#pragma once
// One PipeWire capture stream for the Linux audio unit: every channel of a
// source node as its own 32-bit float plane, at the rate asked for, shared
// with the other programs that capture the node. The stream's process
// callback, on PipeWire's real-time data thread, is the audio thread.
#include <pipewire/pipewire.h>
#include <spa/param/audio/raw.h>

#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/linux/pw_cycles.h"
#include "platform/linux/pw_graph.h"

struct PwCaptureStream {
  pw_stream* stream = nullptr;
  spa_hook listener{};
  UInt32 channels = 0;
  // Called on the audio thread with each block: `planes` holds one pointer per
  // channel (null for a channel without data), valid during the call only;
  // `missed` is the frames of the graph cycles the stream missed before it.
  void (*deliver)(void* context, const float* const* planes, UInt32 frames, std::uint64_t missed) = nullptr;
  void* context = nullptr;
  std::uint32_t rate = 0;
  // Audio thread only: the graph's position as the driver shares it with the
  // stream (set on the audio thread, so it never changes under a callback),
  // the cycle last seen in it, when the thread was last seen awake and the
  // longest it was not since the last callback, and the planes of the block
  // being delivered.
  const spa_io_position* position = nullptr;
  CycleAnchor lastCycle;
  spa_source* pulse = nullptr;
  std::int64_t lastAliveNs = 0, longestIdleNs = 0;
  std::array<const float*, SPA_AUDIO_MAX_CHANNELS> planes{};
  pw_stream_state state = PW_STREAM_STATE_UNCONNECTED;        // under the loop's lock
};

// Creates the stream on `source` at `rate`, linked but not yet running.
// 0, or a negative errno.
int openPwCapture(const PwSource& source, double rate, PwCaptureStream& capture);

// Lets the stream run, and returns once it streams (linked to the node, its
// format agreed) or after two seconds: what the node carries from then on
// reaches the callback.
int startPwCapture(PwCaptureStream& capture);
