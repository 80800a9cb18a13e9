#include "route/mountain_store.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/runtime_failure.h"

namespace route {
namespace {

// The built-in line's track: cells 0 .. 2140.
model::Scenario scenario_with_track(int32_t cell_count = 2140) {
  model::Scenario s;
  s.start_track(cell_count);
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

}  // namespace
}  // namespace route
