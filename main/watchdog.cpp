// Stand-in.
#include "main/watchdog.h"

void watchdogTick(AudioObjectID) {}
