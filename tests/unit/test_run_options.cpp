// Reading the channel list and the rate, and writing rates in messages.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "main/run_options.h"
#include "text/whole_hz.h"

namespace {
using Channels = std::vector<std::int64_t>;

TEST(ChannelList, SplitsAtCommasAndDropsWhatIsNotAnInteger) {
  EXPECT_EQ(parseChannelList("1"), Channels{1});
  EXPECT_EQ(parseChannelList("2, 3 ,4"), (Channels{2, 3, 4}));
  EXPECT_EQ(parseChannelList("4,2"), (Channels{4, 2}));
  EXPECT_EQ(parseChannelList("2,2"), (Channels{2, 2}));
  EXPECT_EQ(parseChannelList(",2,,3,"), (Channels{2, 3}));
  EXPECT_EQ(parseChannelList("2,x"), Channels{2});
  EXPECT_EQ(parseChannelList("0,-1,+7"), (Channels{0, -1, 7}));
  for (auto nothing : {"", ",", "x", " ", ",,", "+", "-", "1 2", "1.0", "0x10", "١"})
    EXPECT_EQ(parseChannelList(nothing), Channels{}) << nothing;
}

TEST(ChannelList, SignsAreStrict) {
  EXPECT_EQ(parseChannelList("+-1,-+1,++1,--1, - 1,1-"), Channels{});
  EXPECT_EQ(parseChannelList("-0,+0,007"), (Channels{0, 0, 7}));
}

TEST(ChannelList, TrimsSpaceSeparatorsAndTabsButNotLineBreaks) {
  // no-break space, em space, ideographic space, narrow no-break space, tab
  EXPECT_EQ(parseChannelList("\u00a03\u2003,\u30004\t,\t5\u202f"), (Channels{3, 4, 5}));
  for (auto kept : {"\n3", "3\n", "\r3", "3\v", "\f3", "3\u2028", "\u00853", "\u200b3", "\ufeff3"})
    EXPECT_EQ(parseChannelList(kept), Channels{}) << kept;
  // A broken UTF-8 sequence is not trimmed away.
  EXPECT_EQ(parseChannelList("\xa0" "3"), Channels{});
}

TEST(ChannelList, Within64Bits) {
  EXPECT_EQ(parseChannelList("9223372036854775807,-9223372036854775808"),
            (Channels{std::numeric_limits<std::int64_t>::max(), std::numeric_limits<std::int64_t>::min()}));
  EXPECT_EQ(parseChannelList("9223372036854775808,-9223372036854775809,99999999999999999999"), Channels{});
}

TEST(Rate, WholeTextInCNotation) {
  EXPECT_EQ(parseRate("48000"), 48000.0);
  EXPECT_EQ(parseRate("44100.5"), 44100.5);
  EXPECT_EQ(parseRate("4.8e4"), 48000.0);
  EXPECT_EQ(parseRate("0x1p16"), 65536.0);
  EXPECT_EQ(parseRate("-1"), -1.0);
  EXPECT_EQ(parseRate("inf"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(parseRate("INFINITY"), std::numeric_limits<double>::infinity());
  EXPECT_TRUE(std::isnan(*parseRate("nan")));
  EXPECT_EQ(parseRate("1e30"), 1e30);
  for (auto refused : {"", " 48000", "\t48000", "\n48000", "48000 ", "48000Hz", "abc", "48,000", "--", "4 8"})
    EXPECT_EQ(parseRate(refused), std::nullopt) << refused;
}

TEST(WholeHz, DropsTheFractionAndShowsEveryValue) {
  EXPECT_EQ(wholeHz(48000.7), "48000");
  EXPECT_EQ(wholeHz(44100.9), "44100");
  EXPECT_EQ(wholeHz(0), "0");
  EXPECT_EQ(wholeHz(-0.5), "0");
  EXPECT_EQ(wholeHz(-1.5), "-1");
  EXPECT_EQ(wholeHz(65536), "65536");
  EXPECT_EQ(wholeHz(1e30), "1000000000000000019884624838656");
  EXPECT_EQ(wholeHz(9.3e18), "9300000000000000000");
  EXPECT_EQ(wholeHz(std::numeric_limits<double>::infinity()), "inf");
  EXPECT_EQ(wholeHz(-std::numeric_limits<double>::infinity()), "-inf");
  EXPECT_EQ(wholeHz(std::nan("")), "nan");
}

// The rate a refusal names is the one asked, never a neighbour of it.
TEST(AskedHz, ShowsTheRateAsAskedWithoutAnExponent) {
  EXPECT_EQ(askedHz(44100.4), "44100.4");
  EXPECT_EQ(askedHz(0.1), "0.1");
  EXPECT_EQ(askedHz(48000), "48000");
  EXPECT_EQ(askedHz(1e30), "1000000000000000019884624838656");
  EXPECT_EQ(askedHz(std::numeric_limits<double>::infinity()), "inf");
}
}  // namespace
