#include "tools/diagnostics.h"

#include <gtest/gtest.h>

namespace tools {
namespace {

TEST(DiagnosticsTest, TheExampleOfARouteSign) {
  Diagnostic d{"BRENTALVO_linea.txt", 421, error_message(6, 31010)};
  EXPECT_EQ(d.text(),
            "BRENTALVO_linea.txt:421: error 6: route sign on a cell already taken at 31010 m "
            "(km 31+010)");
}

TEST(DiagnosticsTest, WhereTheMessageApplies) {
  EXPECT_EQ((Diagnostic{"r.txt", std::nullopt, "error 2: x"}).text(), "r.txt: error 2: x");
  EXPECT_EQ((Diagnostic{std::nullopt, std::nullopt, "error 12: x"}).text(), "error 12: x");
}

// Every number of the compiler has words; a position is shown exactly for
// the numbers that store one, as metres and km+m, or as a cell for the
// finishing pass.
TEST(DiagnosticsTest, EveryNumberHasWordsAndItsPositionOnlyWhenItStoresOne) {
  const int codes[] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10,  11,  12,  13,   15,
                       16, 17, 18, 19, 20, 21, 22, 24, 25, 101, 102, 103, 1250, 1251};
  for (int code : codes) {
    std::string m = error_message(code, 4550);
    SCOPED_TRACE(m);
    EXPECT_EQ(m.rfind("error " + std::to_string(code) + ": ", 0), 0u);
    EXPECT_EQ(m.find("unknown"), std::string::npos);
    EXPECT_NE(m.back(), '.');
    char first = m[m.find(": ") + 2];
    EXPECT_FALSE(first >= 'A' && first <= 'Z');
    bool shows_metres = m.find("4550 m") != std::string::npos;
    EXPECT_EQ(shows_metres, code_has_position(code));
    if (code_has_position(code)) {
      if (is_finishing_code(code)) {
        EXPECT_NE(m.find("cell 91 (4550 m, km 4+550)"), std::string::npos);
      } else {
        EXPECT_NE(m.find("at 4550 m (km 4+550)"), std::string::npos);
      }
    }
  }
  EXPECT_EQ(error_message(14, 0), "error 14: unknown error number");
}

TEST(DiagnosticsTest, FactsSharpenTheMessage) {
  ErrorFacts track;
  track.cell_count = 2140;
  EXPECT_EQ(error_message(15, 106950, track),
            "error 15: position beyond the end of the track at 106950 m (km 106+950): the track "
            "runs to 107000 m (route length + 7000 m); a row must lie at least 100 m before "
            "that end, a station 800 m");
  ErrorFacts length;
  length.line_length = 1000001;
  EXPECT_EQ(error_message(1, 0, length),
            "error 1: route length 1000001 m is above the limit of 1000000 m");
  ErrorFacts failure;
  failure.failure = "a value does not fit its field (overflow)";
  EXPECT_EQ(error_message(25, 0, failure),
            "error 25: the description could not be read here: a value does not fit its field "
            "(overflow)");
  ErrorFacts no_train;
  no_train.train_missing = true;
  EXPECT_NE(error_message(25, 0, no_train).find("no train description"), std::string::npos);
}

}  // namespace
}  // namespace tools
