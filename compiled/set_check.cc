#include "compiled/set_check.h"

#include <string>
#include <vector>

#include "compiled/text.h"
#include "finish/identity.h"
#include "model/scenario.h"
#include "model/track_geometry.h"

namespace tools {

namespace {

constexpr const char kNotOneCompile[] = "the files were not written by one compile: ";

std::string str(int64_t v) { return std::to_string(v); }

// "201 cells (0 .. 200)".
std::string cells_text(int64_t records) {
  return str(records) + (records == 1 ? " cell" : " cells") + " (0 .. " + str(records - 1) + ")";
}

// "10001 points (0 .. 10000)".
std::string points_text(int64_t points) {
  return str(points) + (points == 1 ? " point" : " points") + " (0 .. " + str(points - 1) + ")";
}

std::string stem_of(const std::string& name) { return name.substr(0, name.rfind('.')); }

// ---- Identity -------------------------------------------------------------------

void check_station_identity(const Loaded<StationFile>& st) {
  const model::ItemRecord& line = st.content.slots[model::kSlotLine];
  const model::ItemRecord& train = st.content.slots[model::kSlotTrain];
  const std::string names =
      "line " + to_utf8(line.item_name) + " and train " + to_utf8(train.item_name);
  const std::string own_name = line.item_name + "_" + train.item_name + ".sim";
  if (st.name != own_name) {
    throw SetMismatch(to_utf8(st.name) + " holds the station file of " + names +
                      ", which the compiler names " + to_utf8(own_name) +
                      ": the file was renamed, or not written by the compiler");
  }
  const std::string stamped = to_utf8(st.name) + " was not stamped by the compiler for " + names;
  if (line.item_word1 != finish::kStationFileMarker) {
    throw SetMismatch(stamped + ": the identity marker (slot 85 word 1) is " +
                      str(line.item_word1) + ", where the compiler writes " +
                      str(finish::kStationFileMarker));
  }
  const int32_t weighted = identity_codes(line.item_name, train.item_name).weighted;
  if (line.item_time != weighted) {
    throw SetMismatch(stamped + ": the weighted identity code (slot 85 time) is " +
                      str(line.item_time) + ", where these names give " + str(weighted));
  }
}

// The names the track file is stamped for: the station file's, or every cut
// of the track file's own name at a "_" (the names may hold "_" too).
struct TrackNames {
  std::vector<std::pair<std::string, std::string>> candidates;  // line, train
  std::string shown;                                            // UTF-8
};

TrackNames track_names(const CompiledSet& set) {
  TrackNames names;
  if (set.station) {
    const auto& slots = set.station->content.slots;
    const std::string& line = slots[model::kSlotLine].item_name;
    const std::string& train = slots[model::kSlotTrain].item_name;
    names.candidates.emplace_back(line, train);
    names.shown = "line " + to_utf8(line) + " and train " + to_utf8(train);
    return names;
  }
  const std::string key = stem_of(set.track->name);
  for (size_t cut = key.find('_'); cut != std::string::npos; cut = key.find('_', cut + 1)) {
    names.candidates.emplace_back(key.substr(0, cut), key.substr(cut + 1));
  }
  names.shown = "the names of its file name " + to_utf8(key);
  return names;
}

void check_track_identity(const CompiledSet& set) {
  const Loaded<TrackFile>& tr = *set.track;
  if (set.station && stem_of(tr.name) != stem_of(set.station->name)) {
    throw SetMismatch(std::string(kNotOneCompile) + "the track file " + to_utf8(tr.name) +
                      " and the station file " + to_utf8(set.station->name) +
                      " belong to different scenarios");
  }
  const TrackNames names = track_names(set);
  if (names.candidates.empty()) {
    throw SetMismatch(to_utf8(tr.name) +
                      " is not named as the compiler names a track file, <line>_<train>.dat");
  }
  const model::TrackCell& first = tr.content.cells[1];
  const std::string stamped =
      to_utf8(tr.name) + " was not stamped by the compiler for " + names.shown;
  if (first.value1 != finish::kTrackFileMarker) {
    throw SetMismatch(stamped + ": the identity marker (cell 1 value 1) is " + str(first.value1) +
                      ", where the compiler writes " + str(finish::kTrackFileMarker));
  }
  for (const auto& [line, train] : names.candidates) {
    if (identity_codes(line, train).ordinary == first.value2) return;
  }
  const auto& [line, train] = names.candidates.front();
  throw SetMismatch(stamped + ": the ordinary identity code (cell 1 value 2) is " +
                    str(first.value2) + ", where these names give " +
                    str(identity_codes(line, train).ordinary));
}

// ---- Line file layout -------------------------------------------------------------

// The number of computed points of one half, or a description of where the
// half departs from the compiler's layout.
struct HalfLayout {
  int64_t computed = 0;
  std::string problem;
};

HalfLayout half_layout(const PlanHalf& half, const char* axis) {
  HalfLayout layout;
  const int64_t n = static_cast<int64_t>(half.size());
  int64_t m = 0;
  while (m < n && m < 2 && half[static_cast<size_t>(m)].type == kPlanInt16) ++m;
  if (m == 2) {
    while (m < n && half[static_cast<size_t>(m)].type == kPlanDouble) ++m;
  }
  layout.computed = m;
  for (; m < n; ++m) {
    const PlanValue& v = half[static_cast<size_t>(m)];
    if (v.type == kPlanEmpty) continue;
    std::string where = std::string(axis) + " of point " + str(m);
    if (v.type == kPlanInt16 && m >= 2) {
      layout.problem = where +
                       " is a 16-bit integer, where the compiler writes only points 0 and "
                       "1 as integers";
    } else if (v.type == kPlanDouble && m < 2) {
      layout.problem = where +
                       " is a double, where the compiler writes points 0 and 1 as 16-bit "
                       "integers";
    } else {
      layout.problem = where + " holds a value after the empty point " + str(layout.computed) +
                       ", where the compiler writes the computed points first and only empty "
                       "ones after them";
    }
    break;
  }
  return layout;
}

void check_line_layout(const Loaded<LineFile>& ln) {
  const std::string prefix =
      to_utf8(ln.name) + " is not laid out as the compiler writes a line file: ";
  HalfLayout x = half_layout(ln.content.x, "x");
  if (!x.problem.empty()) throw SetMismatch(prefix + x.problem);
  HalfLayout y = half_layout(ln.content.y, "y");
  if (!y.problem.empty()) throw SetMismatch(prefix + y.problem);
  if (x.computed != y.computed) {
    throw SetMismatch(prefix + "the x half holds " + str(x.computed) +
                      " computed points and the y half " + str(y.computed) +
                      ", where the compiler computes them together");
  }
}

// ---- Sizes ------------------------------------------------------------------------

const char kLineFileNote[] =
    "; a compile that writes no line file (--no-line-file) leaves an earlier one in place, and "
    "every train of the line shares it";

void check_sizes(const CompiledSet& set) {
  std::optional<TrackSize> size;
  std::string length_text;
  if (set.station) {
    const int32_t length = set.station->content.slots[model::kSlotTrainGeneral].area_end;
    size = track_size_for(length);
    length_text = "the station file " + to_utf8(set.station->name) + "'s line length " +
                  str(length) + " m needs ";
  }
  const int64_t track_records =
      set.track ? static_cast<int64_t>(set.track->content.cells.size()) : 0;
  const int64_t plan_points = set.line ? static_cast<int64_t>(set.line->content.x.size()) : 0;
  if (size) {
    const std::string spare = " m and " + str(kSpareTrack) + " m of spare track, ";
    const std::string length = str(size->total_length - kSpareTrack);
    if (set.track && track_records != size->cell_count + 1) {
      throw SetMismatch(std::string(kNotOneCompile) + "the track file " + to_utf8(set.track->name) +
                        " has " + cells_text(track_records) + " but " + length_text +
                        cells_text(size->cell_count + 1) + ": " + length + spare + "a cell per " +
                        str(kCellLength) + " m");
    }
    if (set.line && plan_points != size->total_length + 1) {
      throw SetMismatch(std::string(kNotOneCompile) + "the line file " + to_utf8(set.line->name) +
                        " has " + str(2 * plan_points) + " values, " + points_text(plan_points) +
                        ", but " + length_text + points_text(size->total_length + 1) + ": " +
                        length + spare + "a point per metre" + kLineFileNote);
    }
    return;
  }
  // No station file, or a line length the compiler refused: the track and
  // the plan were sized together from one length all the same.
  if (set.track && set.line) {
    const int64_t cells = model::track_cell_count(plan_points - 1) + 1;
    if (cells != track_records) {
      throw SetMismatch(std::string(kNotOneCompile) + "the line file " + to_utf8(set.line->name) +
                        " has " + points_text(plan_points) + ", a track of " +
                        str(plan_points - 1) + " m, which has " + cells_text(cells) +
                        ", but the track file " + to_utf8(set.track->name) + " has " +
                        cells_text(track_records) + kLineFileNote);
    }
  }
}

}  // namespace

std::optional<TrackSize> track_size_for(int64_t line_length) {
  if (line_length > kMaxRouteLength) return std::nullopt;
  const int64_t total = line_length + kSpareTrack;
  if (total < 0) return std::nullopt;
  return TrackSize{total, model::track_cell_count(total)};
}

void check_set(const CompiledSet& set) {
  if (set.station) check_station_identity(*set.station);
  if (set.track) check_track_identity(set);
  if (set.line && set.station) {
    const std::string expected =
        set.station->content.slots[model::kSlotLine].item_name + "_linea.dat";
    if (set.line->name != expected) {
      throw SetMismatch(std::string(kNotOneCompile) + "the line file " + to_utf8(set.line->name) +
                        " is not the one of the station file " + to_utf8(set.station->name) +
                        "'s line, " + to_utf8(expected));
    }
  }
  check_sizes(set);
  if (set.line) check_line_layout(*set.line);
}

}  // namespace tools
