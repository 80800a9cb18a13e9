#include "platform/field_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "platform/runtime_failure.h"

namespace platform {
namespace {

// A read the test asks for: a text field or a number.
struct Text {
  std::string value;
};
struct Number {
  int32_t value;
};
using Field = std::variant<Text, Number>;

struct Case {
  const char* name;
  std::string input;
  std::vector<Field> fields;  // in order; each read must give this value
  bool at_end_after;          // the end-of-file test after the last read
};

TEST(FieldReaderTest, CutsFieldsByTheRules) {
  const std::vector<Case> cases = {
      {"blanks around a number and its comma", "    0    ,0", {Number{0}, Number{0}}, true},
      {"numbers separated by blanks only",
       "orologio,    7               28            30 \r\n",
       {Text{"orologio"}, Number{7}, Number{28}, Number{30}},
       true},
      {"quoted text holds commas", "\"a, b ,c\",5", {Text{"a, b ,c"}, Number{5}}, true},
      {"bytes after the closing quote are dropped", "\"ab\"cd ,x", {Text{"ab"}, Text{"x"}}, true},
      {"unterminated quote ends at its line end and keeps blanks",
       "\"ab  \r\nx",
       {Text{"ab  "}, Text{"x"}},
       true},
      {"trailing blanks of a text are dropped",
       "  word  \t,next",
       {Text{"word"}, Text{"next"}},
       true},
      {"empty number between commas", "a,  ,7", {Text{"a"}, Number{0}, Number{7}}, true},
      {"empty number at a line end", "a,\r\n7", {Text{"a"}, Number{0}, Number{7}}, true},
      {"signed numbers", "-22,+5,-0", {Number{-22}, Number{5}, Number{0}}, true},
      {"32-bit limits", "2147483647,-2147483648", {Number{2147483647}, Number{-2147483648}}, true},
      {"CR LF, lone LF and lone CR end lines",
       "a\r\nb\nc\rd",
       {Text{"a"}, Text{"b"}, Text{"c"}, Text{"d"}},
       true},
      {"a number followed by a line end continues the row",
       "5   \r\n6",
       {Number{5}, Number{6}},
       true},
      {"an empty line is an empty text", "a\r\n\r\nb", {Text{"a"}, Text{""}, Text{"b"}}, true},
      {"only blanks remain: empty text, then the end", "a,   ", {Text{"a"}, Text{""}}, true},
      {"only blanks remain: a number reads 0", "a,  \t", {Text{"a"}, Number{0}}, true},
      {"not at the end before the last field", "[fine]\r\nx", {Text{"[fine]"}}, false},
      {"the end right after the last line end", "[fine]\r\n", {Text{"[fine]"}}, true},
      {"a degree sign is kept as its byte", "(1\xB0 TRONCO)", {Text{"(1\xB0 TRONCO)"}}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FieldReader reader(c.input);
    for (const Field& f : c.fields) {
      if (const Text* t = std::get_if<Text>(&f)) {
        EXPECT_EQ(reader.read_text(), t->value);
      } else {
        EXPECT_EQ(reader.read_number(), std::get<Number>(f).value);
      }
    }
    EXPECT_EQ(reader.at_end(), c.at_end_after);
  }
}

TEST(FieldReaderTest, RefusesMalformedNumbers) {
  const std::vector<std::pair<std::string, int>> cases = {
      {"12a", kTypeMismatch},    {"1.5", kTypeMismatch},     {"abc", kTypeMismatch},
      {"\"5\"", kTypeMismatch},  {"-", kTypeMismatch},       {"+,", kTypeMismatch},
      {"2147483648", kOverflow}, {"-2147483649", kOverflow}, {"99999999999999999999", kOverflow},
  };
  for (const auto& [input, number] : cases) {
    SCOPED_TRACE(input);
    FieldReader reader(input);
    try {
      reader.read_number();
      ADD_FAILURE() << "read did not fail";
    } catch (const RuntimeFailure& f) {
      EXPECT_EQ(f.number(), number);
    }
  }
}

TEST(FieldReaderTest, ReadingWhenNoByteRemainsFails) {
  FieldReader reader("5\r\n");
  EXPECT_EQ(reader.read_number(), 5);
  ASSERT_TRUE(reader.at_end());
  EXPECT_THROW(reader.read_number(), RuntimeFailure);
  EXPECT_THROW(reader.read_text(), RuntimeFailure);
  EXPECT_THROW(FieldReader("").read_text(), RuntimeFailure);
}

TEST(FieldReaderTest, TextFieldsAreLimitedTo65535Bytes) {
  std::string longest(FieldReader::kMaxTextField, 'x');
  EXPECT_EQ(FieldReader(longest + ",").read_text().size(), FieldReader::kMaxTextField);
  EXPECT_THROW(FieldReader(longest + "x").read_text(), RuntimeFailure);
  EXPECT_THROW(FieldReader("\"" + longest + "x\"").read_text(), RuntimeFailure);
}

TEST(FieldReaderTest, KeepsTheLineAndColumnOfEachField) {
  FieldReader reader("a,b\r\nc\n\nd\r \t5,  \"q,r\" x, s  ,t");
  struct Expected {
    std::string text;
    int line, column;
    bool quoted, more_on_line;
  };
  const Expected expected[] = {
      {"a", 1, 1, false, true},  {"b", 1, 3, false, false}, {"c", 2, 1, false, false},
      {"", 3, 1, false, false},  {"d", 4, 1, false, false}, {"5", 5, 3, false, true},
      {"q,r", 5, 7, true, true}, {"s", 5, 16, false, true}, {"t", 5, 20, false, false},
  };
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.text);
    EXPECT_EQ(reader.read_text(), e.text);
    EXPECT_EQ(reader.line(), e.line);
    EXPECT_EQ(reader.column(), e.column);
    EXPECT_EQ(reader.quoted(), e.quoted);
    EXPECT_EQ(reader.more_on_line(), e.more_on_line);
  }
}

// A read that fails names the field it failed in, and a read when no byte
// remains names the end of the text: an author's message points there.
TEST(FieldReaderTest, AFailedReadKeepsItsPlace) {
  struct Case {
    const char* input;
    int numbers_before;
    int line, column;
  };
  const Case cases[] = {
      {"velocita,\r\n  0x, 100", 0, 1, 1},  // the keyword is read as a number
      {"1\r\n  0x, 100", 1, 2, 3},          // the bad field on the next line
      {"1, 2", 2, 1, 5},                    // nothing left: the end of the text
      {"1, 2\r\n", 2, 1, 5},                // ... of its last line
      {"1, 99999999999", 1, 1, 4},          // too large
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    FieldReader reader(c.input);
    for (int i = 0; i < c.numbers_before; ++i) reader.read_number();
    EXPECT_THROW(reader.read_number(), RuntimeFailure);
    EXPECT_EQ(reader.line(), c.line);
    EXPECT_EQ(reader.column(), c.column);
  }
}

TEST(FieldReaderTest, StaysLinearOnOneHugeLine) {
  // Two million fields on a single line: a quadratic reader would not finish.
  std::string text;
  for (int i = 0; i < 2'000'000; ++i) text += "1,";
  FieldReader reader(std::move(text));
  int64_t sum = 0;
  while (!reader.at_end()) sum += reader.read_number();
  EXPECT_EQ(sum, 2'000'000);
}

}  // namespace
}  // namespace platform
