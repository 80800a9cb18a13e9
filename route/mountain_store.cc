#include "route/mountain_store.h"

#include <string>

#include "model/track_geometry.h"
#include "platform/rounding.h"
#include "platform/runtime_failure.h"

namespace route {

void memo_montagna(model::Scenario& s, int32_t inizio, int32_t fine, int32_t tipo) {
  if (s.mountain_count < 0 || s.mountain_count >= kMaxMountainStretches) {
    throw platform::RuntimeFailure(platform::kSubscriptOutOfRange,
                                   kMountainStretchFailure + std::to_string(s.mountain_count + 1));
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

  const int64_t first = model::row_cell(inizio);
  int64_t last = model::last_cell(fine);
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

}  // namespace route
