// The finishing pass: one walk over cells 1 .. cell_count - 2 after reading,
// adding "abbattimento" marks (kind 12, value 180) around every slowdown:
//   A  near the signals that stand within 20 cells before a warning;
//   B  three groups 250-350, 550-650 and 900-1000 m before a slowdown start;
//   C1 every 8 cells inside a slowdown slower than 110, shifted one cell back
//      or forward where the cell is taken;
//   C2 just before the first signal within 12 cells after such a slowdown.
// Where no free cell is found it records error 11, 12 or 13 and goes on. It
// only turns free cells into marks and lowers existing marks to 180; no cell
// beyond cell_count is read or written.
//
// REQUIRES: the track exists; otherwise throws RuntimeFailure.
#ifndef SCENARIO_FINISH_FINISHING_PASS_H_
#define SCENARIO_FINISH_FINISHING_PASS_H_

#include <cstdint>

#include "model/scenario.h"

namespace finish {

// The smaller of two values; `x` on a tie.
int16_t minimo(int16_t x, int16_t y);

void finishing_pass(model::Scenario& s);

}  // namespace finish

#endif  // SCENARIO_FINISH_FINISHING_PASS_H_
