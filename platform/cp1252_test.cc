#include "platform/cp1252.h"

#include <gtest/gtest.h>

#include <string>

namespace platform {
namespace {

TEST(Cp1252Test, LowerCaseMovesOnlyTheCodePagesCapitals) {
  // The capitals of Windows-1252 and their small letters, from the code
  // page's chart: A-Z, S, OE and Z with caron, Y with diaeresis, and the
  // accented capitals C0-DE but the multiplication sign D7.
  const std::string capitals =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
      "\x8A\x8C\x8E\x9F\xC0\xC1\xC2\xC3\xC4\xC5\xC6\xC7\xC8\xC9\xCA\xCB\xCC\xCD\xCE\xCF\xD0\xD1\xD2"
      "\xD3\xD4\xD5\xD6\xD8\xD9\xDA\xDB\xDC\xDD\xDE";
  const std::string smalls =
      "abcdefghijklmnopqrstuvwxyz"
      "\x9A\x9C\x9E\xFF\xE0\xE1\xE2\xE3\xE4\xE5\xE6\xE7\xE8\xE9\xEA\xEB\xEC\xED\xEE\xEF\xF0\xF1\xF2"
      "\xF3\xF4\xF5\xF6\xF8\xF9\xFA\xFB\xFC\xFD\xFE";
  ASSERT_EQ(capitals.size(), 60u);
  ASSERT_EQ(smalls.size(), 60u);
  for (int c = 0; c < 256; ++c) {
    const size_t at = capitals.find(static_cast<char>(c));
    const int expected = at == std::string::npos ? c : char_code(smalls[at]);
    EXPECT_EQ(char_code(to_lower(static_cast<char>(c))), expected) << "byte " << c;
  }
  EXPECT_EQ(to_lower("TRN4417BRENTALVO"), "trn4417brentalvo");
}

TEST(Cp1252Test, ContainmentTests) {
  EXPECT_TRUE(contains_nocase("xxPENDENZAyy", "pendenza"));
  EXPECT_TRUE(contains_nocase("[GENERALE]", "[generale]"));
  EXPECT_FALSE(contains_nocase("[pendenze]", "pendenza"));
  EXPECT_TRUE(contains("sfondo uno", "sfondo"));
  EXPECT_FALSE(contains("Sfondo uno", "sfondo"));
  EXPECT_TRUE(contains_nocase("\xC0", "\xE0"));  // A grave in both cases
  EXPECT_TRUE(contains_nocase("anything", ""));
}

}  // namespace
}  // namespace platform
