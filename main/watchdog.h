#pragma once
// The health watchdog: once a second on the main thread, presence and rate of
// the device; then, on the processing thread after every block handed over so
// far, silence. Ends the process with code 3 on a finding.
//
// Silence is judged on the processing thread's clock of the last block it
// processed. That thread never waits for standard output (frames queue for
// the writer), so a parent that stops reading is never taken for silence.
#include "device/resolved_run.h"

class Capture;

void watchdogTick(const ResolvedRun& run);

// The tick's findings without its support-log lines: device gone, rate
// moved, then the silence check.
void watchDevice(const ResolvedRun& run);

// On the processing thread: more than 3 s since the last block ends the process.
void silenceCheck(Capture& capture);
