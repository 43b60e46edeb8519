#pragma once

inline constexpr const char* usageLine =
    "usage: tavirel-audio list | run --device <name> --channels 2,3,4 [--rate 48000] | check --device <name> "
    "[--seconds 3] [--rate 48000]";

// Each ends the process; none returns.
[[noreturn]] void listCommand();
[[noreturn]] void runCommand();
[[noreturn]] void checkCommand();
