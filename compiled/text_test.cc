#include "compiled/text.h"

#include <gtest/gtest.h>

namespace tools {
namespace {

TEST(TextTest, PositionsAsMetresAndKilometres) {
  struct Case {
    int64_t metres;
    const char* km;
  } cases[] = {{31010, "km 31+010"},   {0, "km 0+000"},
               {999, "km 0+999"},      {1000, "km 1+000"},
               {-25, "km -0+025"},     {-1050, "km -1+050"},
               {106950, "km 106+950"}, {2147483647, "km 2147483+647"}};
  for (const Case& c : cases) EXPECT_EQ(km_text(c.metres), c.km) << c.metres;
  EXPECT_EQ(position_text(31010), "31010 m (km 31+010)");
}

TEST(TextTest, NameRule) {
  struct Case {
    std::string name;
    bool valid;
  } cases[] = {
      {"BRENTALVO", true},
      {"TRN4417", true},
      {"a_b_9", true},
      {"_", true},
      {std::string(32, 'X'), true},
      {"", false},
      {std::string(33, 'X'), false},
      {"A B", false},
      {"A/B", false},
      {"..", false},
      {"A-B", false},
      {"A.B", false},
      {"A\\B", false},
      {"\xC4"
       "B",
       false},  // a letter of the code page, but not ASCII
      {std::string("A\0B", 3), false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(is_valid_name(c.name), c.valid) << c.name;
    EXPECT_EQ(name_problem("line name", c.name).empty(), c.valid) << c.name;
  }
  EXPECT_EQ(name_problem("line name", "A/B"),
            "line name \"A/B\" is refused: it holds a character other than a letter, a digit or "
            "_; a name forms file names, so it must be 1 to 32 letters (A-Z, a-z), digits or _");
}

TEST(TextTest, CodePageToUtf8) {
  EXPECT_EQ(to_utf8("(Mt.79 Km.32+340)"), "(Mt.79 Km.32+340)");
  EXPECT_EQ(to_utf8("45\xB0"), "45\xC2\xB0");          // degree sign
  EXPECT_EQ(to_utf8("\x80"), "\xE2\x82\xAC");          // euro sign
  EXPECT_EQ(to_utf8("\x8A\x9F"), "\xC5\xA0\xC5\xB8");  // S caron, Y diaeresis
  EXPECT_EQ(to_utf8("\x81"), "\xEF\xBF\xBD");          // undefined in the code page
  EXPECT_EQ(to_utf8(std::string("a\0b", 3)),
            "a\xEF\xBF\xBD"
            "b");  // control character
  EXPECT_EQ(to_utf8("a\tb\r\n"), "a\tb\r\n");
  EXPECT_EQ(to_utf8("\xFF"), "\xC3\xBF");
}

}  // namespace
}  // namespace tools
