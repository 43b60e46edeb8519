#pragma once

inline constexpr const char* usageLine =
    "usage: tavirel-audio list | run --device <name> --channels 2,3,4 [--rate 48000]";

// Both end the process; neither returns.
[[noreturn]] void listCommand();
[[noreturn]] void runCommand();
