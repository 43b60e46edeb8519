#pragma once
// tva1: encodes float audio into the "TVA1" frame stream the capture writes,
// and turns such a stream back into WAV files or a level summary.
//
//   tva1 encode --rate R --channels C   interleaved 32-bit float little-endian
//       samples (C from 1 to 255 channels at R Hz) on standard input; writes
//       the stream `tavirel-audio run` writes for that audio, fed in blocks
//       of 8192 sample frames.
//   tva1 wav DIR    a stream on standard input to DIR/channel-1.wav,
//       DIR/channel-2.wav, ... (16 kHz mono 16-bit); DIR is created if
//       missing. An empty stream writes no file.
//   tva1 info       frame count, channels, samples per channel, and each
//       channel's peak and RMS in dBFS (full scale 32767; silence is shown
//       as "-inf dBFS").
//
// A malformed stream is reported as one line on standard error once every
// valid frame before it has been written or counted.
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
