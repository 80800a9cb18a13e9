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

// An "indicatori_v" row: its nine numbers by their names, in the row's order.
// The indicator shows up to three speeds (a, b, c) and a stripe count on each
// side: the left side's (`...s`) first, then the right side's (`...d`).
struct IndicatorRow {
  int32_t posizione = 0;              // metres
  int32_t vas = 0, vbs = 0, vcs = 0;  // left speeds, km/h
  int32_t strisces = 0;               // left stripes
  int32_t vad = 0, vbd = 0, vcd = 0;  // right speeds, km/h
  int32_t strisced = 0;               // right stripes
};

// Stores the maximum-speed indicator of a row on cell round(posizione / 50 + 1).
//
// On a taken cell (kind neither 0 nor 11) it sets error_code 21, stores
// nothing and returns false. Otherwise the cell becomes kind 6 and packs each
// left speed with its right speed as round(left * 20 + right / 5) in value1
// (vas, vad), value2 (vbs, vbd) and value3 (vcs, vcd), and the stripe counts
// as strisces * 10 + strisced, wrapped to 16 bits, in value4. A packed speed
// outside the 16-bit range throws RuntimeFailure; the fields stored before it
// stay.
[[nodiscard]] bool memo_indicatori_v_max(model::Scenario& s, const IndicatorRow& row);

}  // namespace route

#endif  // SCENARIO_ROUTE_INDICATOR_STORE_H_
