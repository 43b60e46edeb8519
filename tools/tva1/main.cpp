#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "tools/tva1/tva1.h"

namespace tva1 {

void stop(const std::string& message, int code) {
  std::string line = "tva1: " + message + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stdout);
  _exit(code);
}

}  // namespace tva1

int main(int argc, char** argv) {
  // A reader that goes away shows as a failed write, as in the capture.
  std::signal(SIGPIPE, SIG_IGN);
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string command = args.empty() ? "" : args[0];
  if (!args.empty()) args.erase(args.begin());
  if (command == "encode") return tva1::encode(args);
  if (command == "wav") return tva1::wav(args);
  if (command == "info") return tva1::info(args);
  tva1::stop("usage: tva1 encode --rate R --channels C | tva1 wav DIR | tva1 info");
}
