#include "tools/tva1/options.h"

#include <getopt.h>
#include <unistd.h>

#include <cstdio>

#include "tools/tva1/tva1.h"

namespace tva1 {

void stopWithUsage(const Command& command, const std::string& problem) {
  stop(problem + "; usage: " + command.usage);
}

std::vector<std::string> parseOptions(int argc, char** argv, const Command& command, std::span<const Option> options,
                                      const std::function<void(std::size_t, const std::string&)>& take) {
  std::vector<option> table;
  for (const Option& o : options) table.push_back({o.name, o.takesValue ? required_argument : no_argument, nullptr, 0});
  const int help = static_cast<int>(table.size());
  table.push_back({"help", no_argument, nullptr, 0});
  table.push_back({nullptr, 0, nullptr, 0});

  opterr = 0;
  optind = 1;
  for (;;) {
    int index = -1;
    // -h is the one short option, as --help; the leading ':' reports a
    // missing value apart from an unknown option.
    int got = getopt_long(argc, argv, ":h", table.data(), &index);
    if (got == -1) break;
    const std::string word = argv[optind - 1];
    if (got == ':') stopWithUsage(command, "option " + word + " needs a value");
    if (got == 'h') index = help;
    if (got == '?' || index < 0) stopWithUsage(command, "unknown option " + word);
    if (index == help) {
      std::printf("usage: %s\n\n%s", command.usage, command.help);
      std::fflush(stdout);
      _exit(0);
    }
    take(static_cast<std::size_t>(index), optarg != nullptr ? optarg : "");
  }
  return std::vector<std::string>(argv + optind, argv + argc);
}

std::string streamOperand(const std::vector<std::string>& operands, const Command& command) {
  if (operands.size() > 1) stopWithUsage(command, "unexpected argument " + operands[1]);
  return operands.empty() ? "-" : operands[0];
}

}  // namespace tva1
