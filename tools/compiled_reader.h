// Reading the three compiled files back, for inspection and drawing.
//
// The files carry no header, count or version: what a file is follows from
// its name, and its layout from model/compiled_files.h. These readers take
// the whole file as bytes and either return its full content or throw
// BadFile with a message that says what was expected where. They never read
// outside the bytes they are given, whatever those bytes are, and their
// memory stays proportional to the input (a fuzz target may call them on
// anything).
#ifndef SCENARIO_TOOLS_COMPILED_READER_H_
#define SCENARIO_TOOLS_COMPILED_READER_H_

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "model/scenario.h"

namespace tools {

// A compiled file whose bytes do not fit its format.
class BadFile : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class FileKind { kLine, kStation, kTrack };

// "line file", "station file", "track file".
const char* kind_label(FileKind kind);

// Which compiled file a name is: "<line>_linea.dat" is a line file, any other
// "*.dat" a track file, "*.sim" a station file. Nothing for other names.
std::optional<FileKind> kind_of_file_name(std::string_view file_name);

// The 87 item records, slot 0 first.
struct StationFile {
  std::array<model::ItemRecord, model::kItemSlots> slots;
};

// Cells 0 .. cell_count (the gap byte of the model stays 0).
struct TrackFile {
  std::vector<model::TrackCell> cells;
  int32_t cell_count() const { return static_cast<int32_t>(cells.size()) - 1; }
};

// One tagged value of the line file.
enum PlanValueType : uint16_t { kPlanEmpty = 0, kPlanInt16 = 2, kPlanDouble = 5 };
struct PlanValue {
  PlanValueType type = kPlanEmpty;
  double value = 0;  // the integer or the double; 0 when empty
};

// The two halves of the line file: x and y of points 0 .. last.
struct LineFile {
  std::vector<PlanValue> x;
  std::vector<PlanValue> y;
  int32_t last_point() const { return static_cast<int32_t>(x.size()) - 1; }
};

// Each throws BadFile when the bytes do not fit the format.
StationFile read_station_file(std::string_view bytes);
TrackFile read_track_file(std::string_view bytes);
LineFile read_line_file(std::string_view bytes);

}  // namespace tools

#endif  // SCENARIO_TOOLS_COMPILED_READER_H_
