// The store of the route body's maximum-speed indicators: each takes a track
// cell of its own.
//
// REQUIRES: the track exists (s.track_allocated). A cell before cell 0 is
// never written: touching one throws RuntimeFailure (reading error 25), with
// what was stored before it kept.
#ifndef SCENARIO_ROUTE_INDICATOR_STORE_H_
#define SCENARIO_ROUTE_INDICATOR_STORE_H_

#include <cstdint>

#include "model/scenario.h"

namespace route {

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

#endif  // SCENARIO_ROUTE_INDICATOR_STORE_H_
