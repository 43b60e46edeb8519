#pragma once
// tva1: encodes float audio into the "TVA1" frame stream the capture writes,
// and turns such a stream back into WAV files or a level summary.
#include <string>
#include <vector>

namespace tva1 {

// Exit codes: 2 for a bad command line or malformed input, 1 when the tool
// cannot read or write where it must.
constexpr int badInput = 2;
constexpr int ioFailure = 1;

// Prints "tva1: <message>" as one line on standard error and exits.
[[noreturn]] void stop(const std::string& message, int code = badInput);

int encode(const std::vector<std::string>& args);
int wav(const std::vector<std::string>& args);
int info(const std::vector<std::string>& args);

}  // namespace tva1
