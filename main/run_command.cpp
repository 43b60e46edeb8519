#include "main/args.h"
#include "main/commands.h"
#include "main/events.h"

void runCommand() {
  if (!arg("--device")) fail("missing --device", 2);
  fail("Audio device not found: " + *arg("--device"), 3);
}
