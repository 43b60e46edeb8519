// Entry point: prepare the standard streams, keep the arguments, dispatch.
#include <csignal>

#include "main/args.h"
#include "main/commands.h"
#include "main/events.h"
#include "runtime/standard_streams.h"
#include "main/support_log.h"

int main(int argc, char** argv) {
  occupyClosedStandardStreams();  // first: the stand-ins must take the closed numbers
  keepEventsFromLibraries();
  // A write to a pipe whose reader has gone then fails instead of killing us.
  std::signal(SIGPIPE, SIG_IGN);
  args.assign(argv, argv + argc);
  support::logStart(args);

  if (args.size() < 2 || args[1] == "list") listCommand();
  if (args[1] == "run") runCommand();
  if (args[1] == "check") checkCommand();
  fail({FailureClass::arguments, usageLine});
}
