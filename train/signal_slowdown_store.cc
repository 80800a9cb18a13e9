#include "train/signal_slowdown_store.h"

#include "model/compile_errors.h"
#include "model/track_geometry.h"
#include "platform/rounding.h"

namespace train {

namespace {

// A slowdown that starts at or before 1500 m has no warning cell 1200 m
// before it, and so no cells before a warning either.
constexpr int32_t kWarningFrom = 1500;
using model::kWarningDistance;

}  // namespace

bool memo_segnale(model::Scenario& s, const SignalRow& row) {
  const auto& [posizione, sx, s1, s2, s3, rapp, dx, d1, d2, d3, row_tempo] = row;
  const int64_t i = model::item_cell(posizione);
  model::TrackCell& signal = s.cell(i);
  if (!signal.is_free()) {
    s.error_code = model::kSignalCellTaken;
    model::note_taken_cell(s, i);
    return false;
  }
  const int64_t sides = int64_t{sx} * 3 + dx;
  signal.kind = model::kSignal;
  model::note_placement(s, i);
  signal.value4 = platform::low16(int64_t{rapp} * 10 + sides);
  signal.value1 = platform::low16(int64_t{s1} * 10 + d1);
  signal.value2 = platform::low16(int64_t{s2} * 10 + d2);
  signal.value3 = platform::low16(int64_t{s3} * 10 + d3);

  // A signal time of 1 to 100 is raised to 101; 0 and the rest stay.
  const int32_t tempo = row_tempo >= 1 && row_tempo <= 100 ? 101 : row_tempo;
  signal.signal_time = sx == 2 ? platform::low8(tempo) : 0;

  // Approach marks every other cell before the signal; near the origin the
  // marks that would fall before cell 0 are dropped.
  for (int j = 1; j <= 4; ++j) {
    const int64_t c = i - 2 * j;
    if (c < 0) continue;
    s.cell(c).approach_mark = platform::low8(sides * 10 + j);
  }
  return true;
}

bool memo_rallentamento(model::Scenario& s, const SlowdownRow& row) {
  const auto& [x, v, l, f_tt, row_f_ta, d_v] = row;
  const bool warned = x > kWarningFrom;
  // No warning, so nothing before it either.
  const int32_t f_ta = warned ? row_f_ta : 0;
  int64_t w = 0;
  if (warned) {
    w = model::item_cell(int64_t{x} - kWarningDistance);
    if (!s.cell(w).is_free()) {
      s.error_code = model::kWarningCellTaken;
      model::note_taken_cell(s, w);
      return false;
    }
  }
  const int64_t start = model::item_cell(x);
  if (!s.cell(start).is_free()) {
    s.error_code = model::kSlowdownStartTaken;
    model::note_taken_cell(s, start);
    return false;
  }
  const int64_t end = model::item_cell(int64_t{x} + l);
  if (!s.cell(end).is_free()) {
    s.error_code = model::kSlowdownEndTaken;
    model::note_taken_cell(s, end);
    return false;
  }

  const int16_t speed = platform::low16(v);
  const int16_t flag = platform::low16(f_tt);
  // End first, start second: a slowdown of length 0 ends up as its start.
  s.cell(end).kind = model::kSlowdownEnd;
  model::note_placement(s, end);
  if (d_v != 0) s.cell(end).value2 = platform::low16(d_v);
  s.cell(start).kind = model::kSlowdownStart;
  model::note_placement(s, start);
  if (d_v != 0) s.cell(start).value2 = platform::low16(d_v);
  if (warned) {
    model::TrackCell& warning = s.cell(w);
    warning.kind = model::kSlowdownWarning;
    model::note_placement(s, w);
    if (d_v != 0) warning.value2 = platform::low16(d_v);
    warning.value1 = speed;
  }
  for (int64_t c : {start, end}) {
    s.cell(c).value1 = speed;
    s.cell(c).value3 = flag;
  }

  if (f_ta != 0) {
    // h is the cell just before the warning cell.
    const int64_t h = model::row_cell(int64_t{x} - kWarningDistance);
    for (int n = 0; n <= 3; ++n) {
      if (!s.cell(h - n).is_free()) {
        s.error_code = model::kBeforeWarningTaken;
        model::note_taken_cell(s, h - n);
        return false;
      }
    }
    for (int n = 0; n <= 3; ++n) {
      model::TrackCell& before = s.cell(h - n);
      before.kind = model::kBeforeWarning;
      model::note_placement(s, h - n);
      before.value1 = static_cast<int16_t>(n + 1);
      if (d_v != 0) before.value2 = static_cast<int16_t>(n + 1);
    }
  }
  return true;
}

}  // namespace train
