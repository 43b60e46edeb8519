#include "main/control_line.h"

#include <cmath>
#include <cstdlib>
#include <nlohmann/json.hpp>

namespace {
using nlohmann::json;

enum class Key { other, midi, dest, quit };

// Reads the events of one parse and keeps only what the command needs. No
// tree is built, and nesting is bounded, so no line can exhaust the stack or
// the heap beyond its own length.
class CommandReader {
 public:
  ControlCommand command;
  bool topIsObject = false;

  bool null() { return notAByte(); }
  bool boolean(bool) { return notAByte(); }
  bool number_integer(json::number_integer_t value) { return byte(value < 0 ? 0 : value > 255 ? 255 : value); }
  bool number_unsigned(json::number_unsigned_t value) { return byte(value > 255 ? 255 : value); }
  bool number_float(json::number_float_t, const json::string_t& text) {
    // An integer too large for 64 bits arrives here; it is still an integer.
    if (text.find_first_of(".eE") != json::string_t::npos) return notAByte();
    return byte(text.front() == '-' ? 0 : 255);
  }
  bool string(json::string_t& value) {
    if (depth_ == 1 && key_ == Key::dest) command.dest = value;
    return notAByte();
  }
  bool binary(json::binary_t&) { return notAByte(); }

  bool start_object(std::size_t) {
    if (depth_ == 0) topIsObject = true;
    return open(false);
  }
  bool start_array(std::size_t) {
    if (depth_ == 0) return false;  // a top-level array is ignored: stop here
    return open(depth_ == 1 && key_ == Key::midi);
  }
  bool end_object() { return close(); }
  bool end_array() {
    if (depth_ == 2 && key_ == Key::midi && midiValid_) command.midi = midi_;
    return close();
  }

  bool key(json::string_t& name) {
    if (depth_ != 1) return true;
    key_ = name == "midi" ? Key::midi : name == "dest" ? Key::dest : name == "quit" ? Key::quit : Key::other;
    // A repeated key counts as its last occurrence.
    if (key_ == Key::midi) {
      command.midi.reset();
      midiValid_ = false;
    }
    if (key_ == Key::dest) command.dest.clear();
    if (key_ == Key::quit) command.quit = true;
    return true;
  }

  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& error) {
    numberOverflow = error.id == numberOverflowError;
    return false;
  }

  // The parser's error for a number beyond a double's range (1e400): it
  // stops there, so the line is read again with such numbers stood in for.
  static constexpr int numberOverflowError = 406;
  bool numberOverflow = false;

 private:
  bool open(bool midiArray) {
    if (depth_ == 2 && key_ == Key::midi) midiValid_ = false;  // a nested value is not a byte
    if (midiArray) {
      midi_.clear();
      midiValid_ = true;
    }
    return ++depth_ <= maxControlDepth;
  }
  bool close() {
    --depth_;
    return true;
  }
  // A value that is not an object stops the parse at the top level.
  template <typename Clamped>
  bool byte(Clamped clamped) {
    if (depth_ == 2 && key_ == Key::midi) midi_.push_back(static_cast<std::uint8_t>(clamped));
    return depth_ > 0;
  }
  bool notAByte() {
    if (depth_ == 2 && key_ == Key::midi) midiValid_ = false;
    return depth_ > 0;
  }

  int depth_ = 0;
  Key key_ = Key::other;
  std::vector<std::uint8_t> midi_;
  bool midiValid_ = false;
};

// The line with every number too large for a double replaced by one that is
// in range and of the same kind: a whole number by 2^64 of its sign (which
// clamps as any large integer does), a number with a fraction or an exponent
// by 0.5 (not a byte). Strings are copied as they are.
std::string withNumbersInRange(std::string_view line) {
  std::string result;
  result.reserve(line.size());
  bool inString = false;
  for (std::size_t i = 0; i < line.size();) {
    char c = line[i];
    if (inString) {
      result += c;
      if (c == '\\' && i + 1 < line.size()) result += line[++i];
      else if (c == '"') inString = false;
      ++i;
      continue;
    }
    if (c == '"') inString = true;
    if (c != '-' && (c < '0' || c > '9')) {
      result += c;
      ++i;
      continue;
    }
    auto end = line.find_first_not_of("0123456789+-.eE", i);
    std::string number(line.substr(i, end == std::string_view::npos ? std::string_view::npos : end - i));
    i += number.size();
    if (!std::isinf(std::strtod(number.c_str(), nullptr))) {
      result += number;
    } else if (number.find_first_of(".eE") == std::string::npos) {
      result += number.front() == '-' ? "-18446744073709551616" : "18446744073709551616";
    } else {
      result += "0.5";
    }
  }
  return result;
}

std::optional<ControlCommand> readCommand(std::string_view line, bool& numberOverflow) {
  CommandReader reader;
  bool parsed = json::sax_parse(line.begin(), line.end(), &reader, json::input_format_t::json, true, false);
  numberOverflow = reader.numberOverflow;
  if (!parsed || !reader.topIsObject) return std::nullopt;
  return std::move(reader.command);
}
}  // namespace

std::optional<ControlCommand> parseControlLine(std::string_view line) {
  // The parser reads a NUL byte as the end of its input; in strict JSON it can
  // stand nowhere, so such a line is invalid whatever precedes it.
  if (line.find('\0') != std::string_view::npos) return std::nullopt;
  bool numberOverflow = false;
  auto command = readCommand(line, numberOverflow);
  if (!numberOverflow) return command;
  // Rare, so read a second time rather than lex every line ourselves.
  return readCommand(withNumbersInRange(line), numberOverflow);
}
