#include "route/track_plan.h"

#include <array>
#include <string>

#include "platform/runtime_failure.h"

namespace route {

namespace {

model::TrackPlan& started_plan(model::Scenario& s) {
  if (!s.track_plan_allocated || s.track_plan.cursor < 2) {
    throw platform::RuntimeFailure(platform::kSubscriptOutOfRange, "track plan not started");
  }
  return s.track_plan;
}

// REQUIRES: 2 <= plan.cursor <= plan.last.
void straight_step(model::TrackPlan& plan) {
  const size_t c = static_cast<size_t>(plan.cursor);
  const double dx = plan.x[c - 1] - plan.x[c - 2];
  const double dy = plan.y[c - 1] - plan.y[c - 2];
  plan.x[c] = plan.x[c - 1] + dx;
  plan.y[c] = plan.y[c - 1] + dy;
  ++plan.cursor;
}

// REQUIRES: 2 <= plan.cursor <= plan.last.
void arc_step(model::TrackPlan& plan, double k) {
  const size_t c = static_cast<size_t>(plan.cursor);
  const double dx = plan.x[c - 1] - plan.x[c - 2];
  const double dy = plan.y[c - 1] - plan.y[c - 2];
  plan.x[c] = plan.x[c - 1] + (dy * k + dx);
  plan.y[c] = plan.y[c - 1] + (dy - dx * k);
  ++plan.cursor;
}

}  // namespace

void create_track_plan(model::Scenario& s) {
  if (s.total_length < 0) {
    throw platform::RuntimeFailure(platform::kSubscriptOutOfRange,
                                   "track plan of " + std::to_string(s.total_length) + " m");
  }
  model::TrackPlan& plan = s.track_plan;
  const size_t points = static_cast<size_t>(s.total_length) + 1;
  plan.last = s.total_length;
  plan.cursor = 0;
  // Two plain double arrays: 16 bytes a point, near the line file's 20.
  plan.x.assign(points, 0.0);
  plan.y.assign(points, 0.0);
  s.track_plan_allocated = true;
}

std::optional<double> curve_heading_change(std::string_view keyword) {
  static constexpr std::array<double, 6> kPerClass = {0.0001, 0.0002, 0.0004, 0.001, 0.002, 0.003};
  for (size_t i = 0; i < kPerClass.size(); ++i) {
    if (keyword.find(static_cast<char>('1' + i)) != std::string_view::npos) {
      const bool left = keyword.find_first_of("sS") != std::string_view::npos;
      return left ? -kPerClass[i] : kPerClass[i];
    }
  }
  return std::nullopt;
}

void plan_start(model::Scenario& s) {
  if (!s.track_plan_allocated || s.track_plan.last < 1) {
    throw platform::RuntimeFailure(platform::kSubscriptOutOfRange, "track plan point 1");
  }
  model::TrackPlan& plan = s.track_plan;
  plan.x[0] = 0.0;
  plan.y[0] = 0.0;
  plan.x[1] = 0.0;
  plan.y[1] = 1.0;
  plan.cursor = 2;
}

bool plan_curve(model::Scenario& s, int32_t p, int32_t l, double k) {
  model::TrackPlan& plan = started_plan(s);
  const int64_t arc_end = int64_t{p} + l;
  while (plan.cursor <= p) {
    if (plan.cursor > plan.last) return false;
    straight_step(plan);
    if (plan.cursor > kMaxCurvePoints) return false;
  }
  while (plan.cursor <= arc_end) {
    if (plan.cursor > plan.last) return false;
    arc_step(plan, k);
    if (plan.cursor > kMaxCurvePoints) return false;
  }
  return true;
}

void plan_tail(model::Scenario& s) {
  model::TrackPlan& plan = started_plan(s);
  const int64_t tail_end = int64_t{plan.last} - 2;
  while (plan.cursor <= tail_end) straight_step(plan);
}

}  // namespace route
