#include "tools/compile/row_pass_over.h"

#include <gtest/gtest.h>

#include <string>

namespace tools {
namespace {

using model::Description;
using model::FieldPlace;

constexpr FieldPlace route(int line, int column) { return {Description::kRoute, line, column}; }
std::string blanks(size_t n) { return std::string(n, ' '); }

TEST(RowPassOverTest, BlanksTheRowToTheEndOfTheFailingFieldsLine) {
  struct Case {
    const char* name;
    std::string bytes;
    FieldPlace row, field;
    std::string passed_over;  // empty: refused, nothing changed
  };
  const Case cases[] = {
      {"one row on its line", "a, 1\r\npendenza, 50, 5x\r\nb, 2\r\n", route(2, 1), route(2, 15),
       "a, 1\r\n" + blanks(16) + "\r\nb, 2\r\n"},
      // The trailing note goes with the row; what stands before it stays.
      {"a row after other fields", "x, pendenza, 50, 5 note\nb\n", route(1, 4), route(1, 18),
       "x, " + blanks(20) + "\nb\n"},
      // A row one value short takes the next line's keyword: both lines go,
      // each keeping its own line end (lone CR and LF alike).
      {"a row over two lines", "velocita, 0\rvelocita, 100, 80\nfine\n", route(1, 1), route(2, 1),
       blanks(11) + "\r" + blanks(17) + "\nfine\n"},
      {"the last line without its end", "[generale]\r\npendenza, 1, 2", route(2, 1), route(2, 13),
       "[generale]\r\n" + blanks(14)},
      // A failing field before the row (a stale row) or in the other
      // description: the row's own line only.
      {"a field before the row", "p, 1\r\nq, 2\r\n", route(2, 1), route(1, 1),
       "p, 1\r\n" + blanks(4) + "\r\n"},
      {"a field of the other description",
       "p, 1\r\nq, 2\r\n",
       route(1, 1),
       {Description::kTrain, 2, 1},
       blanks(4) + "\r\nq, 2\r\n"},
      {"no row", "p, 1\r\n", route(0, 0), route(1, 1), ""},
      {"a row past the last line", "p, 1\r\n", route(3, 1), route(3, 1), ""},
      {"a column past its line's end", "p, 1\r\nq\r\n", route(1, 9), route(1, 9), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string bytes = c.bytes;
    const bool passed = pass_over_row(bytes, c.row, c.field);
    EXPECT_EQ(passed, !c.passed_over.empty());
    EXPECT_EQ(bytes, c.passed_over.empty() ? c.bytes : c.passed_over);
    EXPECT_EQ(bytes.size(), c.bytes.size());
  }
}

}  // namespace
}  // namespace tools
