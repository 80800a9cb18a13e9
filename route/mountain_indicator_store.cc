#include "route/mountain_indicator_store.h"

#include <string>

#include "model/compile_errors.h"
#include "platform/rounding.h"
#include "platform/runtime_failure.h"

namespace route {

namespace {

// Cell numbers from positions are far inside 64 bits: |p / 50| < 2^26.
int64_t rounded_cell(double x) { return static_cast<int64_t>(platform::round_half_even(x)); }

}  // namespace

void memo_montagna(model::Scenario& s, int32_t inizio, int32_t fine, int32_t tipo) {
  if (s.mountain_count < 0 || s.mountain_count >= kMaxMountainStretches) {
    throw platform::RuntimeFailure(platform::kSubscriptOutOfRange,
                                   "mountain stretch " + std::to_string(s.mountain_count + 1));
  }
  bool markers = false;
  if (tipo > 10) {
    tipo -= 10;
    markers = true;
  }
  const int32_t n = ++s.mountain_count;
  s.mountain_start[static_cast<size_t>(n)] = inizio;
  s.mountain_end[static_cast<size_t>(n)] = fine;
  // Stretches that (nearly) touch join into one of type 3.
  if (n > 1 && int64_t{inizio} - s.mountain_end[static_cast<size_t>(n - 1)] <= 150) tipo = 3;

  const int64_t first = rounded_cell(inizio / 50.0);
  int64_t last = rounded_cell(fine / 50.0 - 1.0);
  // Only the start was range-tested: a stretch running past the track ends
  // with its last cell.
  if (last > s.cell_count) last = s.cell_count;
  int64_t count = 0;
  for (int64_t c = first; c <= last; ++c) {
    model::TrackCell& cell = s.cell(c);
    cell.mountain_type = platform::low8(tipo);
    ++count;
    if (markers && count % 4 == 0 && cell.kind == model::kEmpty) cell.kind = model::kMountainMarker;
  }
}

bool memo_indicatori_v_max(model::Scenario& s, int32_t posizione, int32_t vas, int32_t vbs,
                           int32_t vcs, int32_t strisces, int32_t vad, int32_t vbd, int32_t vcd,
                           int32_t strisced) {
  model::TrackCell& cell = s.cell(rounded_cell(posizione / 50.0 + 1.0));
  if (!cell.is_free()) {
    s.error_code = model::kIndicatorCellTaken;
    return false;
  }
  cell.kind = model::kSpeedIndicator;
  // Left speed * 20 plus right speed / 5, the division exact: a right speed
  // survives the packing only as a multiple of 5 below 100.
  auto pack = [](int32_t left, int32_t right) {
    return platform::round_to_int16(left * 20.0 + right / 5.0);
  };
  cell.value1 = pack(vas, vad);
  cell.value2 = pack(vbs, vbd);
  cell.value3 = pack(vcs, vcd);
  cell.value4 =
      platform::low16(int64_t{platform::low16(strisces)} * 10 + platform::low16(strisced));
  return true;
}

}  // namespace route
