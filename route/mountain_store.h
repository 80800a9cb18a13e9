// The store of the route body's mountain stretches: it lists each stretch
// and writes the mountain type (and marker cells) into the track cells it
// covers.
//
// REQUIRES: the track exists (s.track_allocated). A cell before cell 0 is
// never written: touching one throws RuntimeFailure (reading error 25), with
// what was stored before it kept.
#ifndef SCENARIO_ROUTE_MOUNTAIN_STORE_H_
#define SCENARIO_ROUTE_MOUNTAIN_STORE_H_

#include <cstdint>

#include "model/scenario.h"

namespace route {

// The mountain lists hold stretches 1 .. 80; entry 0 is never written.
inline constexpr int32_t kMaxMountainStretches = 80;
// The detail of the failure for one stretch too many, followed by its number.
inline constexpr char kMountainStretchFailure[] = "mountain stretch ";

// Stores the mountain stretch inizio .. fine (metres) of type `tipo`.
//
// A type above 10 stands for the type minus 10 with marker cells. The stretch
// is counted and kept in mountain_start / mountain_end, entry
// ++mountain_count. A stretch that starts at most 150 m after the previous
// one ends (or before it) gets type 3. It covers cells round(inizio / 50) to
// round(fine / 50 - 1), ending at cell_count at the latest, possibly none:
// each gets mountain_type = the type's low 8 bits, and with markers every
// fourth of them that is empty (kind 0) becomes a marker cell (kind 11),
// which stays free for signals, signs and indicators.
// Never sets error_code. The 81st stretch throws RuntimeFailure before
// anything of it is stored.
void memo_montagna(model::Scenario& s, int32_t inizio, int32_t fine, int32_t tipo);

}  // namespace route

#endif  // SCENARIO_ROUTE_MOUNTAIN_STORE_H_
