// What changed between two compiled scenarios, told as the rows an author
// writes: both sets are decompiled and their rows compared (row_changes.h).
//
//   rows
//     signal at 8000 m moved to 8500 m
//     gradient from km 3+000: 7 -> 8
//     station BETA: departure 08:00:00 -> 08:01:00
//
// Whether the two are the same is decided as the cell-level comparison
// decides it (tools/report/diff.h): the same kinds of file, byte for byte.
// Where the rows cannot tell the whole change (a set whose rows do not
// compile back to it exactly, curves of a set without its line file, files
// that differ where no row does), a note says so and points to the cells.
#ifndef SCENARIO_TOOLS_DECOMPILE_ROW_DIFF_H_
#define SCENARIO_TOOLS_DECOMPILE_ROW_DIFF_H_

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace decompile {

struct RowDiff {
  std::string a_path, b_path;
  bool identical = false;            // the same kinds of file, byte for byte
  std::vector<std::string> changes;  // one line per row changed, moved, added or removed
  std::vector<std::string> notes;    // what the rows do not show
};

// Compares the sets at `a` and `b` (folders or one compiled file of each).
// Throws what tools::diff_compiled throws, and ToolError for a side that
// cannot be decompiled.
RowDiff diff_rows(platform::FileSystem& fs, const std::string& a, const std::string& b);

// One line when the sets are the same; otherwise the "rows" section and,
// when there are any, the "notes".
void print_row_diff(const RowDiff& diff, std::ostream& out);

// {"a", "b", "identical", "rows": [...], "notes": [...]}
nlohmann::ordered_json row_diff_json(const RowDiff& diff);

}  // namespace decompile

#endif  // SCENARIO_TOOLS_DECOMPILE_ROW_DIFF_H_
