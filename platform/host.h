#pragma once
// Host services that macOS offers only through Objective-C (authorisation, the
// main run loop). Each platform implements these few plain functions.
#include <functional>
#include <string>

namespace host {

// Microphone authorisation, in the platform's values.
enum Authorization : int { notDetermined = 0, restricted = 1, denied = 2, authorized = 3 };

Authorization microphoneAuthorization();

// Asks the user; `answer` runs once, on a thread of the platform's choosing.
void requestMicrophoneAccess(void (*answer)(bool granted, void* context), void* context);

// Runs `task` on the main thread, after the tasks handed over before it.
void onMain(std::function<void()> task);

// Main thread: runs `tick` there every `seconds`, the first time `seconds` from now.
void everyInterval(double seconds, std::function<void()> tick);

// Serves the main thread's tasks and timers until the process ends.
[[noreturn]] void runMainLoop();

// One line in the system's log, where the support log lives (never a standard
// stream). `problem` marks something that went wrong rather than something
// done. May block briefly: never called on the audio thread.
void systemLog(bool problem, const std::string& text);

// For the support log: how the audio unit's sample time measures input the
// device lost, and so how exact the length of such a gap is.
const char* inputLossMeasure();

}  // namespace host
