#pragma once
// The PipeWire graph as the Linux layer sees it when a PipeWire daemon runs:
// one connection for the life of the process, its audio source nodes and the
// graph's clock settings. Thread-safe; every call but pwConnect needs a
// successful pwConnect first.
#include <pipewire/pipewire.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/api/core_audio.h"
#include "platform/common/locked.h"

struct PwSource {
  AudioObjectID id = 0;        // stable for the life of the process, never 0 or 1
  std::uint32_t nodeId = 0;    // the node's id in the graph now
  std::string name;            // node.description
  std::string uid;             // node.name: stable across restarts
  UInt32 channels = 0;
  std::vector<std::uint32_t> positions;  // the node's channel positions, one per channel
};

struct PwClock {
  double rate = 0;                    // the rate the graph runs at: the forced rate, else the default
  std::vector<double> allowed;        // the rates the graph may switch to; at least `rate`
};

// Connects to the daemon named by the environment; true when it answered
// within `timeoutMs`. Only the first call connects.
bool pwConnect(int timeoutMs);

// Audio source nodes present now, in the order they appeared. Waits (up to
// 2 s) for the daemon to have sent everything it knows, so a node just gone is
// left out; a daemon that does not answer in time gives the nodes it last
// told, one that went away none.
std::vector<PwSource> pwSources(bool fresh);
std::optional<PwSource> pwSource(AudioObjectID id);
PwClock pwClock();

// Asks the graph to run at `rate` (clock.force-rate); false when the graph does
// not allow that rate. The graph's answer shows in pwClock().
bool pwRequestRate(double rate);

// The thread loop that runs every PipeWire callback but the audio ones, and the
// core to make streams on. Hold the loop's lock (a PwLoopLocked on pwLoop())
// around calls into PipeWire.
pw_core* pwCore();
pw_thread_loop* pwLoop();
using PwLoopLocked = Locked<pw_thread_loop, pw_thread_loop_lock, pw_thread_loop_unlock>;
