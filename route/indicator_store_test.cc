#include "route/indicator_store.h"

#include <gtest/gtest.h>

#include "model/compile_errors.h"
#include "platform/runtime_failure.h"

namespace route {
namespace {

// The built-in line's track: cells 0 .. 2140.
model::Scenario scenario_with_track(int32_t cell_count = 2140) {
  model::Scenario s;
  s.start_track(cell_count);
  return s;
}

TEST(MemoIndicatoriVMaxTest, PacksLeftAndRightSpeeds) {
  model::Scenario s = scenario_with_track();
  // "indicatori_vmax,  600,  90,  95,  95,  0,  ,  ,  ,  0"
  ASSERT_TRUE(memo_indicatori_v_max(s, {.posizione = 600, .vas = 90, .vbs = 95, .vcs = 95}));
  const model::TrackCell& c = s.track[13];
  EXPECT_EQ(c.kind, model::kSpeedIndicator);
  EXPECT_EQ(c.value1, 1800);
  EXPECT_EQ(c.value2, 1900);
  EXPECT_EQ(c.value3, 1900);
  EXPECT_EQ(c.value4, 0);

  // Right speeds: 85 is kept exactly; 92 / 5 = 18.4 rounds away in 1818.4.
  ASSERT_TRUE(memo_indicatori_v_max(s, {.posizione = 1000,
                                        .vas = 90,
                                        .vbs = 90,
                                        .vcs = 1,
                                        .strisces = 7,
                                        .vad = 85,
                                        .vbd = 92,
                                        .vcd = 2,
                                        .strisced = 3}));
  const model::TrackCell& d = s.track[21];
  EXPECT_EQ(d.value1, 1817);
  EXPECT_EQ(d.value2, 1818);
  EXPECT_EQ(d.value3, 20);  // 20.4
  EXPECT_EQ(d.value4, 73);
  ASSERT_TRUE(memo_indicatori_v_max(s, {.posizione = 2000, .vbs = -1, .vad = 3, .vbd = -3}));
  EXPECT_EQ(s.track[41].value1, 1);    // 0.6
  EXPECT_EQ(s.track[41].value2, -21);  // -20.6

  // Stripes wrap to 16 bits instead of failing.
  ASSERT_TRUE(memo_indicatori_v_max(s, {.posizione = 3000, .strisces = 3277}));
  EXPECT_EQ(s.track[61].value4, -32766);  // 32770 wrapped
}

TEST(MemoIndicatoriVMaxTest, CellRules) {
  model::Scenario s = scenario_with_track();
  s.track[13].kind = model::kMountainMarker;
  ASSERT_TRUE(memo_indicatori_v_max(s, {.posizione = 600, .vas = 90, .vbs = 95, .vcs = 95}));
  EXPECT_EQ(s.track[13].kind, model::kSpeedIndicator);  // a marker cell is free

  for (uint8_t taken : {model::kSpeedIndicator, model::kRouteSign, model::kSignal}) {
    model::Scenario t = scenario_with_track();
    t.track[13].kind = taken;
    t.track[13].value1 = 77;
    EXPECT_FALSE(memo_indicatori_v_max(t, {.posizione = 620, .vas = 90, .vbs = 95, .vcs = 95}));
    EXPECT_EQ(t.error_code, model::kIndicatorCellTaken);
    EXPECT_EQ(t.track[13].kind, taken);
    EXPECT_EQ(t.track[13].value1, 77);
  }

  // The cell is round(p / 50 + 1) as a whole: 625 -> 13.5 -> 14 (even), 575 -> 12.5 -> 12.
  ASSERT_TRUE(memo_indicatori_v_max(s, {.posizione = 625, .vas = 1}));
  ASSERT_TRUE(memo_indicatori_v_max(s, {.posizione = 575, .vas = 2}));
  EXPECT_EQ(s.track[14].value1, 20);
  EXPECT_EQ(s.track[12].value1, 40);
}

TEST(MemoIndicatoriVMaxTest, ValuesThatDoNotFitFailAfterWhatWasStored) {
  model::Scenario s = scenario_with_track();
  // 1639 * 20 = 32780: value2 does not fit; kind and value1 are stored.
  EXPECT_THROW((void)memo_indicatori_v_max(s, {.posizione = 600, .vas = 10, .vbs = 1639}),
               platform::RuntimeFailure);
  EXPECT_EQ(s.track[13].kind, model::kSpeedIndicator);
  EXPECT_EQ(s.track[13].value1, 200);
  EXPECT_EQ(s.track[13].value2, 0);
  // Cells before cell 0 are never written.
  EXPECT_THROW((void)memo_indicatori_v_max(s, {.posizione = -100}), platform::RuntimeFailure);
}

}  // namespace
}  // namespace route
