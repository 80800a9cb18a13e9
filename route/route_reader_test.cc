#include "route/route_reader.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/compile_errors.h"
#include "model/compiled_files.h"
#include "platform/files.h"
#include "platform/runtime_failure.h"
#include "platform/scoped_temp_dir.h"
#include "sources/builtin_texts.h"

namespace route {
namespace {

// The general section of the built-in line: 100000 m, cells 0 .. 2140.
constexpr std::string_view kHeader =
    "[generale]\r\n"
    "lunghezza percorso,    100000\r\n"
    "[curve]\r\n";

class RouteReaderTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_.emplace(std::string("route_reader_test_") +
                 testing::UnitTest::GetInstance()->current_test_info()->name());
    s_.app_path = dir_->path().string();
    s_.line_name = "BRENTALVO";
    s_.train_code = "TRN4417";
    s_.write_line_file = 1;
    model::clear_item_table(s_);
  }
  void TearDown() override { dir_.reset(); }

  // A fresh folder and scenario for the next case of a table.
  void reset() {
    TearDown();
    s_ = model::Scenario{};
    SetUp();
  }

  std::string route_path() const {
    return platform::join_path(s_.app_path, model::route_description_name(s_));
  }
  bool route_file_left() const {
    return platform::file_exists(platform::real_file_system(), route_path());
  }

  // Writes `text` as the route description and reads it.
  RouteOutcome read(std::string_view text) {
    platform::replace_file(platform::real_file_system(), route_path(), text);
    return read_route_description(s_);
  }
  // The same with kHeader before `body`.
  RouteOutcome read_body(std::string_view body) {
    return read(std::string(kHeader) + std::string(body));
  }

  uint8_t gradient(int cell) const { return s_.track.at(static_cast<size_t>(cell)).gradient_code; }
  const model::TrackCell& cell(int i) const { return s_.track.at(static_cast<size_t>(i)); }

  std::optional<platform::ScopedTempDir> dir_;
  model::Scenario s_;
};

TEST_F(RouteReaderTest, AMissingDescriptionIs101AndTouchesNoFile) {
  const std::string train = platform::join_path(s_.app_path, model::train_description_name(s_));
  platform::replace_file(platform::real_file_system(), train, "[generale]\r\n");
  RouteOutcome out = read_route_description(s_);
  EXPECT_EQ(s_.error_code, model::kNoRouteDescription);
  EXPECT_FALSE(out.read_train);
  EXPECT_TRUE(platform::file_exists(platform::real_file_system(), train));
  EXPECT_FALSE(s_.track_allocated);
  // The identity copies come first.
  EXPECT_EQ(s_.item_table[model::kSlotLine].item_name, "BRENTALVO");
  EXPECT_EQ(s_.item_table[model::kSlotTrain].item_name, "TRN4417");
}

TEST_F(RouteReaderTest, ThePreambleEndsAtTheFirstGeneralHeading) {
  const struct {
    std::string_view text;
    int32_t error_code;
  } cases[] = {
      {"[generale]\r\n", model::kNoGeneralSection},  // the heading is the last field
      {"[generale]", model::kNoGeneralSection},
      {"no heading, at all\r\n", model::kNoGeneralSection},
      {"", model::kNoGeneralSection},
      {"   ", model::kNoGeneralSection},
      {"any, preamble\r\n[GENERALE]\r\nlunghezza percorso, 0\r\n", model::kNoError},  // any case
      {"x[generale]y\r\nLUNGHEZZA PERCORSO, 0\r\n", model::kNoError},                 // containment
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << '"' << c.text << '"');
    reset();
    RouteOutcome out = read(c.text);
    EXPECT_EQ(s_.error_code, c.error_code);
    EXPECT_EQ(out.read_train, c.error_code == 0);
    EXPECT_FALSE(route_file_left());
    if (c.error_code == 0) {
      EXPECT_EQ(s_.cell_count, 140);
    }
  }
}

TEST_F(RouteReaderTest, GeneralRowsAndTheirKeywordCase) {
  RouteOutcome out = read(
      "[generale]\r\n"
      "la LUNGHEZZA del Percorso,    1025\r\n"
      "progressiva chilometrica uno,    0,    30000,    1\r\n"
      "Progressiva chilometrica due,    500,    500,    0\r\n"  // capital: ignored
      "sfondo uno,    1\r\n"
      "Sfondo due,    20000\r\n"  // capital: ignored
      "sfondo tre,    30500\r\n"
      "ripetizione segnali 9 codici,    50    ,500\r\n"
      "[curve]\r\n"
      "sfondo due,    7\r\n");  // the body has no background rows
  EXPECT_EQ(s_.error_code, 0);
  EXPECT_TRUE(out.read_train);
  EXPECT_EQ(out.sign_slot, 80);
  EXPECT_EQ(s_.item_table[84].area_end, 1025);
  EXPECT_EQ(s_.total_length, 8025);
  EXPECT_EQ(s_.cell_count, 160);  // 160.5 rounds to even
  EXPECT_EQ(s_.track.size(), 161u);
  EXPECT_EQ(s_.track_plan.last, 8025);
  // The one progressive row, ordered by value into "tre", its flag adding 100.
  EXPECT_EQ(s_.item_table[81].area_end, 30100);
  EXPECT_EQ(s_.item_table[82].area_start, 0);
  EXPECT_EQ(s_.item_table[83].area_end, 0);
  const model::ItemRecord& line = s_.item_table[85];
  EXPECT_EQ(line.area_start, 1);
  EXPECT_EQ(line.item_position, 0);
  EXPECT_EQ(line.area_end, 30500);
  const model::ItemRecord& train = s_.item_table[86];
  EXPECT_EQ(train.area_start, 50);
  EXPECT_EQ(train.area_end, 500);
  EXPECT_EQ(train.item_position, 9);
  EXPECT_FALSE(route_file_left());
}

TEST_F(RouteReaderTest, RouteLengthSizesTheTrack) {
  const struct {
    int64_t length;
    int32_t error_code;
    int32_t cell_count;
  } cases[] = {
      {0, model::kNoError, 140},
      {100000, model::kNoError, 2140},
      {100025, model::kNoError, 2140},
      {100075, model::kNoError, 2142},
      {1000000, model::kNoError, 20140},
      {1000001, model::kRouteTooLong, 0},
      {2147483647, model::kRouteTooLong, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    reset();
    RouteOutcome out = read("[generale]\r\nlunghezza percorso, " + std::to_string(c.length) +
                            "\r\n[curve]\r\npendenza, 50, 1\r\n");
    EXPECT_EQ(s_.error_code, c.error_code);
    EXPECT_EQ(out.read_train, c.error_code == 0);
    EXPECT_FALSE(route_file_left());
    if (c.error_code == 0) {
      EXPECT_EQ(s_.cell_count, c.cell_count);
      EXPECT_EQ(s_.track.size(), static_cast<size_t>(c.cell_count) + 1);
      EXPECT_EQ(s_.track_plan.cursor, s_.total_length - 1);
    } else {
      EXPECT_FALSE(s_.track_allocated);
      EXPECT_EQ(s_.item_table[84].area_end, c.length);
    }
  }
}

TEST_F(RouteReaderTest, ALaterRouteLengthRowStartsTheTrackAfresh) {
  read(
      "[generale]\r\nlunghezza percorso, 1000\r\nlunghezza percorso, 2000\r\n"
      "[curve]\r\n");
  EXPECT_EQ(s_.error_code, 0);
  EXPECT_EQ(s_.cell_count, 180);
  EXPECT_EQ(s_.track_plan.last, 9000);
}

// What a reading leaves for the compiled files.
struct Compiled {
  int32_t error_code = 0;
  int32_t cell_count = 0;
  int32_t total_length = 0;
  int32_t plan_cursor = 0;
  size_t track_cells = 0;
  size_t plan_points = 0;
  std::string line_file, station_file, track_file;
};

Compiled compiled(const model::Scenario& s) {
  return {s.error_code,
          s.cell_count,
          s.total_length,
          s.track_plan.cursor,
          s.track.size(),
          s.track_plan.x.size(),
          model::encode_line_file(s),
          model::encode_station_file(s),
          model::encode_track_file(s)};
}

void expect_same_compile(const Compiled& got, const Compiled& want) {
  EXPECT_EQ(got.error_code, want.error_code);
  EXPECT_EQ(got.cell_count, want.cell_count);
  EXPECT_EQ(got.total_length, want.total_length);
  EXPECT_EQ(got.plan_cursor, want.plan_cursor);
  EXPECT_EQ(got.track_cells, want.track_cells);
  EXPECT_EQ(got.plan_points, want.plan_points);
  // Whole files, compared without printing megabytes on a failure.
  EXPECT_EQ(got.line_file.size(), want.line_file.size());
  EXPECT_TRUE(got.line_file == want.line_file) << "line files differ";
  EXPECT_TRUE(got.station_file == want.station_file) << "station files differ";
  EXPECT_EQ(got.track_file.size(), want.track_file.size());
  EXPECT_TRUE(got.track_file == want.track_file) << "track files differ";
}

// A route body that fits the shortest track (cells 0 .. 140: positions up to
// 6900) and writes the track and the plan with rows of every kind.
constexpr std::string_view kShortBody =
    "[curve]\r\n"
    "curvad4,  1000,  300\r\n"
    "curvas2,  3000,  500\r\n"
    "[pendenze]\r\n"
    "pendenza,  850,   4\r\n"
    "pendenza,  2150,   -7\r\n"
    "montagna,   2000,  2600,  12\r\n"
    "indicatori_vmax,  600,  90,  95,  95,  0,  ,  ,  ,  0\r\n"
    "cartello_indicatore,  4000,   (GALLERIA)\r\n"
    "[fine]\r\n";

// Found by review: every route-length row sized the track (up to 20141 cells)
// and the plan (up to 2 x 1007001 doubles, 16 MB) afresh, so a description of
// many such rows (25 bytes each) cost rows x route length: 2.9 MB of them took
// over half a minute. Each row now costs what it changes. Without that, this
// test takes minutes (100000 rows, most of 1000000 m); with it, well under a
// second. Whatever the rows before it, the last one decides, to the byte.
TEST_F(RouteReaderTest, ManyRouteLengthRowsCompileAsTheLastAlone) {
  constexpr int kRows = 100000;
  const struct {
    const char* name;
    int32_t odd_length;  // the length of the odd rows; the even ones are 1000000
    bool end_on_even;    // the last row is an even one (1000000)
  } cases[] = {
      {"all of the largest length", 1000000, true},
      {"alternating, ending on the largest", 10, true},
      {"alternating, ending on the smallest", 10, false},
  };
  // The compile of the last row alone, by its length.
  std::map<int32_t, Compiled> alone;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string rows;
    rows.reserve(kRows * 32);
    const int count = c.end_on_even ? kRows - 1 : kRows;  // row 0 is even
    for (int n = 0; n < count; ++n) {
      rows += "lunghezza percorso,    " + std::to_string(n % 2 ? c.odd_length : 1000000) + "\r\n";
    }
    const int32_t last = c.end_on_even ? 1000000 : c.odd_length;
    if (!alone.contains(last)) {
      reset();
      read("[generale]\r\nlunghezza percorso,    " + std::to_string(last) + "\r\n" +
           std::string(kShortBody));
      ASSERT_EQ(s_.error_code, 0);
      ASSERT_EQ(s_.total_length, last + 7000);
      alone.emplace(last, compiled(s_));
    }

    reset();
    read("[generale]\r\n" + rows + std::string(kShortBody));
    expect_same_compile(compiled(s_), alone.at(last));
  }
}

// A start clears what was written since the one before: a scenario that has
// read a whole route, then reads another, holds exactly what a fresh one
// reading the other holds, whether the second track is longer or shorter.
TEST_F(RouteReaderTest, ARouteReadAfterAnotherHoldsNothingOfIt) {
  const std::string first = "[generale]\r\nlunghezza percorso,    100000\r\n" +
                            std::string(kShortBody) +
                            "pendenza,  90000,   9\r\nmontagna,   80000,  90000,  12\r\n"
                            "cartello_indicatore,  95000,   (LONTANO)\r\ncurvas6,  99000,  800\r\n";
  const std::string seconds[] = {
      "[generale]\r\nlunghezza percorso,    10\r\n" + std::string(kShortBody),
      "[generale]\r\nlunghezza percorso,    10\r\nlunghezza percorso,    200000\r\n"
      "[curve]\r\ncurvad1,  6000,  100\r\n",
      "[generale]\r\nlunghezza percorso,    0\r\n[fine]\r\n",
  };
  for (const std::string& second : seconds) {
    SCOPED_TRACE(second);
    reset();
    read(second);
    const Compiled fresh = compiled(s_);
    ASSERT_EQ(fresh.error_code, 0);

    reset();
    read(first);
    ASSERT_EQ(s_.error_code, 0);
    ASSERT_GT(s_.track.high_water_mark(), 1000u);
    ASSERT_GT(s_.track_plan.x.high_water_mark(), 100000u);
    // As the compile pass starts each compile.
    model::clear_item_table(s_);
    s_.error_code = 0;
    read(second);
    expect_same_compile(compiled(s_), fresh);
  }
}

// Longer and shorter rows: the track and the plan have the last row's sizes.
TEST_F(RouteReaderTest, LengthRowsUpAndDownLeaveTheLastSizes) {
  read(
      "[generale]\r\nlunghezza percorso, 1000000\r\nlunghezza percorso, 10\r\n"
      "lunghezza percorso, 500000\r\n[curve]\r\n");
  EXPECT_EQ(s_.error_code, 0);
  EXPECT_EQ(s_.track.size(), 10141u);
  EXPECT_EQ(s_.track_plan.x.size(), 507001u);
  EXPECT_EQ(s_.track_plan.y.size(), 507001u);
  EXPECT_EQ(s_.track_plan.cursor, 506999);  // the tail ran on the last length's plan
  EXPECT_EQ(s_.track_plan.last, 507000);
}

TEST_F(RouteReaderTest, ReadingFailuresThrowForTheTrap) {
  const std::string_view texts[] = {
      "[generale]\r\nsfondo uno, 1\r\n[curve]\r\n",                    // no route length row
      "[generale]\r\nlunghezza percorso, -8000\r\n",                   // no track of -20 cells
      "[generale]\r\nlunghezza percorso, -7000\r\n",                   // a plan without point 1
      "[generale]\r\nlunghezza percorso, 1x\r\n",                      // not a whole number
      "[generale]\r\nlunghezza percorso, 0\r\nprogressiva uno, 0, 0",  // the file ends in a row
      "[generale]\r\nlunghezza percorso, 0\r\n-,-\r\n",  // passed-over fields past the end
      "[generale]\r\nlunghezza percorso, 0\r\n[curve]\r\npendenza, 850\r\n",
  };
  for (std::string_view text : texts) {
    SCOPED_TRACE(text);
    reset();
    EXPECT_THROW(read(text), platform::RuntimeFailure);
  }
}

// Found by fuzzing (route_fuzz): a second route length row too short for a
// track (or for a plan) left cell_count and total_length of the failed row
// beside the track and plan of the first one.
TEST_F(RouteReaderTest, ALengthRowThatFailsLeavesTheEarlierTrackWhole) {
  const std::string_view texts[] = {
      "[generale]\r\nlunghezza percorso, -6500\r\nlunghezza percorso, -2566500\r\n",
      "[generale]\r\nlunghezza percorso, -6500\r\nlunghezza percorso, -7010\r\n",
  };
  for (std::string_view text : texts) {
    SCOPED_TRACE(text);
    reset();
    EXPECT_THROW(read(text), platform::RuntimeFailure);
    EXPECT_EQ(s_.total_length, 500);
    EXPECT_EQ(s_.cell_count, 10);
    EXPECT_EQ(s_.track.size(), 11u);
    EXPECT_EQ(s_.track_plan.last, 500);
  }
}

TEST_F(RouteReaderTest, SignalRepetition) {
  const struct {
    std::string_view row;
    int32_t error_code;
    int32_t one, two, count;
  } cases[] = {
      // Count 0 with value two 0.
      {"ripetizione segnali 4 codici,    0    ,0", model::kNoError, 0, 0, 0},
      {"ripetizione segnali 4 codici, 0, 500", model::kNoError, 0, 500, 4},
      {"ripetizione segnali 9 codici, 50, 100", model::kNoError, 50, 100, 9},
      {"ripetizione segnali 94, 50, 100", model::kNoError, 50, 100, 4},  // "4" is tested first
      {"ripetizione segnali 4 codici, 25, 500", model::kRepetitionFirstNotWhole, 25, 500, 0},
      {"ripetizione segnali 4 codici, 0, 525", model::kRepetitionSecondNotWhole, 0, 525, 0},
      {"ripetizione segnali 4 codici, -50, -100", model::kNoError, -50, -100, 4},
      {"ripetizione segnali codici, 0, 0", model::kRepetitionNoCount, 0, 0, 0},
      {"Ripetizione segnali 4, 25, 25", model::kNoError, 0, 0, 0},  // capital: not a row
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.row);
    reset();
    RouteOutcome out =
        read("[generale]\r\nlunghezza percorso, 0\r\n" + std::string(c.row) + "\r\n[curve]\r\n");
    EXPECT_EQ(s_.error_code, c.error_code);
    EXPECT_EQ(out.read_train, c.error_code == 0);
    EXPECT_FALSE(route_file_left());
    EXPECT_EQ(s_.item_table[86].area_start, c.one);
    EXPECT_EQ(s_.item_table[86].area_end, c.two);
    EXPECT_EQ(s_.item_table[86].item_position, c.count);
  }
}

TEST_F(RouteReaderTest, GeneralSectionMinusSignRule) {
  const struct {
    const char* name;
    std::string text;
    bool length_read;
    int32_t background_one;
  } cases[] = {
      // Ten fields holding "-" are passed over; the eleventh is taken as it is.
      {"ten passed over", "[generale]\r\n-,-,-,-,-,-,-,-,-,-,-lunghezza percorso, 1000\r\n", true,
       0},
      {"eleven: the limit", "[generale]\r\n-,-,-,-,-,-,-,-,-,-,-,-lunghezza percorso, 1000\r\n",
       false, 0},
      // A bracketed field holding "-" is passed over instead of closing the section.
      {"bracketed minus field",
       "[generale]\r\nlunghezza percorso, 0\r\n[nota-bene]\r\nsfondo uno, 5\r\n[curve]\r\n", true,
       5},
      // Any bracketed field closes it: the background row is then in the body.
      {"bracketed field",
       "[generale]\r\nlunghezza percorso, 0\r\n[nota]\r\nsfondo uno, 5\r\n[curve]\r\n", true, 0},
      // Taken at the limit, a field beginning with "-" does not close it.
      {"limit reached on a bracketed minus field",
       "[generale]\r\nlunghezza percorso, 0\r\n-,-,-,-,-,-,-,-,-,-, \"  -[x]\"\r\nsfondo uno, "
       "5\r\n",
       true, 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    reset();
    if (!c.length_read) {
      EXPECT_THROW(read(c.text), platform::RuntimeFailure);
      continue;
    }
    read(c.text);
    EXPECT_EQ(s_.error_code, 0);
    EXPECT_TRUE(s_.track_allocated);
    EXPECT_EQ(s_.item_table[85].area_start, c.background_one);
  }
}

TEST_F(RouteReaderTest, RouteBodyKeywordsAndMinusSignRule) {
  // Cell 17 receives the first gradient row's level (100) or, when the row at
  // 850 is acted on, 104 from the row at 2150.
  const struct {
    std::string_view body;
    uint8_t cell_17;
  } cases[] = {
      {"pendenza,  850,   4\r\npendenza,  2150,   0\r\n", 104},
      {"PENDENZA,  850,   4\r\npendenza,  2150,   0\r\n", 104},
      {"lapendenzaX,  850,   4\r\npendenza,  2150,   0\r\n", 104},
      {"pendenza,  850,   -22\r\npendenza,  2150,   0\r\n", 78},  // values never pass over
      {"pendenza,  850,   22\r\npendenza,  2150,   0\r\n", 122},
      // A keyword field holding "-" is passed over: 850 and 4 become keyword fields.
      {"pendenza-x,  850,   4\r\npendenza,  2150,   0\r\n", 100},
      {"-,pendenza,  850,   4\r\npendenza,  2150,   0\r\n", 104},
      {"-,-,-pendenza,  850,   4\r\npendenza,  2150,   0\r\n", 104},  // taken at the limit
      {"-,-,-,-pendenza,  850,   4\r\npendenza,  2150,   0\r\n", 100},
      {"[pendenze]\r\npendenza,  850,   4\r\n[fine]\r\n", 104},
      {"pendenza,  850,   4\r\npendenza", 104},  // a last keyword field is not acted on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    reset();
    RouteOutcome out = read_body(c.body);
    EXPECT_EQ(s_.error_code, 0);
    EXPECT_TRUE(out.read_train);
    EXPECT_EQ(gradient(16), 100);
    EXPECT_EQ(gradient(17), c.cell_17);
  }
}

TEST_F(RouteReaderTest, IndicatorAndSignKeywordsByContainment) {
  RouteOutcome out = read_body(
      "[cartelli]\r\n"
      "indicatori_vmax,  600,  90,  95,  95,  0,  ,  ,  ,  0\r\n"
      "INDICATORI_V,  1200,  120,  140\r\n"  // the row goes on on the next line
      "140,  0,  ,  ,  ,  0\r\n"
      "[indicazioni]\r\n"
      "cartello,  31000,   (ALONE)\r\n"  // not a sign row: its fields are ignored
      "Cartello_Indicatore,  31000,   (GALLERIA-NUOVA )(Mt.116 Km.31+044)\r\n"
      "cartello_indicatore,  31050,   \"(A, B)\"\r\n"
      "[fine]\r\n");
  EXPECT_EQ(s_.error_code, 0);
  EXPECT_EQ(cell(13).kind, model::kSpeedIndicator);
  EXPECT_EQ(cell(13).value1, 1800);
  EXPECT_EQ(cell(25).kind, model::kSpeedIndicator);
  EXPECT_EQ(cell(25).value3, 2800);
  EXPECT_EQ(cell(621).kind, model::kRouteSign);
  EXPECT_EQ(cell(621).value1, 80);
  EXPECT_EQ(s_.item_table[80].item_name, "(GALLERIA-NUOVA )(Mt.116 Km.31+044)");
  EXPECT_EQ(cell(622).value1, 79);
  EXPECT_EQ(s_.item_table[79].item_name, "(A, B)");
  EXPECT_EQ(out.sign_slot, 78);
  EXPECT_EQ(s_.input_token, "[fine]");
}

TEST_F(RouteReaderTest, Gradients) {
  read_body(
      "pendenza,  850,   4\r\n"
      "pendenza,  2150,   5\r\n"
      "pendenza,  1000,   6\r\n"  // behind the cursor: one cell, one step
      "pendenza,  3000,   -22\r\n");
  EXPECT_EQ(s_.error_code, 0);
  EXPECT_EQ(gradient(0), 100);
  EXPECT_EQ(gradient(16), 100);
  EXPECT_EQ(gradient(17), 104);
  EXPECT_EQ(gradient(42), 104);
  EXPECT_EQ(gradient(43), 105);
  EXPECT_EQ(gradient(44), 106);
  EXPECT_EQ(gradient(59), 106);
  EXPECT_EQ(gradient(60), 78);
  EXPECT_EQ(gradient(2137), 78);  // the tail ends before cell_count - 2
  EXPECT_EQ(gradient(2138), 0);
  EXPECT_EQ(gradient(2140), 0);
}

TEST_F(RouteReaderTest, GradientRowsAtTheOriginAndAtTheLastCell) {
  // Rows at 0 or before write nothing but set the gradient in force.
  read_body("pendenza,  -500,   2\r\npendenza,  0,   3\r\n");
  EXPECT_EQ(gradient(0), 103);
  EXPECT_EQ(gradient(2137), 103);

  // On a track of cells 0 .. 140, rows behind the cursor push it to the last
  // cell, where it stays: nothing is written past the track.
  reset();
  read(
      "[generale]\r\nlunghezza percorso, 0\r\n[curve]\r\n"
      "pendenza, 6900, 1\r\npendenza, 50, 2\r\npendenza, 50, 3\r\npendenza, 50, 4\r\n"
      "pendenza, 50, 5\r\npendenza, 50, 6\r\n");
  EXPECT_EQ(s_.error_code, 0);
  EXPECT_EQ(gradient(137), 100);
  EXPECT_EQ(gradient(138), 101);
  EXPECT_EQ(gradient(139), 102);
  EXPECT_EQ(gradient(140), 106);  // written by each later row and by the tail
}

// Rows are placed by rounding the whole of p / 50 (+ 1 for an item), halves
// to even: at the odd multiples of 25 m two positions 50 m apart can share a
// cell, and a row 50 m behind another need not lie in an earlier cell.
TEST_F(RouteReaderTest, PositionsAtOddMultiplesOf25) {
  struct Case {
    const char* name;
    const char* body;
    int error_code;
    int cell;  // holds the item (kind) or is the stretch's first cell
    model::CellKind kind;
  };
  const Case cases[] = {
      {"a sign at 3125 m is on cell 64", "cartello_indicatore,  3125,   (A)\r\n", 0, 64,
       model::kRouteSign},
      {"signs at 3025 m and 3075 m share cell 62",
       "cartello_indicatore,  3025,   (A)\r\ncartello_indicatore,  3075,   (B)\r\n",
       model::kSignCellTaken, 62, model::kRouteSign},
      {"an indicator at 3175 m is on cell 64",
       "indicatori_vmax,  3175,  90,  95,  95,  0,  ,  ,  ,  0\r\n", 0, 64, model::kSpeedIndicator},
      {"a stretch from 2025 m starts on cell 40", "montagna,   2025,  2575,  2\r\n", 0, 40,
       model::kEmpty},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    reset();
    read_body(c.body);
    EXPECT_EQ(s_.error_code, c.error_code);
    EXPECT_EQ(cell(c.cell).kind, c.kind);
    // Nothing on the cells next to it.
    EXPECT_EQ(cell(c.cell - 1).kind, model::kEmpty);
    EXPECT_EQ(cell(c.cell + 1).kind, model::kEmpty);
  }
  // The stretch 2025 .. 2575 m: cells 40 .. round(51.5 - 1) = 50.
  EXPECT_EQ(cell(39).mountain_type, 0);
  EXPECT_EQ(cell(40).mountain_type, 2);
  EXPECT_EQ(cell(50).mountain_type, 2);
  EXPECT_EQ(cell(51).mountain_type, 0);
}

// The order warning names a row whose cell lies behind the previous row's; a
// row in the same cell, even one at a smaller position, is in order.
TEST_F(RouteReaderTest, GradientOrderWarningOnlyForAnEarlierCell) {
  struct Case {
    int first, second;
    bool warned;
  };
  const Case cases[] = {
      {2000, 2000, false},  // cell 40 twice
      {2000, 2010, false},  // 40, 40
      {2025, 1975, false},  // 40.5 -> 40, 39.5 -> 40
      {2000, 1950, true},   // 40, 39
      {2075, 2025, true},   // 41.5 -> 42, 40.5 -> 40
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.first) + " then " + std::to_string(c.second));
    reset();
    read_body("pendenza,  " + std::to_string(c.first) + ",   4\r\npendenza,  " +
              std::to_string(c.second) + ",   5\r\n");
    EXPECT_EQ(s_.error_code, 0);
    int order_warnings = 0;
    for (const model::Warning& w : s_.warnings) {
      if (w.id == model::WarningId::kGradientOrder) ++order_warnings;
    }
    EXPECT_EQ(order_warnings, c.warned ? 1 : 0);
  }
}

TEST_F(RouteReaderTest, TheRangeTestStopsTheBodyWith15) {
  const std::string_view rows[] = {
      "pendenza,  106950,   2",
      "curvad4,  106950,  100",
      "montagna,   106950,  107000,  1",
      "indicatori_vmax,  106950,  90,  95,  95,  0,  ,  ,  ,  0",
      "cartello_indicatore,  106950,   (X)",
  };
  for (std::string_view row : rows) {
    SCOPED_TRACE(row);
    reset();
    RouteOutcome out = read_body("pendenza,  106900,   1\r\n" + std::string(row) +
                                 "\r\ncartello_indicatore,  31000,   (AFTER)\r\n");
    EXPECT_EQ(s_.error_code, model::kBeyondTrack);
    EXPECT_EQ(s_.error_position, 106950);
    EXPECT_TRUE(out.read_train);  // the train half still follows
    EXPECT_EQ(out.sign_slot, 80);
    EXPECT_FALSE(route_file_left());
    // The row at 106900 passed; nothing of the refused row or after it is stored.
    EXPECT_EQ(gradient(2137), 100);
    EXPECT_EQ(gradient(2138), 101);  // the tail writes at least one cell
    EXPECT_EQ(gradient(2139), 0);
    EXPECT_EQ(cell(621).kind, model::kEmpty);
    EXPECT_EQ(cell(2140).kind, model::kEmpty);
    EXPECT_EQ(s_.mountain_count, 0);
    EXPECT_EQ(s_.track_plan.cursor, 106999);  // the plan's tail still runs
  }
}

TEST_F(RouteReaderTest, RouteSigns) {
  {
    SCOPED_TRACE("two signs on cell 621");
    RouteOutcome out = read_body(
        "cartello_indicatore,  31000,   (A)\r\n"
        "cartello_indicatore,  31010,   (B)\r\n"
        "cartello_indicatore,  40000,   (C)\r\n");
    EXPECT_EQ(s_.error_code, model::kSignCellTaken);
    EXPECT_EQ(s_.error_position, 31010);
    EXPECT_FALSE(out.read_train);
    EXPECT_FALSE(route_file_left());
    EXPECT_EQ(cell(621).value1, 80);
    EXPECT_EQ(s_.item_table[80].item_name, "(A)");
    EXPECT_EQ(s_.item_table[79].item_name, "");
    EXPECT_EQ(cell(801).kind, model::kEmpty);
    // Where the error was found, for the author: the second sign's position.
    EXPECT_EQ(s_.error_site.field, (model::FieldPlace{model::Description::kRoute, 5, 23}));
    EXPECT_EQ(s_.error_site.row, (model::FieldPlace{model::Description::kRoute, 5, 1}));
    // The gradient tail is not written after a compile error.
    EXPECT_EQ(gradient(0), 0);
  }
  {
    SCOPED_TRACE("a sign on a marker cell replaces it");
    reset();
    read_body(
        "montagna,   43300,  43700,  12\r\n"
        "cartello_indicatore,  43400,   (M)\r\n");
    EXPECT_EQ(s_.error_code, 0);
    EXPECT_EQ(cell(869).kind, model::kRouteSign);
    EXPECT_EQ(cell(869).mountain_type, 2);
    EXPECT_EQ(cell(873).kind, model::kMountainMarker);
  }
  {
    SCOPED_TRACE("a sign on an indicator, an indicator on a sign");
    reset();
    read_body(
        "indicatori_vmax,  600,  90,  95,  95,  0,  ,  ,  ,  0\r\n"
        "cartello_indicatore,  600,   (X)\r\n");
    EXPECT_EQ(s_.error_code, model::kSignCellTaken);
    EXPECT_EQ(s_.error_position, 600);
    reset();
    RouteOutcome out = read_body(
        "cartello_indicatore,  600,   (X)\r\n"
        "indicatori_vmax,  610,  90,  95,  95,  0,  ,  ,  ,  0\r\n");
    EXPECT_EQ(s_.error_code, model::kIndicatorCellTaken);
    EXPECT_EQ(s_.error_position, 610);
    EXPECT_FALSE(out.read_train);
    EXPECT_FALSE(route_file_left());
    EXPECT_EQ(cell(13).kind, model::kRouteSign);
  }
  {
    SCOPED_TRACE("a sign before cell 0");
    reset();
    EXPECT_THROW(read_body("cartello_indicatore,  -100,   (X)\r\n"), platform::RuntimeFailure);
  }
}

TEST_F(RouteReaderTest, SignSlotsRunFrom80Down) {
  std::string body;
  for (int n = 0; n < 80; ++n) {
    body += "cartello_indicatore,  " + std::to_string(1000 + 100 * n) + ",   (S" +
            std::to_string(n + 1) + ")\r\n";
  }
  RouteOutcome out = read_body(body);
  EXPECT_EQ(s_.error_code, 0);
  EXPECT_EQ(s_.item_table[80].item_name, "(S1)");
  EXPECT_EQ(s_.item_table[30].item_name, "(S51)");  // the fifty-first sign
  EXPECT_EQ(cell(1000 / 50 + 1 + 2 * 50).value1, 30);
  EXPECT_EQ(s_.item_table[1].item_name, "(S80)");
  EXPECT_EQ(out.sign_slot, 0);

  // An 81st sign would take slot 0: refused as a reading failure.
  reset();
  EXPECT_THROW(read_body(body + "cartello_indicatore,  99000,   (S81)\r\n"),
               platform::RuntimeFailure);
  EXPECT_EQ(s_.item_table[0].item_name, "");
  EXPECT_EQ(cell(99000 / 50 + 1).kind, model::kEmpty);
}

TEST_F(RouteReaderTest, Curves) {
  {
    SCOPED_TRACE("the plan of the first built-in curve");
    read_body("curvad4,  2150,  100\r\n");
    EXPECT_EQ(s_.error_code, 0);
    EXPECT_EQ(s_.track_plan.x[2151], 0.001);
    EXPECT_EQ(s_.track_plan.y[2152], 2151.0 + (1.0 - 0.001 * 0.001));
    EXPECT_EQ(s_.track_plan.cursor, 106999);
  }
  const struct {
    const char* name;
    std::string_view body;
  } failing[] = {
      {"no class digit", "curvad4,  2150,  100\r\ncurvas,  3000,  100\r\n"},
      {"past the end of the plan", "curvas6,  106900,  200\r\n"},
  };
  for (const auto& c : failing) {
    SCOPED_TRACE(c.name);
    reset();
    RouteOutcome out = read_body(std::string(c.body) + "pendenza,  50,   1\r\n");
    EXPECT_EQ(s_.error_code, model::kBadCurve);
    EXPECT_FALSE(out.read_train);
    EXPECT_FALSE(route_file_left());
    EXPECT_GT(s_.track_plan.cursor, 2250);  // what was drawn stays
    EXPECT_EQ(gradient(0), 0);
  }
  {
    SCOPED_TRACE("without a plan, curve rows are not read");
    reset();
    s_.write_line_file = 0;
    read_body("curvas,  2150,  100\r\npendenza,  850,   4\r\n");
    EXPECT_EQ(s_.error_code, 0);
    EXPECT_FALSE(s_.track_plan_allocated);
    EXPECT_EQ(gradient(17), 104);
  }
}

TEST_F(RouteReaderTest, MountainRows) {
  std::string body;
  for (int n = 0; n < 80; ++n) {
    body += "montagna,   " + std::to_string(1000 * n) + ",  " + std::to_string(1000 * n + 300) +
            ",  11\r\n";
  }
  read_body(body);
  EXPECT_EQ(s_.error_code, 0);
  EXPECT_EQ(s_.mountain_count, 80);
  EXPECT_EQ(cell(1583).kind, model::kMountainMarker);
  reset();
  EXPECT_THROW(read_body(body + "montagna,   90000,  90300,  2\r\n"), platform::RuntimeFailure);
  EXPECT_EQ(s_.mountain_count, 80);
  EXPECT_EQ(cell(1800).mountain_type, 0);
}

TEST_F(RouteReaderTest, TheBuiltInRouteCompilesWithoutError) {
  sources::dati_linea(s_);
  RouteOutcome out = read_route_description(s_);
  EXPECT_EQ(s_.error_code, 0);
  EXPECT_TRUE(out.read_train);
  EXPECT_EQ(out.sign_slot, 29);  // 51 signs in slots 80 .. 30
  EXPECT_FALSE(route_file_left());

  EXPECT_EQ(s_.total_length, 107000);
  EXPECT_EQ(s_.cell_count, 2140);
  // 2 x 107001 values, the last two of each half empty.
  EXPECT_EQ(model::encode_line_file(s_).size(), 2139964u);
  EXPECT_EQ(model::encode_track_file(s_).size(), 32115u);

  EXPECT_EQ(s_.item_table[85].area_start, 1);
  EXPECT_EQ(s_.item_table[85].item_position, 20000);
  EXPECT_EQ(s_.item_table[85].area_end, 30500);
  EXPECT_EQ(s_.item_table[86].item_position, 0);
  EXPECT_EQ(s_.mountain_count, 40);
  EXPECT_EQ(cell(13).value1, 1800);
  EXPECT_EQ(cell(621).kind, model::kRouteSign);
  EXPECT_EQ(cell(621).mountain_type, 2);
  EXPECT_EQ(s_.item_table[80].item_name, "(GALLERIA        )(VALSORNA        )(Mt.116 Km.31+044)");
  EXPECT_EQ(s_.item_table[30].item_name, "(GALLERIA ARTIF.)(Mt140 Km.95+137)");
  EXPECT_EQ(gradient(16), 100);
  EXPECT_EQ(gradient(17), 104);
  EXPECT_EQ(s_.track_plan.x[2151], 0.001);
  // The plan's bits, as an independent double computation of the same steps
  // gives them: the end of the first curve and the last computed point.
  EXPECT_EQ(s_.track_plan.x[2250], 0x1.42f0537c713bdp+2);
  EXPECT_EQ(s_.track_plan.y[2250], 0x1.193aab73b227cp+11);
  EXPECT_EQ(s_.track_plan.x[50000], -0x1.34067e9b1b735p+8);
  EXPECT_EQ(s_.track_plan.y[50000], 0x1.133eef38827aep+14);
  EXPECT_EQ(s_.track_plan.x[106998], 0x1.73eaf6d0b2a0ep+13);
  EXPECT_EQ(s_.track_plan.y[106998], 0x1.24d0c001b9264p+15);
}

// The largest line with thousands of rows of every kind: one pass over the
// text and over the plan.
TEST_F(RouteReaderTest, TheLargestRoute) {
  std::string text = "[generale]\r\nlunghezza percorso,    1000000\r\n[curve]\r\n";
  for (int n = 0; n < 2000; ++n) {
    const int p = 2000 + 450 * n;
    text += std::string(n % 2 ? "curvas" : "curvad") + std::to_string(1 + n % 6) + ",  " +
            std::to_string(p) + ",  " + std::to_string(50 + 50 * (n % 8)) + "\r\n";
  }
  text += "[pendenze]\r\n";
  for (int n = 0; n < 3000; ++n) {
    text += "pendenza,  " + std::to_string(850 + 330 * n) + ",   " + std::to_string(n % 45 - 22) +
            "\r\n";
  }
  text += "[montagne]\r\n";
  for (int n = 0; n < 80; ++n) {
    text += "montagna,   " + std::to_string(10000 * n) + ",  " + std::to_string(10000 * n + 5000) +
            ",  12\r\n";
  }
  text += "[cartelli]\r\n";
  for (int n = 0; n < 2000; ++n) {
    text += "indicatori_vmax,  " + std::to_string(300 + 450 * n) +
            ",  90,  95,  95,  0,  ,  ,  ,  0\r\n";
  }
  text += "[indicazioni]\r\n";
  for (int n = 0; n < 80; ++n) {
    text += "cartello_indicatore,  " + std::to_string(500 + 12000 * n) +
            ",   (GALLERIA        )(VALSORNA        )(Mt.116 Km.31+044)\r\n";
  }
  text += "[fine]\r\n";
  read(text);
  EXPECT_EQ(s_.error_code, 0);
  EXPECT_EQ(s_.cell_count, 20140);
  EXPECT_EQ(s_.track_plan.cursor, 1006999);
  EXPECT_EQ(s_.track_plan.x.size(), 1007001u);
  EXPECT_EQ(model::encode_line_file(s_).size(), 2u * (2 * 4 + 1006997 * 10 + 2 * 2));
}

}  // namespace
}  // namespace route
