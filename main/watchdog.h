#pragma once
#include "platform/platform.h"

// One check of the running capture: presence, rate, then (on the processing
// thread) silence. Ends the process with code 3 on a finding.
void watchdogTick(AudioObjectID device);
