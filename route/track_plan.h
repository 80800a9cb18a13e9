// The track plan: x and y, in metres, of every metre point of the line,
// drawn from the route's curve rows while the route description is read.
//
// Point 0 is the origin and the track leaves it along +y, one metre per
// point. Each new point c continues the previous step (dx, dy) =
// p(c-1) - p(c-2), formed afresh from the stored points every time:
//   straight step   x(c) = x(c-1) + dx            y(c) = y(c-1) + dy
//   arc step        x(c) = x(c-1) + (dy * k + dx) y(c) = y(c-1) + (dy - dx * k)
// in double precision, in exactly this order (the line file carries the bits,
// so no step may be regrouped, contracted or carried in a running direction).
// An arc step turns the direction by about k radians and lengthens it by
// sqrt(1 + k^2); it is never renormalised. A positive k turns from +y towards
// +x: a right-hand curve.
//
// The plan is computed strictly in increasing point order in one pass: the
// plan cursor (s.track_plan.cursor) is the next point to compute; every point
// from the cursor on is empty. Only s.track_plan and s.track_plan_allocated
// are touched here.
#ifndef SCENARIO_ROUTE_TRACK_PLAN_H_
#define SCENARIO_ROUTE_TRACK_PLAN_H_

#include <cstdint>
#include <optional>
#include <string_view>

#include "model/compile_errors.h"
#include "model/scenario.h"

namespace route {

// A curve row may not push the plan cursor past this point count.
inline constexpr int32_t kMaxCurvePoints = model::kMaxPlanPoints;

// Creates the plan afresh for points 0 .. s.total_length, every point empty
// (and every value 0, cursor 0). It reuses the storage of the plan before:
// the cost is that of the points computed since the plan's last start, not
// of total_length (see model/reusable_vector.h).
// Throws RuntimeFailure when total_length is negative (no such table).
void create_track_plan(model::Scenario& s);

// The heading change per metre of a curve keyword field: the class is the
// first of the digits 1 to 6 that the field contains, tested in that order
// (0.0001, 0.0002, 0.0004, 0.001, 0.002, 0.003 rad per metre); the value is
// negated for a left-hand curve, a field holding "s" or "S". Empty when the
// field holds no class digit.
std::optional<double> curve_heading_change(std::string_view keyword);

// Plan start: points 0 and 1 become the integers (0, 0) and (0, 1) and the
// cursor 2. REQUIRES: the plan exists; throws RuntimeFailure when it has no
// point 1 (total_length below 1).
void plan_start(model::Scenario& s);

// Draws the curve of the row (p, l) with heading change k: straight steps up
// to and including point p, then arc steps up to and including point p + l.
// Only points at or beyond the cursor are drawn, so a row behind the cursor
// draws only the part of its arc beyond it, or nothing.
// Returns false when reading must end with code 103: a step has taken the
// cursor past kMaxCurvePoints, or the next point would lie beyond the plan's
// last point (total_length). Points computed up to there stay.
// REQUIRES: plan_start has been made.
bool plan_curve(model::Scenario& s, int32_t p, int32_t l, double k);

// Plan tail: straight steps up to and including point total_length - 2.
// The last two points stay empty unless a curve reached them.
void plan_tail(model::Scenario& s);

}  // namespace route

#endif  // SCENARIO_ROUTE_TRACK_PLAN_H_
