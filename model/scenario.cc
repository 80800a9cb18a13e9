#include "model/scenario.h"

#include "platform/runtime_failure.h"

namespace model {

namespace {
template <typename Cells>
auto& checked_cell(Cells& track, bool allocated, int64_t i) {
  if (!allocated || i < 0 || i >= static_cast<int64_t>(track.size())) {
    throw platform::RuntimeFailure(platform::kSubscriptOutOfRange,
                                   "track cell " + std::to_string(i));
  }
  return track[static_cast<size_t>(i)];
}
}  // namespace

TrackCell& Scenario::cell(int64_t i) { return checked_cell(track, track_allocated, i); }
const TrackCell& Scenario::cell(int64_t i) const { return checked_cell(track, track_allocated, i); }

void Scenario::start_track(int32_t n) {
  cell_count = n;
  track.restart(static_cast<size_t>(n) + 1);
  track_allocated = true;
}

std::string route_description_name(const Scenario& s) { return s.line_name + "_linea.txt"; }
std::string train_description_name(const Scenario& s) {
  return s.line_name + "_" + s.train_code + "-.txt";
}

void record_error(Scenario& s, int32_t code, ErrorSite site) {
  if (s.error_site.code != 0) {
    ++s.earlier_error_count;
    if (s.earlier_errors.size() < kMaxEarlierErrors) s.earlier_errors.push_back(s.error_site);
  }
  s.error_code = code;
  site.code = code;
  site.position = s.error_position;
  s.error_site = std::move(site);
}

void note_placement(Scenario& s, int64_t cell) { s.placements.push_back({cell, s.reading_row}); }

void note_finishing_mark(Scenario& s, int64_t cell, int64_t around) {
  s.placements.push_back({cell, {}, around});
}

std::optional<CellOccupant> occupant_of(const Scenario& s, int64_t cell) {
  if (!s.track_allocated || cell < 0 || cell > s.cell_count) return std::nullopt;
  // The last placement of the cell is the one that stands.
  for (auto it = s.placements.rbegin(); it != s.placements.rend(); ++it) {
    if (it->cell != cell) continue;
    CellOccupant o;
    o.cell = cell;
    o.kind = s.cell(cell).kind;
    o.row = it->row;
    if (it->around >= 0) {
      o.finishing_mark = true;
      if (std::optional<CellOccupant> slowdown = occupant_of(s, it->around)) o.row = slowdown->row;
    }
    return o;
  }
  return std::nullopt;
}

void clear_item_table(Scenario& s) {
  for (ItemRecord& item : s.item_table) item = ItemRecord{};
}

}  // namespace model
