#pragma once
// Command lines on standard input while `run` streams.

// Reads lines until "quit" or end of input, then ends the process with 0.
[[noreturn]] void controlChannelReader();
