// One compiled scenario decoded for showing: what inspection prints as text
// and JSON and what the drawing draws, all read from here.
//
// Every stored number is given under its meaning and in the unit an author
// writes: metres, km/h, per mille, seconds. The meanings come from
// model/cell_values.h (speed, gradient, adhesion, indicator codes) and
// model/item_views.h (what each slot's fields hold); the cell a sign, signal
// or slowdown lies on gives its position through placed_position
// (compiled/compiled_set.h). The printers format this view and decode nothing.
//
// Texts stay as stored (Windows-1252 bytes), so that a printer that cuts a
// name counts characters; each printer converts them for its output.
//
// Built from whatever files a CompiledSet holds, including ones loaded alone
// or damaged in their values: nothing here assumes that the files belong
// together, and its memory stays proportional to theirs.
#ifndef SCENARIO_COMPILED_SCENARIO_VIEW_H_
#define SCENARIO_COMPILED_SCENARIO_VIEW_H_

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "compiled/compiled_set.h"
#include "model/cell_values.h"
#include "model/item_views.h"

namespace tools {

// ---- Station file -------------------------------------------------------------------

// A route sign: its slot and text, and where its cell puts it, when the track
// file is there and holds a sign cell for the slot.
struct RouteSignView {
  int slot = 0;
  std::string text;
  std::optional<int32_t> cell;
  std::optional<int64_t> position;  // metres
};

// The identity stamps of slot 85, checked against the names in slots 85 and
// 86 and against the file's own name.
struct StationIdentity {
  int16_t marker = 0;  // 610 once stamped
  bool marker_ok = false;
  int32_t weighted_code = 0;
  int32_t expected_weighted_code = 0;  // what the names give
  bool weighted_code_ok = false;
  bool names_match_file_name = false;  // "<line>_<train>.sim"
};

struct StationFileView {
  std::string name;  // file name, without folder
  uint64_t size = 0;
  model::GeneralValues general;
  StationIdentity identity;
  std::vector<model::StationView> stations;  // in slot order, from slot 1
  std::vector<RouteSignView> signs;          // from slot 80 downward
};

// ---- Track file ---------------------------------------------------------------------

// One cell, decoded. The four values, signal_time, approach_mark and
// mountain_type are shown as stored: their meaning depends on the kind.
struct CellView {
  int kind = 0;
  std::array<int, 4> values{};  // value1 .. value4
  int signal_time = 0;
  int approach_mark = 0;
  int mountain_type = 0;
  int speed_limit = 0;  // km/h
  int gradient = 0;     // per mille
  int adhesion = 0;
};

// The identity stamps of cell 1, checked against the names of the station
// file or, without one, of the track file's own name.
struct TrackIdentity {
  int16_t marker = 0;  // 5121 once stamped
  bool marker_ok = false;
  int16_t ordinary_code = 0;
  std::optional<Names> names;          // nothing to check against: none
  int16_t expected_ordinary_code = 0;  // what the names give, when there are names
  bool ordinary_code_ok = false;
};

// A signal cell (kind 1): its four codes and signal time as stored, and the
// codes of its row taken apart again.
struct SignalView {
  int32_t cell = 0;
  int64_t position = 0;  // metres
  std::array<int, 4> codes{};
  int signal_time = 0;
  model::SignalCodes row;
};

// A slowdown: its start cell (kind 3) and the first end cell (kind 2) after
// it, before the next start; a start without one ends on itself.
struct SlowdownView {
  int32_t start_cell = 0;
  int32_t end_cell = 0;
  int64_t start = 0;  // metres
  int64_t end = 0;    // metres
  int speed = 0;      // km/h, the start cell's value1
};

// A maximum-speed indicator cell (kind 6): speeds a, b and c, left and right.
struct SpeedIndicatorView {
  int32_t cell = 0;
  int64_t position = 0;  // metres
  std::array<model::IndicatorSpeeds, 3> speeds{};
  model::IndicatorStripes stripes;
};

// A run of consecutive cells of one nonzero mountain type.
struct MountainStretchView {
  int32_t first_cell = 0;
  int32_t last_cell = 0;
  int64_t start = 0;  // metres: the start of its first cell
  int64_t end = 0;    // metres: the end of its last cell
  int type = 0;
};

struct TrackFileView {
  std::string name;  // file name, without folder
  uint64_t size = 0;
  int32_t cell_count = 0;  // cells 0 .. cell_count
  TrackIdentity identity;
  std::map<int, int64_t> kind_counts;  // cells of each kind that occurs
  std::vector<CellView> cells;         // 0 .. cell_count

  // The profile along the line: cells 0 .. profile_cells - 1, cell c drawn
  // from c x 50 m to (c + 1) x 50 m. The last three cells are left out: they
  // receive gradients and speeds only from rows, not from the values in
  // force. At least one cell.
  int32_t profile_cells = 0;
  // The height in metres where profile cell c begins, from 0 at the origin:
  // the rises of cells 0 .. c - 1; profile_cells + 1 values, the last where
  // the profile ends.
  std::vector<double> elevation;
  int64_t profile_length() const { return int64_t{profile_cells} * model::kCellLength; }

  std::vector<SignalView> signals;                      // in cell order
  std::vector<SlowdownView> slowdowns;                  // by start cell
  std::vector<SpeedIndicatorView> speed_indicators;     // in cell order
  std::vector<MountainStretchView> mountain_stretches;  // in cell order
};

// ---- Line file ----------------------------------------------------------------------

// A point of the plan whose x and y are both stored, in metres east and north
// of the origin. A damaged file may hold values that are not finite.
struct PlanPoint {
  int32_t metre = 0;
  double x = 0;
  double y = 0;
};

// The extent of the stored points, and the length of the line through them.
struct PlanExtent {
  double min_x = 0, max_x = 0, min_y = 0, max_y = 0;
  double end_x = 0, end_y = 0;  // the last stored point
  double length = 0;
};

struct LineFileView {
  std::string name;  // file name, without folder
  uint64_t size = 0;
  int32_t last_point = 0;         // points 0 .. last_point
  std::vector<PlanPoint> points;  // the stored ones, by metre
  PlanExtent extent;              // zero when no point is stored

  // The point of metre `m`, when it is stored.
  const PlanPoint* at(int64_t m) const;
};

// ---- The whole ----------------------------------------------------------------------

struct ScenarioView {
  std::optional<StationFileView> station;
  std::optional<TrackFileView> track;
  std::optional<LineFileView> line;

  // The route's length in metres (slot 84), where the spare track begins;
  // 0 without a station file.
  int32_t line_length() const { return station ? station->general.train_general.line_length : 0; }
};

ScenarioView view_of(const CompiledSet& set);

}  // namespace tools

#endif  // SCENARIO_COMPILED_SCENARIO_VIEW_H_
