#pragma once
// Every event the program writes on standard error, with its keys and texts:
// one compact JSON object per line (written by runtime/event_line.h).
// Nothing else writes on standard error. Only main/ reports: the layers
// below say what happened, and main/ makes it an event or the end.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "capture/failure.h"
#include "frame/frame_format.h"

// {"event":"started","device":…,"rate":…,"deviceChannels":…,"channels":[…]}:
// capture runs; `channels` are the captured device channels, counted from 1.
void reportStarted(const std::string& device, double rate, std::int64_t deviceChannels,
                   const std::vector<std::int64_t>& channels);

// {"event":"permission"}: the user is being asked for microphone access.
void reportPermission();

// {"event":"midi-sent","dest":…,"bytes":[…]}: `bytes` went to the destination so listed.
void reportMidiSent(const std::string& dest, std::span<const std::uint8_t> bytes);

// {"event":"midi-error","msg":…}: a MIDI message was not sent; the run goes on.
void reportMidiError(const std::string& msg);

// {"event":"error","msg":…}: the last line; the process then ends with `code`.
[[noreturn]] void fail(const std::string& msg, int code = 2);

// The failure's "error" event, then the end with its class's exit code.
[[noreturn]] void fail(const Failure& failure);

// The exit code of each class of failure: 2 for the command line and the
// capture unit, 3 for the device and the output, 5 for access denied.
int exitCode(FailureClass kind);

// A frame write the reader or the output refused, on any writer thread. The
// reader gone is the parent's way of ending the stream: the end is 0 and
// silent. Any other failure loses the stream while the parent waits for it,
// which it must hear of, not take for the end it asked for: "Could not write
// audio to standard output: <reason>", an output failure.
[[noreturn]] void endOnFailedWrite(const framing::WriteResult& result);
