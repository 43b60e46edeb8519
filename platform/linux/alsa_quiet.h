#pragma once
// alsa-lib reports its own errors on standard error, which carries only our
// event lines. Every ALSA user in this layer calls quietAlsa() before its
// first ALSA call.

// Installs a silent error handler once; safe from any thread, any number of times.
void quietAlsa();
