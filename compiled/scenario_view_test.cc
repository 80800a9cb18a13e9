#include "compiled/scenario_view.h"

#include <gtest/gtest.h>

#include "compiled/test_scenario.h"

namespace tools {
namespace {

using testing::set_of;
using testing::small_scenario;

// The small scenario climbs 10 per mille over cells 0 .. 99 and falls 10 per
// mille over cells 100 .. 197; its limit is 95 km/h over cells 0 .. 23 and
// 140 km/h from cell 24. A speed indicator is added on cell 41.
model::Scenario scenario_with_indicator() {
  model::Scenario s = small_scenario();
  s.track[41].kind = model::kSpeedIndicator;
  s.track[41].value1 = 1817;  // 90 left, 85 right
  s.track[41].value2 = 1900;  // 95, 0
  s.track[41].value3 = 19;    // 0, 95
  s.track[41].value4 = 23;    // stripes 2 and 3
  return s;
}

TEST(ScenarioViewTest, TheProfileInMetresPerMilleAndKmPerHour) {
  const ScenarioView view = view_of(set_of(scenario_with_indicator()));
  ASSERT_TRUE(view.track);
  const TrackFileView& t = *view.track;
  EXPECT_EQ(t.cell_count, 200);
  EXPECT_EQ(t.profile_cells, 198);
  EXPECT_EQ(t.profile_length(), 9900);
  ASSERT_EQ(t.elevation.size(), 199u);

  // The height where a cell begins: the rises of the cells before it, each
  // gradient x 50 m.
  struct Point {
    int cell;
    double elevation;  // metres
    int gradient;      // per mille
    int speed_limit;   // km/h
  };
  const Point points[] = {
      {0, 0.0, 10, 95},      {1, 0.5, 10, 95},     {23, 11.5, 10, 95},    {24, 12.0, 10, 140},
      {40, 20.0, 10, 140},   {99, 49.5, 10, 140},  {100, 50.0, -10, 140}, {101, 49.5, -10, 140},
      {150, 25.0, -10, 140}, {197, 1.5, -10, 140}, {198, 1.0, -100, 0},
  };
  for (const Point& p : points) {
    const size_t c = static_cast<size_t>(p.cell);
    EXPECT_DOUBLE_EQ(t.elevation[c], p.elevation) << "cell " << p.cell;
    EXPECT_EQ(t.cells[c].gradient, p.gradient) << "cell " << p.cell;
    EXPECT_EQ(t.cells[c].speed_limit, p.speed_limit) << "cell " << p.cell;
  }
  // The last three cells were never given a gradient, speed or adhesion.
  EXPECT_EQ(t.cells[200].gradient, -100);
  EXPECT_EQ(t.cells[197].adhesion, 100);
  EXPECT_EQ(t.cells[198].adhesion, 0);
}

TEST(ScenarioViewTest, MarksOnTheTrackAtTheirPositions) {
  const ScenarioView view = view_of(set_of(scenario_with_indicator()));
  const TrackFileView& t = *view.track;

  // A mark on cell k stands at (k - 1) x 50 m.
  ASSERT_EQ(t.signals.size(), 1u);
  EXPECT_EQ(t.signals[0].cell, 11);
  EXPECT_EQ(t.signals[0].position, 500);
  EXPECT_EQ(t.signals[0].codes, (std::array<int, 4>{30, 0, 0, 3}));

  ASSERT_EQ(t.slowdowns.size(), 1u);
  EXPECT_EQ(t.slowdowns[0].start_cell, 51);
  EXPECT_EQ(t.slowdowns[0].end_cell, 57);
  EXPECT_EQ(t.slowdowns[0].start, 2500);
  EXPECT_EQ(t.slowdowns[0].end, 2800);
  EXPECT_EQ(t.slowdowns[0].speed, 30);

  ASSERT_EQ(t.speed_indicators.size(), 1u);
  const SpeedIndicatorView& i = t.speed_indicators[0];
  EXPECT_EQ(i.position, 2000);
  EXPECT_EQ(i.speeds[0].left, 90);
  EXPECT_EQ(i.speeds[0].right, 85);
  EXPECT_EQ(i.speeds[1].left, 95);
  EXPECT_EQ(i.speeds[1].right, 0);
  EXPECT_EQ(i.speeds[2].left, 0);
  EXPECT_EQ(i.speeds[2].right, 95);
  EXPECT_EQ(i.stripes.left, 2);
  EXPECT_EQ(i.stripes.right, 3);

  // Cells 60 .. 70 of type 2: from the start of the first to the end of the
  // last.
  ASSERT_EQ(t.mountain_stretches.size(), 1u);
  const MountainStretchView& m = t.mountain_stretches[0];
  EXPECT_EQ(m.first_cell, 60);
  EXPECT_EQ(m.last_cell, 70);
  EXPECT_EQ(m.start, 3000);
  EXPECT_EQ(m.end, 3550);
  EXPECT_EQ(m.type, 2);

  EXPECT_EQ(t.kind_counts.at(model::kSpeedIndicator), 1);
  EXPECT_EQ(t.kind_counts.at(model::kRouteSign), 2);
  EXPECT_TRUE(t.identity.marker_ok);
  EXPECT_TRUE(t.identity.ordinary_code_ok);
}

// A slowdown start with no end before the next start ends on itself; runs of
// mountain types are cut where the type changes.
TEST(ScenarioViewTest, SlowdownsAndStretchesAsTheCellsRun) {
  model::Scenario s = small_scenario();
  s.track[80].kind = model::kSlowdownStart;
  s.track[80].value1 = 60;
  s.track[90].kind = model::kSlowdownStart;
  s.track[90].value1 = 40;
  s.track[95].kind = model::kSlowdownEnd;
  for (int i = 71; i <= 72; ++i) s.track[i].mountain_type = 5;
  s.track[200].mountain_type = 1;
  const TrackFileView t = *view_of(set_of(s)).track;

  ASSERT_EQ(t.slowdowns.size(), 3u);
  EXPECT_EQ(t.slowdowns[1].start_cell, 80);
  EXPECT_EQ(t.slowdowns[1].end_cell, 80);
  EXPECT_EQ(t.slowdowns[1].speed, 60);
  EXPECT_EQ(t.slowdowns[2].start_cell, 90);
  EXPECT_EQ(t.slowdowns[2].end, 4700);

  ASSERT_EQ(t.mountain_stretches.size(), 3u);
  EXPECT_EQ(t.mountain_stretches[0].last_cell, 70);
  EXPECT_EQ(t.mountain_stretches[1].first_cell, 71);
  EXPECT_EQ(t.mountain_stretches[1].end, 3650);
  EXPECT_EQ(t.mountain_stretches[1].type, 5);
  // Past the profile, still a stretch of the track.
  EXPECT_EQ(t.mountain_stretches[2].first_cell, 200);
  EXPECT_EQ(t.mountain_stretches[2].end, 10050);
}

TEST(ScenarioViewTest, StationsSignsAndGeneralValues) {
  const ScenarioView view = view_of(set_of(small_scenario()));
  ASSERT_TRUE(view.station);
  const StationFileView& st = *view.station;
  EXPECT_EQ(view.line_length(), 3000);
  EXPECT_EQ(st.general.train.clock(), (7 * 60 + 28) * 60 + 30);
  EXPECT_EQ(st.general.line.background_two, 20000);

  ASSERT_EQ(st.stations.size(), 2u);
  const model::StationView& b = st.stations[1];
  EXPECT_EQ(b.slot, 2);
  EXPECT_EQ(b.name, "BETA & <GAMMA> \xB0");  // as stored
  EXPECT_EQ(b.position, 2000);
  EXPECT_EQ(b.area_start, 1800);
  EXPECT_EQ(b.area_end, 2200);
  EXPECT_EQ(b.stop_time, 30);
  EXPECT_EQ(b.departure_time, (7 * 60 + 49) * 60 + 30);
  EXPECT_EQ(b.departure_text(), "07:49:30");

  ASSERT_EQ(st.signs.size(), 2u);
  EXPECT_EQ(st.signs[0].slot, 80);
  EXPECT_EQ(st.signs[0].text, "(CULMINE)(Km.1+000)");
  EXPECT_EQ(st.signs[0].cell, 21);
  EXPECT_EQ(st.signs[0].position, 1000);
  EXPECT_EQ(st.signs[1].position, 1500);
  EXPECT_TRUE(st.identity.marker_ok && st.identity.weighted_code_ok);

  // Without the track file, a sign has no place.
  CompiledSet no_track = set_of(small_scenario());
  no_track.track.reset();
  const ScenarioView alone = view_of(no_track);
  EXPECT_FALSE(alone.track);
  EXPECT_FALSE(alone.station->signs[0].cell);
  EXPECT_FALSE(alone.station->signs[0].position);
}

TEST(ScenarioViewTest, ThePlanByMetre) {
  const ScenarioView view = view_of(set_of(small_scenario()));
  ASSERT_TRUE(view.line);
  const LineFileView& l = *view.line;
  EXPECT_EQ(l.last_point, 10000);
  // Points 0 .. 9998 are computed, the last two are left empty.
  EXPECT_EQ(l.points.size(), 9999u);
  EXPECT_EQ(l.at(9999), nullptr);
  EXPECT_EQ(l.at(-1), nullptr);
  EXPECT_EQ(l.at(10001), nullptr);
  // Straight north for the first kilometre.
  const PlanPoint* p = l.at(500);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->metre, 500);
  EXPECT_EQ(p->x, 0.0);
  EXPECT_EQ(p->y, 500.0);
  EXPECT_EQ(l.extent.min_y, 0.0);
  EXPECT_GT(l.extent.max_x, 500);
  EXPECT_EQ(l.extent.end_x, l.points.back().x);
  EXPECT_NEAR(l.extent.length, 9998, 1e-6);

  // Without a station file there is no line length.
  CompiledSet line_only;
  line_only.line = set_of(small_scenario()).line;
  EXPECT_EQ(view_of(line_only).line_length(), 0);
}

}  // namespace
}  // namespace tools
