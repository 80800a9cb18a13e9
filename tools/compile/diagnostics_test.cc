#include "tools/compile/diagnostics.h"

#include <gtest/gtest.h>

#include <string>

#include "model/compile_errors.h"

namespace tools {
namespace {

// Every number of the table has words; a position is shown exactly for the
// numbers that store one, as metres and km+m, or as a cell for the
// finishing pass.
TEST(DiagnosticsTest, EveryNumberHasWordsAndItsPositionOnlyWhenItStoresOne) {
  for (const model::ErrorInfo& e : model::error_table()) {
    const std::string m = error_words(e.code, 4550);
    SCOPED_TRACE(std::to_string(e.code) + ": " + m);
    EXPECT_EQ(m.find("unknown"), std::string::npos);
    EXPECT_NE(m.back(), '.');
    EXPECT_FALSE(m[0] >= 'A' && m[0] <= 'Z');
    EXPECT_EQ(m.find("4550 m") != std::string::npos, e.has_position);
    if (e.has_position && e.stage == model::ErrorStage::kFinishing) {
      EXPECT_NE(m.find("(cell 91, 4550 m, km 4+550)"), std::string::npos);
    } else if (e.has_position) {
      EXPECT_NE(m.find("(4550 m, km 4+550"), std::string::npos);
    }
  }
  // The numbers are fixed: 14 and 23 were never used.
  EXPECT_EQ(model::find_error(14), nullptr);
  EXPECT_EQ(model::find_error(23), nullptr);
  EXPECT_EQ(model::find_error(0), nullptr);
  EXPECT_EQ(error_words(14, 0), "unknown error number");
  EXPECT_EQ(model::error_table().size(), 28u);
}

TEST(DiagnosticsTest, FactsSharpenTheMessage) {
  ErrorFacts track;
  track.cell_count = 2140;
  EXPECT_EQ(error_words(model::kBeyondTrack, 106950, track),
            "position beyond the end of the track: the track runs 7000 m past the route length, "
            "and a row must lie at least 100 m before its end, a station 800 m (106950 m, km "
            "106+950; the track ends at 107000 m)");
  ErrorFacts length;
  length.line_length = 1000001;
  EXPECT_EQ(error_words(model::kRouteTooLong, 0, length),
            "route length is above the limit of 1000000 m (1000001 m)");
}

TEST(DiagnosticsTest, HeadingAndCaret) {
  struct Case {
    const char* name;
    Diagnostic d;
    std::string text;
  };
  Diagnostic sign;
  sign.code = 6;
  sign.file = "BRENTALVO_linea.txt";
  sign.line = 421;
  sign.column = 23;
  sign.message = "route sign on a cell already taken (31010 m, km 31+010)";
  sign.source_line = "cartello_indicatore,  31010,   (B)";
  Diagnostic tabbed = sign;
  tabbed.source_line = "\tcartello_indicatore,\t31010";
  tabbed.column = 23;
  Diagnostic warning;
  warning.is_error = false;
  warning.id = "utf8";
  warning.file = "t.txt";
  warning.message = "x";
  Diagnostic bare;
  bare.code = 12;
  bare.message = "y";
  Diagnostic noted = bare;
  noted.notes = {"z"};
  Diagnostic long_line = sign;
  long_line.source_line = std::string(150, 'a') + "X" + std::string(30, 'b');
  long_line.column = 151;
  const Case cases[] = {
      {"a route sign", sign,
       "BRENTALVO_linea.txt:421:23: error 6: route sign on a cell already taken (31010 m, km "
       "31+010)\n"
       "cartello_indicatore,  31010,   (B)\n"
       "                      ^\n"},
      {"tabs stay tabs under the line", tabbed,
       "BRENTALVO_linea.txt:421:23: error 6: route sign on a cell already taken (31010 m, km "
       "31+010)\n"
       "\tcartello_indicatore,\t31010\n"
       "\t                    \t^\n"},
      {"a file without a line", warning, "t.txt: warning utf8: x\n"},
      {"no file", bare, "error 12: y\n"},
      {"a note", noted, "error 12: y\nnote: z\n"},
      {"a long line is cut around the column", long_line,
       "BRENTALVO_linea.txt:421:151: error 6: route sign on a cell already taken (31010 m, km "
       "31+010)\n..." +
           std::string(50, 'a') + "X" + std::string(30, 'b') + "\n   " + std::string(50, ' ') +
           "^\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.d.text(), c.text) << c.name;
}

// A line longer than 100 characters is shown as the 100 around the column:
// cut before it only once the column is past the 50th character, and cut
// after it at 100 characters.
TEST(DiagnosticsTest, TheWindowOfALongLine) {
  // Digits that say where they stand: character i is '0' + i % 10.
  auto digits = [](size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i) s += static_cast<char>('0' + i % 10);
    return s;
  };
  struct Case {
    size_t length;
    int column;
    size_t from;   // the first character shown
    size_t shown;  // how many are shown
    size_t caret;  // spaces before the caret, the "..." included
  } cases[] = {
      {100, 91, 0, 100, 90},                             // no longer than the window: shown whole
      {101, 51, 0, 100, 50},                             // the 51st character: not cut before
      {101, 52, 1, 100, 53},                             // the 52nd: one cut before
      {101, 91, 40, 61, 53},                             // to the end
      {300, 151, 100, 100, 53},                          // cut on both sides
      {300, 1, 0, 100, 0},      {120, 121, 70, 50, 53},  // just past the end of the line
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.length) + " characters, column " + std::to_string(c.column));
    Diagnostic d;
    d.code = 6;
    d.file = "L_linea.txt";
    d.line = 2;
    d.column = c.column;
    d.message = "m";
    d.source_line = digits(c.length);
    const std::string prefix = c.from > 0 ? "..." : "";
    EXPECT_EQ(d.text(), "L_linea.txt:2:" + std::to_string(c.column) + ": error 6: m\n" + prefix +
                            d.source_line.substr(c.from, c.shown) + "\n" +
                            std::string(c.caret, ' ') + "^\n");
  }
}

TEST(DiagnosticsTest, SlotsShareEighty) {
  EXPECT_EQ((Slots{27, 51}).text(), "slots: 27 stations + 51 route signs = 78 of 80");
  EXPECT_EQ((Slots{1, 1}).text(), "slots: 1 station + 1 route sign = 2 of 80");
  EXPECT_EQ((Slots{27, 51}).free(), 0);
  EXPECT_EQ((Slots{0, 0}).free(), 78);
  EXPECT_EQ((Slots{40, 40}).free(), 0);
}

}  // namespace
}  // namespace tools
