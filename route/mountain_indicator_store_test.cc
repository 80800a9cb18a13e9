#include "route/mountain_indicator_store.h"

#include <gtest/gtest.h>

#include "model/compile_errors.h"
#include "platform/runtime_failure.h"

namespace route {
namespace {

// The built-in line's track: cells 0 .. 2140.
model::Scenario scenario_with_track(int32_t cell_count = 2140) {
  model::Scenario s;
  s.cell_count = cell_count;
  s.track.assign(static_cast<size_t>(cell_count) + 1, model::TrackCell{});
  s.track_allocated = true;
  return s;
}

// The cells whose mountain_type is set, as [first, last], and the marker cells.
struct Covered {
  int first = -1, last = -1;
  std::vector<int> markers;
};
Covered covered(const model::Scenario& s) {
  Covered c;
  for (int i = 0; i <= s.cell_count; ++i) {
    if (s.track[static_cast<size_t>(i)].mountain_type != 0) {
      if (c.first < 0) c.first = i;
      c.last = i;
    }
    if (s.track[static_cast<size_t>(i)].kind == model::kMountainMarker) c.markers.push_back(i);
  }
  return c;
}

TEST(MemoMontagnaTest, TypesMarkersAndCells) {
  {
    SCOPED_TRACE("first built-in stretch: type 2 with markers, too short for one");
    model::Scenario s = scenario_with_track();
    memo_montagna(s, 31050, 31150, 12);
    EXPECT_EQ(s.mountain_count, 1);
    EXPECT_EQ(s.mountain_start[1], 31050);
    EXPECT_EQ(s.mountain_end[1], 31150);
    Covered c = covered(s);
    EXPECT_EQ(c.first, 621);
    EXPECT_EQ(c.last, 622);
    EXPECT_EQ(s.track[621].mountain_type, 2);
    EXPECT_TRUE(c.markers.empty());
  }
  {
    SCOPED_TRACE("gap 200: own type, every fourth empty cell a marker");
    model::Scenario s = scenario_with_track();
    memo_montagna(s, 42000, 43100, 1);
    s.track[873].kind = model::kSpeedIndicator;  // taken cells keep their kind
    memo_montagna(s, 43300, 43700, 12);
    for (int i = 866; i <= 873; ++i) EXPECT_EQ(s.track[static_cast<size_t>(i)].mountain_type, 2);
    EXPECT_EQ(s.track[861].mountain_type, 1);  // the previous stretch's last cell
    for (int i : {862, 865, 874}) EXPECT_EQ(s.track[static_cast<size_t>(i)].mountain_type, 0);
    EXPECT_EQ(covered(s).markers, std::vector<int>{869});
    EXPECT_EQ(s.track[873].kind, model::kSpeedIndicator);
  }
  {
    SCOPED_TRACE("gap 50 and a negative gap give type 3; markers are unaffected");
    model::Scenario s = scenario_with_track();
    memo_montagna(s, 53050, 53100, 1);
    memo_montagna(s, 53150, 53300, 1);
    for (int i = 1063; i <= 1065; ++i) EXPECT_EQ(s.track[static_cast<size_t>(i)].mountain_type, 3);
    memo_montagna(s, 53200, 54000, 11);  // starts before the previous end
    EXPECT_EQ(s.track[1070].mountain_type, 3);
    EXPECT_EQ(covered(s).markers, (std::vector<int>{1067, 1071, 1075, 1079}));
  }
  {
    SCOPED_TRACE("a gap of exactly 150 m joins (type 3), of 151 m does not");
    model::Scenario s = scenario_with_track();
    memo_montagna(s, 10000, 10500, 1);
    memo_montagna(s, 10650, 11000, 2);
    EXPECT_EQ(s.track[213].mountain_type, 3);
    memo_montagna(s, 11151, 11500, 2);
    EXPECT_EQ(s.track[223].mountain_type, 2);
  }
  {
    SCOPED_TRACE("type 11 marks with type 1; type 10 never marks");
    model::Scenario s = scenario_with_track();
    memo_montagna(s, 1000, 1400, 11);
    memo_montagna(s, 5000, 5400, 10);
    EXPECT_EQ(s.track[20].mountain_type, 1);
    EXPECT_EQ(s.track[100].mountain_type, 10);
    EXPECT_EQ(covered(s).markers, (std::vector<int>{23, 27}));
  }
  {
    SCOPED_TRACE("short stretches: one cell or none, listed all the same");
    model::Scenario s = scenario_with_track();
    memo_montagna(s, 1000, 1040, 1);
    EXPECT_EQ(covered(s).first, 20);
    EXPECT_EQ(covered(s).last, 20);
    model::Scenario none = scenario_with_track();
    memo_montagna(none, 1000, 1020, 1);
    EXPECT_EQ(covered(none).first, -1);
    EXPECT_EQ(none.mountain_count, 1);
    EXPECT_EQ(none.mountain_end[1], 1020);
  }
}

TEST(MemoMontagnaTest, StaysInsideTheTrackAndTheLists) {
  model::Scenario s = scenario_with_track(140);
  memo_montagna(s, 6800, 9000, 2);  // ends at the last cell
  EXPECT_EQ(covered(s).first, 136);
  EXPECT_EQ(covered(s).last, 140);

  // A stretch touching cells before cell 0 fails there, counted and listed.
  model::Scenario before = scenario_with_track(140);
  EXPECT_THROW(memo_montagna(before, -100, 200, 1), platform::RuntimeFailure);
  EXPECT_EQ(before.mountain_count, 1);
  model::Scenario no_cell = scenario_with_track(140);
  memo_montagna(no_cell, -1000, -1020, 1);  // covers no cell: nothing touched
  EXPECT_EQ(no_cell.mountain_count, 1);

  // Eighty stretches fit; the 81st is refused with nothing of it stored.
  model::Scenario full = scenario_with_track();
  for (int n = 0; n < 80; ++n) memo_montagna(full, 1000 * n, 1000 * n + 100, 1);
  EXPECT_EQ(full.mountain_count, 80);
  EXPECT_EQ(full.mountain_start[80], 79000);
  EXPECT_THROW(memo_montagna(full, 90000, 90100, 2), platform::RuntimeFailure);
  EXPECT_EQ(full.mountain_count, 80);
  EXPECT_EQ(full.track[1800].mountain_type, 0);
}

TEST(MemoIndicatoriVMaxTest, PacksLeftAndRightSpeeds) {
  model::Scenario s = scenario_with_track();
  // "indicatori_vmax,  600,  90,  95,  95,  0,  ,  ,  ,  0"
  ASSERT_TRUE(memo_indicatori_v_max(s, 600, 90, 95, 95, 0, 0, 0, 0, 0));
  const model::TrackCell& c = s.track[13];
  EXPECT_EQ(c.kind, model::kSpeedIndicator);
  EXPECT_EQ(c.value1, 1800);
  EXPECT_EQ(c.value2, 1900);
  EXPECT_EQ(c.value3, 1900);
  EXPECT_EQ(c.value4, 0);

  // Right speeds: 85 is kept exactly; 92 / 5 = 18.4 rounds away in 1818.4.
  ASSERT_TRUE(memo_indicatori_v_max(s, 1000, 90, 90, 1, 7, 85, 92, 2, 3));
  const model::TrackCell& d = s.track[21];
  EXPECT_EQ(d.value1, 1817);
  EXPECT_EQ(d.value2, 1818);
  EXPECT_EQ(d.value3, 20);  // 20.4
  EXPECT_EQ(d.value4, 73);
  ASSERT_TRUE(memo_indicatori_v_max(s, 2000, 0, -1, 0, 0, 3, -3, 0, 0));
  EXPECT_EQ(s.track[41].value1, 1);    // 0.6
  EXPECT_EQ(s.track[41].value2, -21);  // -20.6

  // Stripes wrap to 16 bits instead of failing.
  ASSERT_TRUE(memo_indicatori_v_max(s, 3000, 0, 0, 0, 3277, 0, 0, 0, 0));
  EXPECT_EQ(s.track[61].value4, -32766);  // 32770 wrapped
}

TEST(MemoIndicatoriVMaxTest, CellRules) {
  model::Scenario s = scenario_with_track();
  s.track[13].kind = model::kMountainMarker;
  ASSERT_TRUE(memo_indicatori_v_max(s, 600, 90, 95, 95, 0, 0, 0, 0, 0));
  EXPECT_EQ(s.track[13].kind, model::kSpeedIndicator);  // a marker cell is free

  for (uint8_t taken : {model::kSpeedIndicator, model::kRouteSign, model::kSignal}) {
    model::Scenario t = scenario_with_track();
    t.track[13].kind = taken;
    t.track[13].value1 = 77;
    EXPECT_FALSE(memo_indicatori_v_max(t, 620, 90, 95, 95, 0, 0, 0, 0, 0));
    EXPECT_EQ(t.error_code, model::kIndicatorCellTaken);
    EXPECT_EQ(t.track[13].kind, taken);
    EXPECT_EQ(t.track[13].value1, 77);
  }

  // The cell is round(p / 50 + 1) as a whole: 625 -> 13.5 -> 14 (even), 575 -> 12.5 -> 12.
  ASSERT_TRUE(memo_indicatori_v_max(s, 625, 1, 0, 0, 0, 0, 0, 0, 0));
  ASSERT_TRUE(memo_indicatori_v_max(s, 575, 2, 0, 0, 0, 0, 0, 0, 0));
  EXPECT_EQ(s.track[14].value1, 20);
  EXPECT_EQ(s.track[12].value1, 40);
}

TEST(MemoIndicatoriVMaxTest, ValuesThatDoNotFitFailAfterWhatWasStored) {
  model::Scenario s = scenario_with_track();
  // 1639 * 20 = 32780: value2 does not fit; kind and value1 are stored.
  EXPECT_THROW(memo_indicatori_v_max(s, 600, 10, 1639, 0, 0, 0, 0, 0, 0), platform::RuntimeFailure);
  EXPECT_EQ(s.track[13].kind, model::kSpeedIndicator);
  EXPECT_EQ(s.track[13].value1, 200);
  EXPECT_EQ(s.track[13].value2, 0);
  // Cells before cell 0 are never written.
  EXPECT_THROW(memo_indicatori_v_max(s, -100, 0, 0, 0, 0, 0, 0, 0, 0), platform::RuntimeFailure);
}

}  // namespace
}  // namespace route
