// Compiled files shown readably, as text for a person or as JSON for a
// program: the general slots 81-86 with the identity stamps checked against
// the names, the stations, the route signs, a count of cells per kind (or,
// with `cells`, one line per cell) and the extent of the track plan.
//
// Both are printed from the decoded view of the files (compiled/scenario_view.h);
// the overloads that take a CompiledSet decode it first.
#ifndef SCENARIO_TOOLS_REPORT_INSPECT_H_
#define SCENARIO_TOOLS_REPORT_INSPECT_H_

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <string_view>

#include "compiled/compiled_set.h"
#include "compiled/scenario_view.h"

namespace tools {

void print_inspection(const ScenarioView& view, bool cells, std::ostream& out);
nlohmann::ordered_json inspection_json(const ScenarioView& view, bool cells);

void print_inspection(const CompiledSet& set, bool cells, std::ostream& out);
nlohmann::ordered_json inspection_json(const CompiledSet& set, bool cells);

// The whole of inspection on one file given as bytes: reads it as `kind`,
// then builds both the text and the JSON (with cells). Returns the text, or
// throws BadFile. The entry point for fuzzing the readers.
std::string inspect_bytes(FileKind kind, std::string_view bytes);

}  // namespace tools

#endif  // SCENARIO_TOOLS_REPORT_INSPECT_H_
