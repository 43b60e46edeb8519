#pragma once
// A console played from a recording through alsa-lib's file plugin, and what a
// capture of it must stream: the whole recording, sample for sample as tva1
// encode makes it, and nothing but silence once the recording has ended.
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/process_runner.h"
#include "tests/support/tva1_samples.h"

namespace recorded_console {

using Planes = std::vector<std::vector<std::int16_t>>;

// Interleaved 32-bit float frames: a different tone and level per channel,
// with a little noise so no two channels could pass for each other, then
// `silentFrames` of digital silence (the file plugin repeats the last period
// it read once the file has ended).
std::vector<float> recording(int channels, int rate, int soundFrames, int silentFrames);

// The frames of `interleaved` (`channels` wide) with only the picked channels,
// 0-based, in the order given.
std::vector<float> picked(const std::vector<float>& interleaved, int channels, const std::vector<int>& chosen);

// A temporary file holding `bytes`; its path.
std::string temporaryFile(const char* stem, const std::string& bytes);

// The ALSA configuration tests/alsa/<name> or demo/<name> (a path from the
// source root) with @RECORDING@ replaced, as a temporary file; its path.
std::string configuration(const std::string& sourcePath, const std::string& recordingPath);


// Samples per channel in the complete frames of a stream.
std::size_t samplesPerChannel(const std::string& stream);

// What tva1 encode streams for interleaved float frames.
Planes encoded(const std::vector<float>& interleaved, int channels, int rate);

// Runs the built program with `args` on the configuration until its stream
// holds `samples` per channel and a little more, then closes its input.
testing_support::ProcessResult capture(const std::vector<std::string>& args, const std::string& configPath,
                                       std::size_t samples);

// Every channel holds all of `expected` and only silence after it.
void expectWholeRecording(const Planes& captured, const Planes& expected);

}  // namespace recorded_console
