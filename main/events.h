#pragma once
// Every event the program writes on standard error, with its keys and texts:
// one compact JSON object per line (written by process/event_line.h).
// Nothing else writes on standard error. The one header of main/ that the
// layers below may include: every subsystem reports through it.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

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

// The denial of microphone access, as the platform gives it: "Microphone
// access denied", code 5.
[[noreturn]] void failAccessDenied();

// A frame write that failed with `error` other than by the reader going
// away: the stream is lost while the parent waits for it, which it must hear
// of, not take for the end it asked for. "Could not write audio to standard
// output: <reason>", code 3.
[[noreturn]] void failStreamWrite(int error);
