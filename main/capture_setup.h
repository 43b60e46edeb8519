#pragma once
// What `run` and `check` share on the way to a running capture, in this
// order: signals and the event queue, --device, microphone access, the device
// and its channels, the rate, then the capture itself. Every failure ends the
// process with its event and its class's exit code.
#include <cstdint>
#include <string>
#include <vector>

#include "device/resolved_run.h"

class Capture;

// The run's one capture: made by startCapture and held for the life of the
// process (never destroyed: its threads run until the end). Null before.
extern Capture* cap;

// Blocks the termination signals (before any other thread exists) and hands
// them to `onSignal`, starts the event queue, and gives the --device value.
std::string beginCaptureCommand(void (*onSignal)(int signal));

// Returns once access is granted; asks the user when it is not decided.
void ensureMicrophoneAccess();

// The device found for `requested`, with its name, uid and channel count read once.
ResolvedRun lookUpDevice(const std::string& requested);

// Every channel of `run.wanted` exists on the device.
void checkChannelsExist(const ResolvedRun& run);

// Asks for --rate when it is a positive number other than the current rate.
void negotiateRate(const ResolvedRun& run);

// Starts `capture` on the run's device and reports "started"; a failure ends
// the process (the capture is not destroyed: its threads may be running).
void startOrFail(Capture& capture, const ResolvedRun& run);

// Starts the capture of `picks` (0-based device channels) on the run's device,
// frames going to `outputFd`; reports "started" and logs the capture.
void startCapture(const ResolvedRun& run, std::vector<std::int64_t> picks, int outputFd, bool measure);
