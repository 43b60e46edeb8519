#pragma once
// Every subcommand's options go through getopt_long, with --help for each.
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace tva1 {

struct Command {
  const char* usage;  // "tva1 info [--json]"
  const char* help;   // what --help prints after the usage line
};

struct Option {
  const char* name;  // the long name, without dashes
  bool takesValue;
};

// Reads the options of one subcommand; argv[0] is its name. --help (or -h) prints the
// usage and help and ends the tool with 0; an unknown option or a missing
// value stops it with the usage. `take` gets each option's index in `options`
// and its value (empty for a flag). Returns the other arguments, in order.
std::vector<std::string> parseOptions(int argc, char** argv, const Command& command, std::span<const Option> options,
                                      const std::function<void(std::size_t, const std::string&)>& take);

// The operand of a command that reads a stream: FILE, "-" or nothing for
// standard input. More than one stops the tool with the usage.
std::string streamOperand(const std::vector<std::string>& operands, const Command& command);

// Stops the tool with "<problem>; usage: <usage>".
[[noreturn]] void stopWithUsage(const Command& command, const std::string& problem);

}  // namespace tva1
