#pragma once
// The standard descriptors as the process finds them and as it uses them.

// The parent may start us with a standard stream closed. Its number would then
// go to the next file anything opens (alsa-lib's null device takes /dev/full),
// and we would read commands from it or write frames and events into it.

// Gives every closed standard descriptor a stand-in that behaves as the closed
// one would: reading finds the end of input at once, writing fails. Call it
// first, before anything opens a file.
void occupyClosedStandardStreams();

// Where event lines go: standard error, or its private duplicate once
// keepEventsFromLibraries() has run.
extern int eventOutput;

// Libraries (alsa-lib and its plugins, libpipewire) print on standard error
// whenever they like, and it must carry event lines only: event lines go to a
// private duplicate of it and descriptor 2 to /dev/null. Called once, first
// thing in main.
void keepEventsFromLibraries();
