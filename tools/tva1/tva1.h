#pragma once
// tva1: encodes audio into the "TVA1" frame stream the capture writes, and
// reads such a stream back for people: WAV files, raw PCM to listen to, a
// level summary and live meters. `tva1 --help` and `tva1 COMMAND --help` say
// more; the man page tva1(1) says it all.
//
// A malformed stream is reported as one line on standard error once every
// valid frame before it has been written or counted. A last frame cut short
// is the end of the stream, as a capture stopped mid-write leaves it.
#include <string>

namespace tva1 {

// Exit codes, as sysexits.h has them for data: 2 for a bad command line, 65
// for input that is not what it should be (not a TVA1 stream, a frame broken
// in the middle), 1 when the tool cannot read or write where it must.
constexpr int badInput = 2;
constexpr int dataError = 65;
constexpr int ioFailure = 1;

// Prints "tva1: <message>" as one line on standard error and exits.
[[noreturn]] void stop(const std::string& message, int code = badInput);

// Each subcommand reads its own options; argv[0] is the subcommand's name.
int encode(int argc, char** argv);
int wav(int argc, char** argv);
int info(int argc, char** argv);
int pcm(int argc, char** argv);
int meter(int argc, char** argv);

}  // namespace tva1
