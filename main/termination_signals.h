#pragma once
// SIGTERM, SIGINT and SIGHUP during `run`: the usual ways a parent (or a
// terminal) stops its helper. They end the run as "quit" does instead of
// killing it halfway through a frame or before a MIDI message goes out.

// Blocks the three signals in the calling thread and so in every thread it
// creates later: call it before any other thread exists.
void blockTerminationSignals();

// Starts the thread that waits for them and calls `onSignal` with the first
// one that arrives; later ones are ignored, the end being under way.
void watchTerminationSignals(void (*onSignal)(int signal));
