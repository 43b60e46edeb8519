#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>

#include "runtime/version.h"
#include "tools/tva1/tva1.h"

namespace tva1 {

void stop(const std::string& message, int code) {
  std::string line = "tva1: " + message + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stdout);
  _exit(code);
}

}  // namespace tva1

namespace {

const char* usage = "usage: tva1 encode|wav|info|pcm|meter [OPTIONS] [FILE] | tva1 --help | tva1 --version";

const char* help =
    "\n"
    "Works with the \"TVA1\" frame stream tavirel-audio writes (16 kHz, 16-bit, 1 to 255 channels).\n"
    "\n"
    "  encode   audio (raw floats, WAV, FLAC) to the stream tavirel-audio would write for it\n"
    "  wav      a stream to one 16 kHz mono WAV (or FLAC) file per channel\n"
    "  info     frames, channels and each channel's peak and RMS level (--json for programs)\n"
    "  pcm      a stream to interleaved 16-bit PCM, for aplay or sox\n"
    "  meter    live peak and RMS meters while a stream runs (--tee passes it on)\n"
    "\n"
    "Commands that read a stream take it from FILE, or from standard input for \"-\" or no FILE.\n"
    "tva1 COMMAND --help (or -h) describes each command. Exit codes: 0 done (a last frame cut\n"
    "short ends the stream, with a note), 1 cannot read or write, 2 bad command line, 65 not a\n"
    "TVA1 stream or a frame broken in the middle.\n";

}  // namespace

int main(int argc, char** argv) {
  // A reader that goes away shows as a failed write, as in the capture.
  std::signal(SIGPIPE, SIG_IGN);
  const char* command = argc > 1 ? argv[1] : "";
  int subArgc = argc - 1;
  char** subArgv = argv + 1;
  if (std::strcmp(command, "encode") == 0) return tva1::encode(subArgc, subArgv);
  if (std::strcmp(command, "wav") == 0) return tva1::wav(subArgc, subArgv);
  if (std::strcmp(command, "info") == 0) return tva1::info(subArgc, subArgv);
  if (std::strcmp(command, "pcm") == 0) return tva1::pcm(subArgc, subArgv);
  if (std::strcmp(command, "meter") == 0) return tva1::meter(subArgc, subArgv);
  if (argc == 2 && std::strcmp(command, "--version") == 0) {
    std::printf("tva1 %s\n", tavirelVersion);
    return 0;
  }
  if (argc == 2 && (std::strcmp(command, "--help") == 0 || std::strcmp(command, "-h") == 0)) {
    std::printf("%s\n%s", usage, help);
    return 0;
  }
  tva1::stop(usage);
}
