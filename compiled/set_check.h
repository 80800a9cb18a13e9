// Whether the compiled files of one scenario were written together, by one
// compile, under their own names: a compile killed between its renames, or
// two compiles into one folder, leave files side by side that look like one
// scenario but are not.
//
// Sizes. The compiler sizes the track and the plan from the route length,
// which it keeps in the station file (slot 84 area_end, the line length):
//   total_length = line length + 7000 (the spare track)
//   cell_count   = round(total_length / 50), halves to even
// and writes cells 0 .. cell_count into the track file and points
// 0 .. total_length into the line file (2 x (total_length + 1) values).
// A length the compiler refuses (above 1 000 000 m, compile error 1; one
// that gives a negative track, a run-time failure that the reading traps as
// error 25) still stands in the station file, but the track and the plan keep
// the size of an earlier length row of the same description, or no file is
// written at all: with such a length only the track and the line file are
// held to each other (the track of the plan's total_length). The line file
// is written only when the compile asked for it; it is left in place
// otherwise, and every train of the line shares it.
//
// Identity (finish/identity.h). The station file holds the line name and
// the train code (slots 85 and 86), which name it "<line>_<train>.sim", the
// marker 610 (slot 85 word 1) and their weighted code (slot 85 time); the
// track file "<line>_<train>.dat" holds the marker 5121 (cell 1 value 1)
// and their ordinary code (cell 1 value 2). Without the station file, the
// track file's code is held to the names of its own file name.
//
// Layout. In each half of the line file the compiler writes points 0 and 1
// as 16-bit integers, the other computed points as doubles and every point
// after the computed ones empty, the same number of computed points in both
// halves.
#ifndef SCENARIO_COMPILED_SET_CHECK_H_
#define SCENARIO_COMPILED_SET_CHECK_H_

#include <cstdint>
#include <optional>

#include "compiled/compiled_reader.h"
#include "compiled/compiled_set.h"

namespace tools {

// Files that were not written together by one compile, or not under their
// own names. Its message names the files and how they disagree.
class SetMismatch : public BadFile {
 public:
  using BadFile::BadFile;
};

// The track and plan the compiler sizes for a line length; nothing for a
// length it refuses (or one that gives no track at all).
struct TrackSize {
  int64_t total_length = 0;  // plan points 0 .. total_length
  int64_t cell_count = 0;    // cells 0 .. cell_count
};
std::optional<TrackSize> track_size_for(int64_t line_length);

// Throws SetMismatch when the files of `set`, whichever of them it holds,
// were not written together by one compile as described above. Sets that
// the compiler itself writes, compile errors included, pass.
void check_set(const CompiledSet& set);

}  // namespace tools

#endif  // SCENARIO_COMPILED_SET_CHECK_H_
