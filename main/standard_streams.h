#pragma once
// The parent may start us with a standard stream closed. Its number would then
// go to the next file anything opens (alsa-lib's null device takes /dev/full),
// and we would read commands from it or write frames and events into it.

// Gives every closed standard descriptor a stand-in that behaves as the closed
// one would: reading finds the end of input at once, writing fails. Call it
// first, before anything opens a file.
void occupyClosedStandardStreams();
