#include "route/indicator_store.h"

#include "model/compile_errors.h"
#include "model/track_geometry.h"
#include "platform/rounding.h"

namespace route {

bool memo_indicatori_v_max(model::Scenario& s, const IndicatorRow& row) {
  const int64_t i = model::item_cell(row.posizione);
  model::TrackCell& cell = s.cell(i);
  if (!cell.is_free()) {
    s.error_code = model::kIndicatorCellTaken;
    model::note_taken_cell(s, i);
    return false;
  }
  cell.kind = model::kSpeedIndicator;
  model::note_placement(s, i);
  // Left speed * 20 plus right speed / 5, the division exact: a right speed
  // survives the packing only as a multiple of 5 below 100.
  auto pack = [](int32_t left, int32_t right) {
    return platform::round_to_int16(left * 20.0 + right / 5.0);
  };
  cell.value1 = pack(row.vas, row.vad);
  cell.value2 = pack(row.vbs, row.vbd);
  cell.value3 = pack(row.vcs, row.vcd);
  cell.value4 =
      platform::low16(int64_t{platform::low16(row.strisces)} * 10 + platform::low16(row.strisced));
  return true;
}

}  // namespace route
