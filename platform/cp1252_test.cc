#include "platform/cp1252.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(Cp1252Test, LowerCaseMovesOnlyTheCodePagesCapitals) {
  for (int c = 0; c < 256; ++c) {
    int expected = c;
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) expected = c + 0x20;
    if (c == 0x8A) expected = 0x9A;
    if (c == 0x8C) expected = 0x9C;
    if (c == 0x8E) expected = 0x9E;
    if (c == 0x9F) expected = 0xFF;
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
