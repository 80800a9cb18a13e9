// Reading the three compiled files back, for inspection and drawing.
//
// The files carry no header, count or version: what a file is follows from
// its name, and its layout from model/compiled_files.h. These readers take
// the whole file as bytes and either return its full content or throw
// BadFile with a message that says what was expected where. They never read
// outside the bytes they are given, whatever those bytes are, and their
// memory stays proportional to the input (a fuzz target may call them on
// anything). Bytes larger than the largest file the compiler can write
// (the limits below) are refused before anything is decoded.
#ifndef SCENARIO_COMPILED_COMPILED_READER_H_
#define SCENARIO_COMPILED_COMPILED_READER_H_

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "model/cell_values.h"
#include "model/compile_errors.h"
#include "model/compiled_files.h"
#include "model/scenario.h"
#include "platform/byte_writer.h"
#include "platform/large_pages.h"

namespace tools {

// ---- The largest compiled files ---------------------------------------------
//
// Every limit of the tool on compiled files follows from the compiler's own:
// a route length of at most kMaxRouteLength metres (a longer one is compile
// error 1, route/route_reader.cc), the spare track after it, one cell per
// kCellLength metres and one plan point per metre.
inline constexpr int64_t kMaxRouteLength = model::kMaxRouteLength;
inline constexpr int64_t kSpareTrack = model::kSpareTrack;
inline constexpr int64_t kCellLength = model::kCellLength;
// The longest track: route and spare, metres 0 .. kMaxTotalLength.
inline constexpr int64_t kMaxTotalLength = kMaxRouteLength + kSpareTrack;
// round(kMaxTotalLength / 50): cells 0 .. 20140.
inline constexpr int64_t kMaxCellCount = (kMaxTotalLength + kCellLength / 2) / kCellLength;
// Points 0 .. kMaxTotalLength of the plan: 1 007 001.
inline constexpr int64_t kMaxPlanPoints = kMaxTotalLength + 1;
// A value of the line file takes at most 10 bytes (a double and its type).
inline constexpr int64_t kMaxPlanValueSize = 10;
inline constexpr int64_t kMaxNameSize = 65535;  // a u16 name length

inline constexpr uint64_t kMaxLineFileSize = 2 * kMaxPlanPoints * kMaxPlanValueSize;
inline constexpr uint64_t kMaxTrackFileSize = model::kTrackRecordSize * (kMaxCellCount + 1);
inline constexpr uint64_t kMaxStationFileSize =
    model::kItemSlots * (model::kItemRecordBaseSize + kMaxNameSize);
static_assert(kMaxCellCount == 20140 && kMaxLineFileSize == 20140020 &&
              kMaxTrackFileSize == 302115 && kMaxStationFileSize == 5704503);

// A compiled file whose bytes do not fit its format.
class BadFile : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class FileKind { kLine, kStation, kTrack };

// "line file", "station file", "track file".
const char* kind_label(FileKind kind);

// The largest file of the kind the compiler can write (the limits above).
uint64_t max_file_size(FileKind kind);

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

// One tagged value of the line file, its tag as the byte writer writes it.
using PlanValueType = platform::VariantType;
inline constexpr PlanValueType kPlanEmpty = platform::kVariantEmpty;
inline constexpr PlanValueType kPlanInt16 = platform::kVariantInt16;
inline constexpr PlanValueType kPlanDouble = platform::kVariantDouble;
struct PlanValue {
  PlanValueType type = kPlanEmpty;
  double value = 0;  // the integer or the double; 0 when empty
};

// One half of the line file, in large pages when large (up to 16 MB a half:
// platform/large_pages.h).
using PlanHalf = std::vector<PlanValue, platform::LargePageAllocator<PlanValue>>;

// The two halves of the line file: x and y of points 0 .. last.
struct LineFile {
  PlanHalf x;
  PlanHalf y;
  int32_t last_point() const { return static_cast<int32_t>(x.size()) - 1; }
};

// Each throws BadFile when the bytes do not fit the format, or are more than
// max_file_size of their kind. The line file holds at most kMaxPlanPoints
// points (2 x kMaxPlanPoints values).
StationFile read_station_file(std::string_view bytes);
TrackFile read_track_file(std::string_view bytes);
LineFile read_line_file(std::string_view bytes);

}  // namespace tools

#endif  // SCENARIO_COMPILED_COMPILED_READER_H_
