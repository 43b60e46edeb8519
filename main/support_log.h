#pragma once
// What a support case needs to know, in the system's log (see host::systemLog):
// version, device and format, rate negotiation, audio lost and why, MIDI sends,
// and how the process ended. Called from the main, processing, MIDI and signal
// threads, never from the audio thread: what happens there is counted and logged from here.
#include <cstdint>
#include <string>
#include <vector>

#include "device/resolved_run.h"

class Capture;

namespace support {

// The version and the command line, first thing.
void logStart(const std::vector<std::string>& args);

void logRateRequest(const std::string& device, double current, double requested, bool confirmed);

// The capture as started: device, format and the channels picked.
void logCaptureStarted(const ResolvedRun& run, double rate);

// Main thread, once a tick: the block size the device delivers, blocks
// dropped because the processing thread fell behind, renders that failed
// (device overruns and read errors), non-finite samples per channel, each
// logged when it changes; then each gap in the stream, with its start and
// length, once it has ended.
void logCaptureHealth(Capture& capture, const ResolvedRun& run);

// Once, as the run ends, from the thread that ends it: the gaps in all and
// the stream's length ("N gaps, S s of silence inserted in T s").
void logRunSummary(Capture& capture);

// Main thread, once a tick: MIDI answers dropped because standard error is
// not being read, logged when the count changes.
void logDroppedEvents();

// A termination signal that ends the run as "quit" does.
void logSignal(int signal);

}  // namespace support
