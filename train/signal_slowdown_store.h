// Signals and slowdowns of the train description, laid onto the track.
//
// The train reader calls memo_segnale once per "segnale" row and
// memo_rallentamento once per "rallentamento" row, in file order, after its
// range tests. Each marks only free cells (kind 0, or 11: a mountain marker)
// where the row itself stands; a taken cell is a compile error, stored in
// s.error_code, and the call returns false. The 16-bit values and the bytes
// keep the low bits of what is packed into them; nothing is reported for an
// overflow there.
//
// A cell is round(position / 50 + 1), halves to even. A signal or slowdown
// cell before cell 0 throws RuntimeFailure (error 25 at the reader's trap),
// at the point where the cell is first looked at; whatever was written before
// it stays.
#ifndef SCENARIO_TRAIN_SIGNAL_SLOWDOWN_STORE_H_
#define SCENARIO_TRAIN_SIGNAL_SLOWDOWN_STORE_H_

#include <cstdint>

#include "model/scenario.h"

namespace train {

// A "segnale" row: its eleven numbers by their names. `sx` and `dx` code the
// left and right parts of the signal, s1..s3 and d1..d3 the aspects of each,
// `rapp` a further code and `tempo` a time.
struct SignalRow {
  int32_t posizione = 0;  // metres
  int32_t sx = 0, s1 = 0, s2 = 0, s3 = 0;
  int32_t rapp = 0;
  int32_t dx = 0, d1 = 0, d2 = 0, d3 = 0;
  int32_t tempo = 0;
};

// A "rallentamento" row: its six numbers by their names.
struct SlowdownRow {
  int32_t x = 0;     // start, metres
  int32_t v = 0;     // speed, km/h
  int32_t l = 0;     // length, metres
  int32_t f_tt = 0;  // flag
  int32_t f_ta = 0;  // flag: four cells before the warning cell
  int32_t d_v = 0;   // value
};

// A signal at `posizione` (m). Its cell i becomes kind 1 with
//   value1 = s1*10 + d1, value2 = s2*10 + d2, value3 = s3*10 + d3,
//   value4 = rapp*10 + sx*3 + dx,
//   signal_time = tempo when sx is 2 (a tempo of 1 to 100 is raised to 101),
//                 else 0;
// and cells i-2, i-4, i-6, i-8 get the approach marks (sx*3 + dx)*10 + 1 .. 4.
// The approach cells are not tested and keep their kinds; those before cell 0
// are dropped, so a signal near the origin still stands.
// Returns false with error 16, writing nothing, when cell i is taken.
// REQUIRES: cell i lies at or before cell_count (the reader's range test).
[[nodiscard]] bool memo_segnale(model::Scenario& s, const SignalRow& row);

// A slowdown to speed `v` from `x` (m) for `l` m:
//   end cell   round((x + l) / 50 + 1): kind 2, value1 v, value3 f_tt;
//   start cell round(x / 50 + 1):       kind 3, value1 v, value3 f_tt
//                                       (a slowdown of length 0 is one kind-3 cell);
//   only when x > 1500:
//     warning cell round((x - 1200) / 50 + 1): kind 4, value1 v;
//     when f_ta is not 0, the four cells before the warning cell: kind 5 with
//     value1 1, 2, 3, 4 counting back from it.
// The start, end, warning and before-warning cells carry d_v (or 1 .. 4 for
// the four) in value2 when d_v is not 0.
// The cells are tested in the order warning (error 17), start (18), end (19);
// the first taken one ends the call with nothing written. The four cells
// before the warning are tested last (error 20); the warning, start and end
// cells then stay written.
// REQUIRES: the end cell lies at or before cell_count (the reader's range test).
[[nodiscard]] bool memo_rallentamento(model::Scenario& s, const SlowdownRow& row);

}  // namespace train

#endif  // SCENARIO_TRAIN_SIGNAL_SLOWDOWN_STORE_H_
