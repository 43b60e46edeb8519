#include <unistd.h>

#include "main/commands.h"
#include "main/events.h"
#include "main/process_end.h"
#include "main/write_all.h"

void listCommand() {
  nlohmann::json document = {{"inputs", nlohmann::json::array()}, {"midi", nlohmann::json::array()}};
  auto text = document.dump(2);
  writeAll(STDOUT_FILENO, text.data(), text.size());
  writeAll(STDOUT_FILENO, "\n", 1);
  process::end(0);
}
