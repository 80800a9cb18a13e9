// What changed between two compiled scenarios, in an author's terms: which
// files differ, the general values, the stations and route signs by slot,
// the cells field by field as km ranges, and how far the plan moved.
//
// Each side is loaded as render loads it (load_compiled with the whole
// scenario), every file read once and its bytes kept, so that whether the
// two sides are identical (the same kinds of file, byte for byte) and what
// is shown of them come from one reading. What is compared of the station and track files is read
// from the view that inspection prints (compiled/scenario_view.h), so that every value is decoded
// where inspection decodes it; the plans are compared point by point from the line files. The
// comparison reads files only; it writes nothing.
//
// The result is one structure, printed as text or as JSON; both keep each
// section to at most `limit` entries and say how many more there are.
#ifndef SCENARIO_TOOLS_REPORT_DIFF_H_
#define SCENARIO_TOOLS_REPORT_DIFF_H_

#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "compiled/compiled_reader.h"
#include "compiled/compiled_set.h"
#include "platform/file_system.h"

namespace tools {

// The entries shown of each section unless told otherwise.
inline constexpr size_t kDiffSectionLimit = 50;

// One value as a program reads it (a number, a string, or null when the
// side has none) and as the author reads it ("8950 m (km 8+950)").
struct ShownValue {
  nlohmann::ordered_json value;
  std::string text;
};

// A named value on both sides. For a station or sign that only one side
// has, the other side's value is null and its text empty.
struct ValueChange {
  std::string field;  // as shown: "line length", "time"
  std::string key;    // as in JSON: "line_length", "time"
  ShownValue a, b;
};

// A kind of file that one side lacks, or that the two sides hold with
// different bytes.
struct FileDifference {
  FileKind kind = FileKind::kStation;
  struct Side {
    std::string name;
    uint64_t size = 0;
  };
  std::optional<Side> a, b;
};

enum class ItemChange { kAdded, kRemoved, kChanged };

// A station or route sign, matched by slot. `name` is the station name or
// sign text of A, or of B when the slot was added (UTF-8). `fields` holds
// the fields that differ, or for an added or removed slot its values.
struct ItemDifference {
  int slot = 0;
  std::string name;
  ItemChange change = ItemChange::kChanged;
  std::vector<ValueChange> fields;
};

// Consecutive cells where one field differs. `a` and `b` are the values at
// the first cell; `varying` when they are not the same over the whole run.
struct CellRun {
  std::string field;  // "gradient", "speed limit", "kind", ...
  std::string key;
  int32_t first_cell = 0;
  int32_t last_cell = 0;
  ShownValue a, b;
  bool varying = false;
};

struct TrackLengths {
  int32_t a_cell_count = 0;  // cells 0 .. a_cell_count
  int32_t b_cell_count = 0;
};

// The plans compared point by point over the points both files hold.
struct PlanDifference {
  int32_t a_last_point = 0;
  int32_t b_last_point = 0;
  double largest_displacement = 0;   // metres, over points computed on both sides
  int32_t at_point = 0;              // where it is largest (a point per metre)
  int64_t computed_on_one_side = 0;  // points computed in one plan only
  int64_t not_finite = 0;            // points that differ but hold a coordinate
                                     // that is not a finite number
};

struct CompiledDiff {
  std::string a_path, b_path;
  bool identical = false;  // the same kinds of file, byte for byte
  std::vector<FileDifference> files;
  std::vector<ValueChange> general;
  std::vector<ItemDifference> stations;
  std::vector<ItemDifference> signs;
  std::optional<TrackLengths> track;  // only when the lengths differ
  std::vector<CellRun> cells;
  std::optional<PlanDifference> plan;  // when both have a line file and they differ
};

// One side of a comparison: the set as loaded and the bytes its files were
// decoded from, by FileKind.
struct DiffSide {
  std::string path;
  CompiledSet set;
  SetBytes bytes;
};

// Loads one side from `fs`. Throws what load_compiled throws, a BadFile
// (SetMismatch included) then naming the side's path first.
DiffSide load_diff_side(platform::FileSystem& fs, const std::string& path);

// Whether the sides hold the same kinds of file, byte for byte.
bool same_files(const DiffSide& a, const DiffSide& b);

// Compares two sides as loaded.
CompiledDiff diff_sides(DiffSide a, DiffSide b);

// Loads both sides from `fs` and compares them; throws what load_diff_side
// throws.
CompiledDiff diff_compiled(platform::FileSystem& fs, const std::string& a, const std::string& b);

// The result for a person: one line when the sides are identical, else a
// heading per section that has anything and an indented line per entry.
void print_diff(const CompiledDiff& diff, std::ostream& out, size_t limit = kDiffSectionLimit);

// The result as one JSON object, the sections as arrays of objects cut to
// `limit`, with the counts left out under "left_out".
nlohmann::ordered_json diff_json(const CompiledDiff& diff, size_t limit = kDiffSectionLimit);

}  // namespace tools

#endif  // SCENARIO_TOOLS_REPORT_DIFF_H_
