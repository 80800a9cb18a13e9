// The two stores of the route body that write track cells of their own:
// mountain stretches and maximum-speed indicators.
//
// REQUIRES for both: the track exists (s.track_allocated). A cell before cell
// 0 is never written: touching one throws RuntimeFailure (reading error 25),
// with what was stored before it kept.
#ifndef SCENARIO_ROUTE_MOUNTAIN_INDICATOR_STORE_H_
#define SCENARIO_ROUTE_MOUNTAIN_INDICATOR_STORE_H_

#include <cstdint>

#include "model/scenario.h"

namespace route {

// The mountain lists hold stretches 1 .. 80; entry 0 is never written.
inline constexpr int32_t kMaxMountainStretches = 80;

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

// Stores the maximum-speed indicator of a row on cell round(posizione / 50 + 1).
//
// On a taken cell (kind neither 0 nor 11) it sets error_code 21, stores
// nothing and returns false. Otherwise the cell becomes kind 6 and packs each
// left speed with its right speed as round(left * 20 + right / 5) in value1
// (vas, vad), value2 (vbs, vbd) and value3 (vcs, vcd), and the stripe counts
// as strisces * 10 + strisced, wrapped to 16 bits, in value4. A packed speed
// outside the 16-bit range throws RuntimeFailure; the fields stored before it
// stay.
bool memo_indicatori_v_max(model::Scenario& s, int32_t posizione, int32_t vas, int32_t vbs,
                           int32_t vcs, int32_t strisces, int32_t vad, int32_t vbd, int32_t vcd,
                           int32_t strisced);

}  // namespace route

#endif  // SCENARIO_ROUTE_MOUNTAIN_INDICATOR_STORE_H_
