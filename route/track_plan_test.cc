#include "route/track_plan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "model/compiled_files.h"
#include "platform/runtime_failure.h"

namespace route {
namespace {

model::Scenario started_plan(int32_t total_length) {
  model::Scenario s;
  s.total_length = total_length;
  create_track_plan(s);
  plan_start(s);
  return s;
}

double x(const model::Scenario& s, int32_t m) { return s.track_plan.x[static_cast<size_t>(m)]; }
double y(const model::Scenario& s, int32_t m) { return s.track_plan.y[static_cast<size_t>(m)]; }

TEST(TrackPlanTest, CurveClassAndSideFromTheKeyword) {
  const struct {
    const char* keyword;
    std::optional<double> k;
  } cases[] = {
      {"curvad1", 0.0001},       {"curvad2", 0.0002},      {"curvad3", 0.0004},
      {"curvad4", 0.001},        {"curvad5", 0.002},       {"curvad6", 0.003},
      {"curvas6", -0.003},       {"CURVAS4", -0.001},  // an upper-case S turns left too
      {"curvad21", 0.0001},                            // the first digit tested wins
      {"curvad7", std::nullopt}, {"curvad", std::nullopt}, {"curvas0", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(curve_heading_change(c.keyword), c.k) << c.keyword;
  }
}

TEST(TrackPlanTest, WithoutCurvesThePlanIsTheStraightLine) {
  model::Scenario s = started_plan(7000);
  plan_tail(s);
  EXPECT_EQ(s.track_plan.cursor, 6999);  // points 6999 and 7000 stay empty
  for (int32_t m = 0; m <= 6998; ++m) {
    ASSERT_EQ(x(s, m), 0.0) << m;
    ASSERT_EQ(y(s, m), m) << m;
  }
  // 2 x (2 integers + 6997 doubles + 2 empties)
  EXPECT_EQ(model::encode_line_file(s).size(), 2u * (2 * 4 + 6997 * 10 + 2 * 2));
}

TEST(TrackPlanTest, TheFirstBuiltInCurve) {
  model::Scenario s = started_plan(107000);
  ASSERT_TRUE(plan_curve(s, 2150, 100, 0.001));
  EXPECT_EQ(s.track_plan.cursor, 2251);
  EXPECT_EQ(x(s, 2150), 0.0);
  EXPECT_EQ(y(s, 2150), 2150.0);
  EXPECT_EQ(x(s, 2151), 0.001);
  EXPECT_EQ(y(s, 2151), 2151.0);
  // The increments are formed first, then added: 0.001 + (1 * 0.001 + 0.001)
  // and 2151 + (1 - 0.001 * 0.001).
  EXPECT_EQ(x(s, 2152), 0.001 + (1.0 * 0.001 + 0.001));
  EXPECT_EQ(y(s, 2152), 2151.0 + (1.0 - 0.001 * 0.001));
  EXPECT_NEAR(x(s, 2152), 0.003, 1e-15);
  EXPECT_NEAR(y(s, 2152), 2151.999999, 1e-9);

  // After 100 steps the direction has turned by about 0.1 rad and is a
  // little longer than 1 (never renormalised); straight steps keep it.
  plan_tail(s);
  const double dx = x(s, 2251) - x(s, 2250);
  const double dy = y(s, 2251) - y(s, 2250);
  EXPECT_NEAR(std::atan2(dx, dy), 0.1, 1e-3);
  EXPECT_GT(std::hypot(dx, dy), 1.0);
  EXPECT_EQ(x(s, 2252) - x(s, 2251), dx);
}

TEST(TrackPlanTest, ALeftCurveIsTheMirrorImage) {
  model::Scenario right = started_plan(20000);
  model::Scenario left = started_plan(20000);
  ASSERT_TRUE(plan_curve(right, 2150, 900, 0.003));
  ASSERT_TRUE(plan_curve(left, 2150, 900, -0.003));
  plan_tail(right);
  plan_tail(left);
  for (int32_t m = 0; m < right.track_plan.cursor; ++m) {
    ASSERT_EQ(x(left, m), -x(right, m)) << m;
    ASSERT_EQ(y(left, m), y(right, m)) << m;
  }
}

TEST(TrackPlanTest, RowsBehindTheCursorAndOfLengthZero) {
  // A curve of length 0 draws only the straight run up to its position.
  model::Scenario s = started_plan(10000);
  ASSERT_TRUE(plan_curve(s, 1000, 0, 0.002));
  EXPECT_EQ(s.track_plan.cursor, 1001);
  EXPECT_EQ(x(s, 1000), 0.0);

  // A row starting behind the cursor draws only its arc beyond the cursor:
  // the same points as a row starting at the cursor.
  model::Scenario a = started_plan(10000);
  model::Scenario b = started_plan(10000);
  ASSERT_TRUE(plan_curve(a, 1000, 200, 0.001));
  ASSERT_TRUE(plan_curve(b, 1000, 200, 0.001));
  ASSERT_TRUE(plan_curve(a, 1100, 300, 0.002));  // overlaps: arc 1201 .. 1400 only
  ASSERT_TRUE(plan_curve(b, 1200, 200, 0.002));
  EXPECT_EQ(a.track_plan.cursor, 1401);
  for (int32_t m = 0; m <= 1400; ++m) ASSERT_EQ(x(a, m), x(b, m)) << m;

  // A row wholly behind the cursor draws nothing.
  ASSERT_TRUE(plan_curve(a, 500, 100, 0.003));
  EXPECT_EQ(a.track_plan.cursor, 1401);
}

TEST(TrackPlanTest, ACurvePastTheLastPointStopsThere) {
  model::Scenario s = started_plan(8000);
  EXPECT_FALSE(plan_curve(s, 7900, 500, 0.001));
  EXPECT_EQ(s.track_plan.cursor, 8001);  // every point up to the last is computed
  EXPECT_NE(x(s, 8000), 0.0);
  EXPECT_EQ(model::encode_line_file(s).size(), 2u * (2 * 4 + 7999 * 10));
}

TEST(TrackPlanTest, NoCurveTakesThePlanPastAMillionPoints) {
  model::Scenario s = started_plan(1007000);
  ASSERT_TRUE(plan_curve(s, 999000, 999, 0.0001));  // ends at point 999999
  EXPECT_FALSE(plan_curve(s, 999900, 101, 0.0001));
  EXPECT_EQ(s.track_plan.cursor, 1000001);  // point 1000000 computed, then refused
  model::Scenario straight = started_plan(1007000);
  EXPECT_FALSE(plan_curve(straight, 1000000, 0, 0.001));
  EXPECT_EQ(straight.track_plan.cursor, 1000001);
}

TEST(TrackPlanTest, APlanNeedsItsFirstTwoPoints) {
  model::Scenario s;
  s.total_length = -1;
  EXPECT_THROW(create_track_plan(s), platform::RuntimeFailure);
  s.total_length = 0;
  create_track_plan(s);
  EXPECT_THROW(plan_start(s), platform::RuntimeFailure);
  s.total_length = 1;
  create_track_plan(s);
  plan_start(s);
  plan_tail(s);
  EXPECT_EQ(s.track_plan.cursor, 2);
}

}  // namespace
}  // namespace route
