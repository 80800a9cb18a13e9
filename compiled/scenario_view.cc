#include "compiled/scenario_view.h"

#include <algorithm>
#include <cmath>

#include "finish/identity.h"
#include "model/scenario.h"

namespace tools {

namespace {

StationFileView station_file_view(const CompiledSet& set) {
  const Loaded<StationFile>& st = *set.station;
  const model::ItemTable& table = st.content.slots;
  StationFileView v;
  v.name = st.name;
  v.size = st.size;
  v.general = model::general_values(table);

  const model::LineGeneral& line = v.general.line;
  const model::TrainValues& train = v.general.train;
  StationIdentity& id = v.identity;
  id.marker = line.marker;
  id.marker_ok = line.marker == finish::kStationFileMarker;
  id.weighted_code = line.weighted_code;
  id.expected_weighted_code = identity_codes(line.line_name, train.train_code).weighted;
  id.weighted_code_ok = id.weighted_code == id.expected_weighted_code;
  id.names_match_file_name = st.name == line.line_name + "_" + train.train_code + ".sim";

  for (int slot : station_slots(st.content)) v.stations.push_back(model::station_view(table, slot));

  std::map<int, int32_t> cells;
  if (set.track) cells = sign_cells(set.track->content);
  for (int slot : sign_slots(st.content)) {
    RouteSignView sign{slot, model::sign_text(table, slot), std::nullopt, std::nullopt};
    if (auto c = cells.find(slot); c != cells.end()) {
      sign.cell = c->second;
      sign.position = placed_position(c->second);
    }
    v.signs.push_back(std::move(sign));
  }
  return v;
}

CellView cell_view(const model::TrackCell& c) {
  CellView v;
  v.kind = c.kind;
  v.values = {c.value1, c.value2, c.value3, c.value4};
  v.signal_time = c.signal_time;
  v.approach_mark = c.approach_mark;
  v.mountain_type = c.mountain_type;
  v.speed_limit = model::speed_limit_of(c.speed_code);
  v.gradient = model::gradient_of(c.gradient_code);
  v.adhesion = model::adhesion_of(c.adhesion_code);
  return v;
}

TrackFileView track_file_view(const CompiledSet& set) {
  const Loaded<TrackFile>& tr = *set.track;
  const std::vector<model::TrackCell>& cells = tr.content.cells;
  TrackFileView v;
  v.name = tr.name;
  v.size = tr.size;
  v.cell_count = tr.content.cell_count();

  // The reader takes no track without cells 0 and 1.
  TrackIdentity& id = v.identity;
  id.marker = cells[1].value1;
  id.marker_ok = id.marker == finish::kTrackFileMarker;
  id.ordinary_code = cells[1].value2;
  id.names = names_for_track(set);
  if (id.names) {
    id.expected_ordinary_code = identity_codes(id.names->line, id.names->train).ordinary;
    id.ordinary_code_ok = id.expected_ordinary_code == id.ordinary_code;
  }

  v.cells.reserve(cells.size());
  for (const model::TrackCell& c : cells) {
    v.cells.push_back(cell_view(c));
    ++v.kind_counts[c.kind];
  }
  const auto cell_at = [](size_t i) { return static_cast<int32_t>(i); };

  v.profile_cells = std::max(cell_at(cells.size()) - 3, 1);
  v.elevation.assign(static_cast<size_t>(v.profile_cells) + 1, 0);
  for (size_t c = 0; c < static_cast<size_t>(v.profile_cells); ++c) {
    v.elevation[c + 1] = v.elevation[c] + model::cell_rise(v.cells[c].gradient);
  }

  for (size_t i = 0; i < cells.size(); ++i) {
    const model::TrackCell& c = cells[i];
    const int32_t cell = cell_at(i);
    if (c.kind == model::kSignal) {
      v.signals.push_back({cell, placed_position(cell), v.cells[i].values, c.signal_time,
                           model::signal_codes_of(c.value1, c.value2, c.value3, c.value4)});
    } else if (c.kind == model::kSpeedIndicator) {
      v.speed_indicators.push_back(
          {cell,
           placed_position(cell),
           {model::indicator_speeds_of(c.value1), model::indicator_speeds_of(c.value2),
            model::indicator_speeds_of(c.value3)},
           model::indicator_stripes_of(c.value4)});
    } else if (c.kind == model::kSlowdownStart) {
      size_t e = i;
      for (size_t k = i + 1; k < cells.size(); ++k) {
        if (cells[k].kind == model::kSlowdownStart) break;
        if (cells[k].kind == model::kSlowdownEnd) {
          e = k;
          break;
        }
      }
      v.slowdowns.push_back(
          {cell, cell_at(e), placed_position(cell), placed_position(cell_at(e)), c.value1});
    }
  }

  for (size_t c = 0; c < cells.size();) {
    const uint8_t type = cells[c].mountain_type;
    size_t e = c;
    while (e + 1 < cells.size() && cells[e + 1].mountain_type == type) ++e;
    if (type != 0) {
      v.mountain_stretches.push_back({cell_at(c), cell_at(e),
                                      int64_t{cell_at(c)} * model::kCellLength,
                                      (int64_t{cell_at(e)} + 1) * model::kCellLength, type});
    }
    c = e + 1;
  }
  return v;
}

LineFileView line_file_view(const Loaded<LineFile>& ln) {
  const LineFile& f = ln.content;
  LineFileView v;
  v.name = ln.name;
  v.size = ln.size;
  v.last_point = f.last_point();
  PlanExtent& e = v.extent;
  for (size_t m = 0; m < f.x.size(); ++m) {
    if (f.x[m].type == kPlanEmpty || f.y[m].type == kPlanEmpty) continue;
    const double x = f.x[m].value, y = f.y[m].value;
    if (v.points.empty()) {
      e.min_x = e.max_x = x;
      e.min_y = e.max_y = y;
    } else {
      e.length += std::hypot(x - e.end_x, y - e.end_y);
    }
    e.min_x = std::min(e.min_x, x);
    e.max_x = std::max(e.max_x, x);
    e.min_y = std::min(e.min_y, y);
    e.max_y = std::max(e.max_y, y);
    e.end_x = x;
    e.end_y = y;
    v.points.push_back({static_cast<int32_t>(m), x, y});
  }
  return v;
}

}  // namespace

const PlanPoint* LineFileView::at(int64_t m) const {
  auto p = std::lower_bound(points.begin(), points.end(), m,
                            [](const PlanPoint& a, int64_t metre) { return a.metre < metre; });
  return p != points.end() && p->metre == m ? &*p : nullptr;
}

ScenarioView view_of(const CompiledSet& set) {
  ScenarioView v;
  if (set.station) v.station = station_file_view(set);
  if (set.track) v.track = track_file_view(set);
  if (set.line) v.line = line_file_view(*set.line);
  return v;
}

}  // namespace tools
