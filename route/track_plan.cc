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

// Draws the points from the cursor on. Each step forms its direction afresh
// from the two points before it, as stored; those two are also kept in
// locals, so that a step waits on its own arithmetic and not on reading back
// what the step before has just stored. The values, and the order in which
// they are computed, are those of the stored points.
class Stepper {
 public:
  // REQUIRES: 2 <= plan.cursor.
  explicit Stepper(model::TrackPlan& plan)
      : plan_(plan),
        c_(static_cast<size_t>(plan.cursor)),
        x1_(plan.x[c_ - 1]),
        x2_(plan.x[c_ - 2]),
        y1_(plan.y[c_ - 1]),
        y2_(plan.y[c_ - 2]) {}
  Stepper(const Stepper&) = delete;
  Stepper& operator=(const Stepper&) = delete;
  ~Stepper() { plan_.cursor = static_cast<int32_t>(c_); }

  int64_t cursor() const { return static_cast<int64_t>(c_); }

  // REQUIRES: cursor() <= plan.last.
  void straight() {
    const double dx = x1_ - x2_;
    const double dy = y1_ - y2_;
    put(x1_ + dx, y1_ + dy);
  }
  void arc(double k) {
    const double dx = x1_ - x2_;
    const double dy = y1_ - y2_;
    put(x1_ + (dy * k + dx), y1_ + (dy - dx * k));
  }

 private:
  void put(double x, double y) {
    plan_.x[c_] = x;
    plan_.y[c_] = y;
    x2_ = x1_;
    x1_ = x;
    y2_ = y1_;
    y1_ = y;
    ++c_;
  }

  model::TrackPlan& plan_;
  size_t c_;
  double x1_, x2_, y1_, y2_;
};

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
  // Started afresh, not re-filled: this costs the points computed since the
  // last start (none, for a route-length row in the general section).
  plan.x.restart(points);
  plan.y.restart(points);
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
  Stepper step(plan);
  while (step.cursor() <= p) {
    if (step.cursor() > plan.last) return false;
    step.straight();
    if (step.cursor() > kMaxCurvePoints) return false;
  }
  while (step.cursor() <= arc_end) {
    if (step.cursor() > plan.last) return false;
    step.arc(k);
    if (step.cursor() > kMaxCurvePoints) return false;
  }
  return true;
}

void plan_tail(model::Scenario& s) {
  model::TrackPlan& plan = started_plan(s);
  const int64_t tail_end = int64_t{plan.last} - 2;
  Stepper step(plan);
  while (step.cursor() <= tail_end) step.straight();
}

}  // namespace route
