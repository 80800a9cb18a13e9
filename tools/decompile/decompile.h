// From a compiled set back to the two descriptions it was compiled from.
//
// Every byte of the three compiled files follows from rows of the two
// descriptions, so the rows can be read off them again: the general values
// off the item table's slots 81 .. 86, the profiles (gradient, speed limit,
// adhesion) as one row per change, the curves off the track plan point by
// point (each step is matched bit for bit against the straight step and the
// twelve arc steps), mountain stretches, indicators, signs, stations,
// signals, slowdowns and speed marks off the cells. What the compile derives
// by itself (the marks the finishing pass places around slowdowns, station
// areas and approach marks, mountain markers, slowdown warnings) is not
// written back as rows: the compile places it again.
//
// decompile_set never claims more than it has shown: it compiles its own
// output through the compile pass on a file system in memory and compares
// the three files byte for byte (the line file part by part as the compile
// writes it, so that a 20 MB plan is not gathered a second time). Only
// identical files make the round trip exact; otherwise the differences are
// listed cell by cell, slot by slot and plan point by plan point.
#ifndef SCENARIO_TOOLS_DECOMPILE_DECOMPILE_H_
#define SCENARIO_TOOLS_DECOMPILE_DECOMPILE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "compiled/compiled_reader.h"

namespace decompile {

// The bytes of one compiled set and the names it was compiled under (those
// its files and its identity stamps carry). Without a line file the set was
// compiled without a track plan.
struct CompiledBytes {
  std::string line_name;
  std::string train_code;
  std::optional<std::string> line_file;
  std::string station_file;
  std::string track_file;
};

struct Decompiled {
  // The route description and the train description: Windows-1252, CR LF.
  std::string route_text;
  std::string train_text;
  // Rows written into each (headings not counted).
  int route_rows = 0;
  int train_rows = 0;
  // False when the set has no line file: the route has no curve rows.
  bool curves = true;
  // Whether the three files compiled from the texts are those of the set,
  // byte for byte; only ever true after that comparison.
  bool exact = false;
  // Where the compiled texts differ from the set, one line each:
  // "track file: cell 721 kind: 1 -> 0", "station file: slot 3 area_end: ..."
  // (set first, recompiled second), "line file: point 2151 x: ...". At most
  // kMaxDifferences, then a count of the rest.
  std::vector<std::string> differences;
  // What could not be written back as rows (a damaged or erroneous set).
  std::vector<std::string> notes;
};

inline constexpr size_t kMaxDifferences = 50;

// Throws tools::BadFile when a file does not fit its format.
Decompiled decompile_set(const CompiledBytes& set);

// The same for a set whose files are decoded already, from those very bytes
// (`line` null when the set has no line file): a 1 000 km plan is decoded
// once.
Decompiled decompile_set(const CompiledBytes& set, const tools::StationFile& station,
                         const tools::TrackFile& track, const tools::LineFile* line);

// The three files that the two texts compile to under the given names, as
// the compile pass writes them (no line file when `with_line_file` is
// false). Throws platform::RuntimeFailure when the pass cannot run at all.
struct Recompiled {
  std::optional<std::string> line_file;
  std::string station_file;
  std::string track_file;
  int32_t error_code = 0;
  // A station's stop cell took the cell of a train row read before it (the
  // warning stop-over-train-item; also true when warnings past the kept ones
  // were dropped): decompile cannot yet give such a set back exactly.
  bool station_took_train_item = false;
};
Recompiled compile_texts(const std::string& line_name, const std::string& train_code,
                         const std::string& route_text, const std::string& train_text,
                         bool with_line_file);

}  // namespace decompile

#endif  // SCENARIO_TOOLS_DECOMPILE_DECOMPILE_H_
