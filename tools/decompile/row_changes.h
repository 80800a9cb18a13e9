// What changed between two scenarios, in the rows an author writes: the two
// sets decompiled (decompile.h), their rows paired by what they stand for
// and the differences told in row terms:
//
//   "signal at 36000 m moved to 36500 m"
//   "gradient from km 12+500: 8 -> 10"
//   "station MORLANE: departure 07:42:00 -> 07:44:00"
//   "speed limit from km 1+200 added: 140"
//
// Rows at a position pair by keyword and position, stations by name, the
// general rows by keyword. A signal, slowdown, indicator or sign that is gone
// from one position and new at another with the same values has moved.
#ifndef SCENARIO_TOOLS_DECOMPILE_ROW_CHANGES_H_
#define SCENARIO_TOOLS_DECOMPILE_ROW_CHANGES_H_

#include <string>
#include <vector>

namespace decompile {

// The changes from the descriptions `a_*` to `b_*` (as decompile_set writes
// them), one line each: rows changed in place (in the order of `b`), then
// rows moved or added, then rows removed. Empty when the rows are the same.
std::vector<std::string> row_changes(const std::string& a_route, const std::string& a_train,
                                     const std::string& b_route, const std::string& b_train);

}  // namespace decompile

#endif  // SCENARIO_TOOLS_DECOMPILE_ROW_CHANGES_H_
