// One compiled scenario as found on disk, and what can be read off it.
//
// A folder normally holds one scenario's station file "<line>_<train>.sim",
// track file "<line>_<train>.dat" and line file "<line>_linea.dat". The
// helpers here find them, read them (compiled_reader.h) and derive what
// inspection and drawing show: which slots are stations and which route
// signs, where each sign stands, the identity stamps against the names.
//
// Every file is read through the file system seam (platform/file_system.h):
// only regular files, never through a link, and none larger than the
// largest file of its kind that the compiler writes (compiled_reader.h),
// which is refused before it is read.
#ifndef SCENARIO_COMPILED_COMPILED_SET_H_
#define SCENARIO_COMPILED_COMPILED_SET_H_

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "compiled/compiled_reader.h"
#include "compiled/tool_error.h"
#include "platform/file_system.h"

namespace tools {

template <class Content>
struct Loaded {
  std::string name;   // file name, without folder
  uint64_t size = 0;  // bytes
  Content content;
};

struct CompiledSet {
  std::optional<Loaded<StationFile>> station;
  std::optional<Loaded<TrackFile>> track;
  std::optional<Loaded<LineFile>> line;
};

// Loads `path` from `fs`: a folder (the one scenario in it), or one compiled
// file. With `whole_scenario`, a file brings the other files of its scenario
// from its folder as well. A scenario loaded so (a folder, or a file with
// `whole_scenario`) is checked whole with check_set (compiled/set_check.h):
// files that were not written together by one compile are refused with
// SetMismatch. A file loaded alone is held to its format only, so that its
// stamps can be looked at.
//
// Throws ToolError (no such path, not a regular file, no compiled file, an
// ambiguous folder, a failure to read) or BadFile (a file that does not fit
// its format or is too large, its message then starting with the file's
// name; SetMismatch).
//
// With `bytes`, the bytes each file was decoded from are kept there, by
// FileKind, so that a caller that needs them too reads every file once.
using SetBytes = std::array<std::optional<std::string>, 3>;
CompiledSet load_compiled(platform::FileSystem& fs, const std::string& path, bool whole_scenario,
                          SetBytes* bytes = nullptr);

// Reads one file of a known kind from bytes into the set.
void add_file(CompiledSet& set, FileKind kind, std::string name, std::string_view bytes);

// "empty", "signal", ... "route sign"; "unknown" for kinds no writer makes.
const char* cell_kind_name(int kind);

// The metres a cell stands for: a sign, indicator, signal or slowdown at p
// lies on cell round(p / 50 + 1), so cell k is shown at (k - 1) x 50.
inline int64_t placed_position(int64_t cell) { return (cell - 1) * 50; }

// Station slots: the filled slots from 1 upward, up to the first empty one and
// below the route signs. Route sign slots: from 80 downward while the slot
// holds only a text.
std::vector<int> station_slots(const StationFile& file);
std::vector<int> sign_slots(const StationFile& file);

// The cell of each route sign (kind 14 with the slot in value 1).
std::map<int, int32_t> sign_cells(const TrackFile& track);

// The identity codes that the names give (finish/identity.h).
struct IdentityCodes {
  int16_t ordinary = 0;  // cell 1 value 2
  int32_t weighted = 0;  // slot 85 time
};
IdentityCodes identity_codes(const std::string& line_name, const std::string& train_code);

// The names a track file's ordinary code is checked against: those of the
// station file when there is one, else those of its own file name
// "<line>_<train>.dat". The code sums the characters of both names, so any
// cut of the file name at a "_" gives the same code: the first is taken.
// Nothing when the file name holds no "_".
struct Names {
  std::string line;
  std::string train;
  std::string shown;  // "LINE / TRAIN", or "file name LINE_TRAIN" (UTF-8)
};
std::optional<Names> names_for_track(const CompiledSet& set);

}  // namespace tools

#endif  // SCENARIO_COMPILED_COMPILED_SET_H_
