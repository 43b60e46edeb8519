// Option lookup: the argument after the first occurrence, taken as it is.
#include <gtest/gtest.h>

#include "main/args.h"

namespace {
TEST(Arg, TakesTheArgumentAfterTheFirstOccurrence) {
  args = {"tavirel-audio", "run", "--device", "--channels", "--channels", "2", "--device", "B"};
  EXPECT_EQ(arg("--device"), "--channels");
  EXPECT_EQ(arg("--channels"), "--channels");
  args = {"tavirel-audio", "run", "--channels", "4", "--device", "A", "--device", "B"};
  EXPECT_EQ(arg("--device"), "A");
  EXPECT_EQ(arg("--channels"), "4");
}

TEST(Arg, AbsentWhenMissingOrLast) {
  args = {"tavirel-audio", "run", "--device"};
  EXPECT_EQ(arg("--device"), std::nullopt);
  EXPECT_EQ(arg("--rate"), std::nullopt);
  args = {"tavirel-audio", "run", "--device=A", "--dev", "B"};
  EXPECT_EQ(arg("--device"), std::nullopt);
  args = {"tavirel-audio", "run", "--rate", ""};
  EXPECT_EQ(arg("--rate"), "");
}

TEST(Arg, ProgramPathAndCommandWordAreCandidatesToo) {
  args = {"run", "--device", "x"};
  EXPECT_EQ(arg("run"), "--device");
}
}  // namespace
