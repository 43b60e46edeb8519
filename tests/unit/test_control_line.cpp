// What a command line asks for, and which lines are ignored.
#include <gtest/gtest.h>

#include "main/control_line.h"
#include "main/line_splitter.h"

namespace {
using Bytes = std::vector<std::uint8_t>;

ControlCommand parsed(std::string_view line) {
  auto command = parseControlLine(line);
  EXPECT_TRUE(command.has_value()) << line;
  return command.value_or(ControlCommand{});
}

TEST(ControlLine, MidiBytesAndDestination) {
  auto command = parsed(R"({"midi": [144, 60, 127], "dest": "Lights"})");
  EXPECT_EQ(command.midi, (Bytes{144, 60, 127}));
  EXPECT_EQ(command.dest, "Lights");
  EXPECT_FALSE(command.quit);
  EXPECT_EQ(parsed(R"({"midi": []})").midi, Bytes{});
  EXPECT_EQ(parsed(R"({"dest": "Lights"})").midi, std::nullopt);
}

TEST(ControlLine, BytesAreClampedHugeNumbersIncluded) {
  EXPECT_EQ(parsed(R"({"midi": [-5, 300, 64, 0, 255, -0]})").midi, (Bytes{0, 255, 64, 0, 255, 0}));
  EXPECT_EQ(parsed(R"({"midi": [9223372036854775807, -9223372036854775808, 18446744073709551615]})").midi,
            (Bytes{255, 0, 255}));
  EXPECT_EQ(parsed(R"({"midi": [1000000000000000000000000000000, -1000000000000000000000000000000]})").midi,
            (Bytes{255, 0}));
}

// A number beyond a double's range stops the JSON parser; the line still
// counts, the number read as what it is: a whole number clamps, a fraction
// or an exponent is no byte. Strings that look like one stay as they are.
TEST(ControlLine, NumbersBeyondADoubleStillLeaveTheLineItsMeaning) {
  auto quit = parsed(R"({"quit": true, "x": 1e400, "dest": "1e400 \" -1e400", "y": [-1.5E+999]})");
  EXPECT_TRUE(quit.quit);
  EXPECT_EQ(quit.dest, "1e400 \" -1e400");
  std::string huge(400, '9');
  EXPECT_EQ(parsed(R"({"midi": [)" + huge + ", -" + huge + R"(, 7]})").midi, (Bytes{255, 0, 7}));
  auto fraction = parsed(R"({"midi": [1, 1e400], "dest": "Lights"})");
  EXPECT_EQ(fraction.midi, std::nullopt);
  EXPECT_EQ(fraction.dest, "Lights");
  EXPECT_FALSE(parseControlLine("[1e400]").has_value());
  EXPECT_FALSE(parseControlLine(R"({"quit": 1e400)").has_value());
}

TEST(ControlLine, MidiOfAnyOtherFormIsIgnoredButTheLineIsNot) {
  for (auto midi : {R"([144, "60"])", "[1.0]", "[1e2]", "[true]", "[null]", "[[1]]", "[{}]", "144", R"("90")", "{}",
                    "null"}) {
    auto command = parsed(std::string(R"({"quit": 1, "dest": "x", "midi": )") + midi + "}");
    EXPECT_EQ(command.midi, std::nullopt) << midi;
    EXPECT_TRUE(command.quit) << midi;
    EXPECT_EQ(command.dest, "x") << midi;
  }
}

TEST(ControlLine, DestOfAnotherFormIsEmpty) {
  for (auto dest : {"5", "null", "[\"Lights\"]", "{\"a\": \"Lights\"}", "true"})
    EXPECT_EQ(parsed(std::string(R"({"midi": [1], "dest": )") + dest + "}").dest, "") << dest;
  EXPECT_EQ(parsed(R"({"midi": [1]})").dest, "");
  EXPECT_EQ(parsed(R"({"midi": [1], "dest": "B\u00fchne \"2\""})").dest, "Bühne \"2\"");
}

TEST(ControlLine, QuitIsAnyValue) {
  for (auto value : {"true", "false", "null", "0", "[]", "{}", "\"no\""})
    EXPECT_TRUE(parsed(std::string(R"({"quit": )") + value + "}").quit) << value;
  EXPECT_FALSE(parsed(R"({"other": {"quit": true}})").quit);
  auto both = parsed(R"({"quit": true, "midi": [176, 1, 2]})");
  EXPECT_TRUE(both.quit);
  EXPECT_EQ(both.midi, (Bytes{176, 1, 2}));
}

TEST(ControlLine, KeysInsideOtherValuesDoNotCount) {
  auto command = parsed(R"({"x": {"midi": [1], "dest": "inner"}, "y": [{"midi": [2]}]})");
  EXPECT_EQ(command.midi, std::nullopt);
  EXPECT_EQ(command.dest, "");
}

TEST(ControlLine, RepeatedKeysCountAsTheLast) {
  auto command = parsed(R"({"midi": [1], "dest": "a", "midi": [2, 3], "dest": 7})");
  EXPECT_EQ(command.midi, (Bytes{2, 3}));
  EXPECT_EQ(command.dest, "");
  EXPECT_EQ(parsed(R"({"midi": [1], "midi": "no"})").midi, std::nullopt);
}

TEST(ControlLine, LinesThatAreNotOneStrictObjectAreIgnored) {
  for (std::string line : {"", "   ", "hello", "[1, 2]", "[{\"quit\": true}]", "\"quit\"", "42", "null",
                           "{\"quit\": true", "{\"quit\": true}}", "{\"quit\": true} {}", "{'quit': true}",
                           "{\"quit\": tru}", "{\"quit\": true,}", "{\"quit\": true} // bye",
                           "{\"quit\": true /* c */}", "{\"quit\": NaN}", "{\"dest\": \"\\ud800\", \"quit\": 1}"})
    EXPECT_EQ(parseControlLine(line), std::nullopt) << line;
  // Invalid UTF-8 inside a string, and outside.
  EXPECT_EQ(parseControlLine("{\"dest\": \"\xC3\x28\", \"quit\": true}"), std::nullopt);
  EXPECT_EQ(parseControlLine("{\"dest\": \"\xED\xA0\x80\", \"quit\": true}"), std::nullopt);  // encoded surrogate
  EXPECT_EQ(parseControlLine("{\"quit\": true}\xFF"), std::nullopt);
  EXPECT_EQ(parseControlLine(std::string("{\"quit\": true}\0", 15)), std::nullopt);
  // Blanks around the object and a carriage return before the line feed are fine.
  EXPECT_TRUE(parsed(" \t{\"quit\": true}\r").quit);
}

TEST(ControlLine, DeepNestingIsIgnoredWithoutHarm) {
  auto nested = [](std::size_t depth, const char* open, const char* close) {
    std::string line = "{\"quit\": 1, \"x\": ";
    for (std::size_t i = 0; i < depth; ++i) line += open;
    for (std::size_t i = 0; i < depth; ++i) line += close;
    return line + "}";
  };
  EXPECT_TRUE(parsed(nested(maxControlDepth - 2, "[", "]")).quit);
  EXPECT_EQ(parseControlLine(nested(maxControlDepth, "[", "]")), std::nullopt);
  EXPECT_EQ(parseControlLine(nested(1'000'000, "[", "]")), std::nullopt);
  EXPECT_EQ(parseControlLine(nested(1'000'000, "{\"a\":", "}")), std::nullopt);
  EXPECT_EQ(parseControlLine(std::string(1'000'000, '[')), std::nullopt);
}

std::vector<std::string> split(LineSplitter& splitter, std::initializer_list<std::string_view> chunks) {
  std::vector<std::string> lines;
  for (auto chunk : chunks) splitter.feed(chunk, [&](std::string_view line) { lines.emplace_back(line); });
  return lines;
}

TEST(LineSplitter, LinesAcrossChunksAndTheLastOneWithoutLineFeed) {
  LineSplitter splitter(100);
  EXPECT_EQ(split(splitter, {"ab", "c\nd", "", "\n\n", "ef\ng"}), (std::vector<std::string>{"abc", "d", "", "ef"}));
  EXPECT_EQ(splitter.finish(), "g");
  EXPECT_EQ(splitter.finish(), std::nullopt);
  EXPECT_EQ(split(splitter, {"x\n"}), (std::vector<std::string>{"x"}));
  EXPECT_EQ(splitter.finish(), std::nullopt);
}

TEST(LineSplitter, AnOverlongLineIsDroppedUpToItsLineFeed) {
  LineSplitter splitter(8);
  std::string longLine(5000, 'x');
  EXPECT_EQ(split(splitter, {"12345678\n", "123456789\nok\n", longLine, longLine, "tail\nnext\n"}),
            (std::vector<std::string>{"12345678", "ok", "next"}));
  EXPECT_EQ(split(splitter, {"1234", "5678", "9", "\nafter\n"}), (std::vector<std::string>{"after"}));
  split(splitter, {longLine});
  EXPECT_EQ(splitter.finish(), std::nullopt);  // an endless last line is dropped too
}
}  // namespace
