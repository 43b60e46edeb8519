// Match keys: full default lowercase mapping and canonical equivalence.
#include <gtest/gtest.h>

#include "text/unicode_match.h"

namespace {
bool contains(std::string_view text, std::string_view part) {
  return matchKey(text).find(matchKey(part)) != std::string::npos;
}

TEST(MatchKey, CanonicallyEquivalentSpellingsGiveOneKey) {
  EXPECT_EQ(matchKey("\xC3\xA9"), matchKey("e\xCC\x81"));               // é, e + acute
  EXPECT_EQ(matchKey("\xE1\xBB\x87"), matchKey("e\xCC\xA3\xCC\x82"));   // ệ, e + dot below + circumflex
  EXPECT_EQ(matchKey("e\xCC\x82\xCC\xA3"), matchKey("e\xCC\xA3\xCC\x82"));  // marks in either order
  EXPECT_EQ(matchKey("\xE2\x84\xAB"), matchKey("\xC3\xA5"));            // angstrom sign, å
  EXPECT_NE(matchKey("\xEF\xAC\x81"), matchKey("fi"));                  // ligature: compatibility only
}

TEST(MatchKey, FullDefaultLowercaseMapping) {
  EXPECT_EQ(matchKey("DESK"), matchKey("desk"));
  EXPECT_EQ(matchKey("\xC3\x84RGER"), matchKey("a\xCC\x88rger"));        // Ä
  EXPECT_EQ(matchKey("\xCE\xA3\xCE\x91\xCE\xA3"), matchKey("\xCF\x83\xCE\xB1\xCF\x82"));  // ΣΑΣ: final sigma
  EXPECT_EQ(matchKey("\xC4\xB0"), matchKey("i\xCC\x87"));               // İ: i + dot, not a Turkish i
  EXPECT_EQ(matchKey("I"), "i");                                        // root locale
  EXPECT_EQ(matchKey("\xE1\xBA\x9E"), matchKey("\xC3\x9F"));            // capital sharp s
  EXPECT_EQ(matchKey("\xD0\x9F\xD0\xA3\xD0\x9B\xD0\xAC\xD0\xA2"), matchKey("\xD0\xBF\xD1\x83\xD0\xBB\xD1\x8C\xD1\x82"));
}

// The keys themselves, which the ICU (Linux) and Core Foundation (macOS)
// implementations must both give.
TEST(MatchKey, KeysOnEveryPlatform) {
  EXPECT_EQ(matchKey("Caf\xC3\xA9"), "cafe\xCC\x81");                  // decomposed
  EXPECT_EQ(matchKey("\xC3\x9F"), "\xC3\x9F");                          // ß stays: no case folding
  EXPECT_EQ(matchKey("\xE1\xBA\x9E"), "\xC3\x9F");                      // ẞ lowercases to ß
  EXPECT_EQ(matchKey("\xCE\xA3\xCE\x91\xCE\xA3"), "\xCF\x83\xCE\xB1\xCF\x82");  // ΣΑΣ: σας, final sigma
  EXPECT_EQ(matchKey("\xC4\xB0"), "i\xCC\x87");                          // İ: i + combining dot
  EXPECT_EQ(matchKey("I"), "i");                                          // no Turkish dotless ı
  EXPECT_EQ(matchKey("\xEF\xBB\xBF" "Desk"), "\xEF\xBB\xBF" "desk");      // a byte order mark is kept
  EXPECT_EQ(matchKey("Desk \xC3"), "\xFF" "Desk \xC3" "\xFF");             // not UTF-8: opaque
}

TEST(MatchKey, SubstringsAcrossSpellings) {
  EXPECT_TRUE(contains("Caf\xC3\xA9 Stage", "E\xCC\x81 ST"));
  EXPECT_TRUE(contains("Cafe\xCC\x81 Stage", "\xC3\x89 st"));
  EXPECT_FALSE(contains("Cafe Stage", "\xC3\xA9"));
}

TEST(MatchKey, InvalidUtf8MatchesOnlyItself) {
  const std::string broken = "Desk \xC3";
  EXPECT_EQ(matchKey(broken), matchKey(broken));
  EXPECT_NE(matchKey(broken), matchKey("desk \xC3"));
  EXPECT_FALSE(contains("Desk \xC3\xA9", broken));
  EXPECT_FALSE(contains(broken, "desk"));
  EXPECT_EQ(matchKey(""), "");
  EXPECT_EQ(matchKey(std::string("a\0B", 3)), std::string("a\0b", 3));
}
}  // namespace
