#pragma once
// One PipeWire capture stream for the Linux audio unit: every channel of a
// source node as its own 32-bit float plane, at the rate asked for, shared
// with the other programs that capture the node. The stream's process
// callback, on PipeWire's real-time data thread, is the audio thread.
#include <pipewire/pipewire.h>
#include <spa/param/audio/raw.h>

#include <array>
#include <cstddef>

#include "platform/linux/pw_graph.h"

struct PwCaptureStream {
  pw_stream* stream = nullptr;
  spa_hook listener{};
  UInt32 channels = 0;
  // Called on the audio thread with each block: `planes` holds one pointer per
  // channel (null for a channel without data), valid during the call only.
  void (*deliver)(void* context, const float* const* planes, UInt32 frames) = nullptr;
  void* context = nullptr;
  std::array<const float*, SPA_AUDIO_MAX_CHANNELS> planes{};  // audio thread only
  // Audio thread only: the stream frame of the block being delivered, from
  // the graph clock, so that cycles the stream missed show as a jump; -1
  // while the clock says nothing.
  std::int64_t blockFrame = -1;
  std::uint64_t firstTicks = 0;
  bool clockSeen = false;
  std::uint32_t rate = 0;
  pw_stream_state state = PW_STREAM_STATE_UNCONNECTED;        // under the loop's lock
};

// Creates the stream on `source` at `rate`, linked but not yet running.
// 0, or a negative errno.
int openPwCapture(const PwSource& source, double rate, PwCaptureStream& capture);

// Lets the stream run, and returns once it streams (linked to the node, its
// format agreed) or after two seconds: what the node carries from then on
// reaches the callback.
int startPwCapture(PwCaptureStream& capture);
