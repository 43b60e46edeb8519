#pragma once
// Command lines on standard input while `run` streams.
#include <cstddef>

// The longest command line kept, line feed not counted. The largest MIDI
// message (65 522 bytes, one packet list) written as a JSON array with ", "
// between bytes takes 327 610 bytes; this leaves room for a long destination name and keeps a
// parent that never sends a line feed from filling our memory. A longer line
// is dropped whole, and reading goes on after its line feed.
inline constexpr std::size_t maxControlLineBytes = 1024 * 1024;

// Reads lines until "quit" or end of input, then ends the process with 0
// once the MIDI messages handed over so far have been sent.
[[noreturn]] void controlChannelReader();

// Asks the reader to end as on "quit": the lines already written to standard
// input are still handled, then the process ends with 0. Any thread.
void endControlChannelAsQuit();
