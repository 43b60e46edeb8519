#pragma once
// A failure the run cannot go on after: its class and the "error" event's
// text. The layers that meet it only say what failed; main/ writes the event
// and takes the exit code from the class (main/events.cpp).
#include <string>

enum class FailureClass {
  arguments,     // the command line asks what cannot be done
  captureUnit,   // the capture unit cannot be made, or refuses the capture format
  device,        // the device is missing, refuses the unit, fails, or changes under the run
  output,        // the stream's output cannot be written
  accessDenied,  // the user refused microphone access
};

struct Failure {
  FailureClass kind;
  std::string msg;
};

// The refusal of microphone access, from the platform or from the user.
inline Failure accessDenied() { return {FailureClass::accessDenied, "Microphone access denied"}; }
