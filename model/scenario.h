// The scenario model: everything one run of the compiler knows about its
// scenario, from the first field read to the last byte written.
//
// The readers fill it, the finishing pass completes the track, the identity
// codes are stamped into it and the compiled-file writer serialises three of
// its members (track_plan, item_table, track). The widths, signedness and
// order of the record fields are those of the compiled files; the files never
// hold a memory image, though: model/compiled_files.h writes field by field.
//
// Compile errors are data: a reader stores the error number in `error_code`
// (model/compile_errors.h; for most numbers, a position in metres in
// `error_position`) and where it found it in `error_site`. Nothing in the
// compiler reads them back; a later error overwrites an earlier one.
#ifndef SCENARIO_MODEL_SCENARIO_H_
#define SCENARIO_MODEL_SCENARIO_H_

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/reading_record.h"
#include "model/reusable_vector.h"
#include "platform/file_system.h"

namespace model {

// Cell kinds. A cell is free when its kind is kEmpty or kMountainMarker.
enum CellKind : uint8_t {
  kEmpty = 0,
  kSignal = 1,
  kSlowdownEnd = 2,
  kSlowdownStart = 3,
  kSlowdownWarning = 4,
  kBeforeWarning = 5,  // one of the four cells just before a warning
  kSpeedIndicator = 6,
  kStationStop = 10,
  kMountainMarker = 11,  // every fourth cell of a marked mountain stretch
  kSpeedMark = 12,       // "abbattimento" mark with a value
  kSpeedMarkWithoutValue = 13,
  kRouteSign = 14,
};

// One 50-metre cell of track. 16 bytes in memory; its file record drops `gap`.
struct TrackCell {
  uint8_t kind = 0;
  uint8_t gap = 0;  // alignment only; always 0, never written
  int16_t value1 = 0;
  int16_t value2 = 0;
  int16_t value3 = 0;
  int16_t value4 = 0;
  uint8_t signal_time = 0;
  uint8_t approach_mark = 0;
  uint8_t mountain_type = 0;
  uint8_t speed_code = 0;     // speed limit / 5
  uint8_t gradient_code = 0;  // gradient in per mille + 100
  uint8_t adhesion_code = 0;

  bool is_free() const { return kind == kEmpty || kind == kMountainMarker; }
  bool operator==(const TrackCell&) const = default;
};
static_assert(sizeof(TrackCell) == 16);

// One entry of the item table: a station, a route sign or general values,
// depending on its slot (see the slot constants below).
struct ItemRecord {
  uint8_t item_kind = 0;
  int32_t area_start = 0;
  int32_t area_end = 0;
  int32_t item_position = 0;
  uint8_t item_flag = 0;
  std::string item_name;
  int16_t item_word1 = 0;
  int16_t item_word2 = 0;
  int16_t item_word3 = 0;
  int16_t item_word4 = 0;
  int16_t item_word5 = 0;
  uint8_t item_byte1 = 0;
  uint8_t item_byte2 = 0;
  uint8_t item_byte3 = 0;
  uint8_t item_byte4 = 0;
  int32_t item_time = 0;  // seconds since midnight

  // Field by field: a record equal to ItemRecord{} is an empty slot.
  bool operator==(const ItemRecord&) const = default;
};

// Slots of the item table. Stations fill slots upward from 1, route signs
// downward from 80; slot 0 is never filled.
inline constexpr int kItemSlots = 87;
inline constexpr int kFirstSignSlot = 80;
inline constexpr int kSlotProgressiveThree = 81;
inline constexpr int kSlotProgressiveTwo = 82;
inline constexpr int kSlotProgressiveOne = 83;
inline constexpr int kSlotTrainGeneral = 84;  // braked mass, line length, cars
inline constexpr int kSlotLine = 85;          // backgrounds, line name, identity
inline constexpr int kSlotTrain = 86;         // signal repetition, train code, sand, clock

// The metre-by-metre ground plan: x and y of points 0 .. last.
//
// The plan is computed strictly in increasing point order, so which values
// exist follows from one cursor: points 0 and 1 hold the 16-bit integers
// (0, 0) and (0, 1), points 2 .. cursor - 1 hold doubles, and every point from
// the cursor on is empty. Keeping only the doubles holds the plan's memory
// near the size of its file.
//
// x and y hold last + 1 values each. They are ReusableVectors: starting the
// plan afresh (route/track_plan.h, create_track_plan) costs only the points
// computed since its last start, so that repeated route-length rows cost
// nothing per point; their storage is that of the largest plan started.
struct TrackPlan {
  int32_t last = 0;    // total_length: points run 0 .. last
  int32_t cursor = 0;  // 0: nothing computed (not started); else the next point
  ReusableVector<double> x;
  ReusableVector<double> y;

  bool computed(int32_t m) const { return m < cursor; }
};

struct Scenario {
  // Folder in which every file of the run is written and read, and the file
  // system it lies on (the machine's own, but for tests and fuzzing).
  std::string app_path;
  platform::FileSystem* files = &platform::real_file_system();

  std::string line_name;
  std::string train_code;

  // The track plan; exists only when `write_line_file` is nonzero.
  bool track_plan_allocated = false;
  TrackPlan track_plan;

  // The track: cells 0 .. cell_count, once the route length has been read.
  // Each route-length row starts it afresh (start_track).
  bool track_allocated = false;
  ReusableVector<TrackCell> track;

  std::array<ItemRecord, kItemSlots> item_table{};

  std::array<int32_t, 81> mountain_start{};
  std::array<int32_t, 81> mountain_end{};
  int32_t mountain_count = 0;

  int32_t write_line_file = 0;
  std::string input_token;
  int32_t total_length = 0;
  int32_t cell_count = 0;
  int32_t error_code = 0;
  int32_t error_position = 0;

  // For messages to authors only (model/reading_record.h); never written.
  // The field being read, or last read: the trap of memorizza_dati takes it
  // as the place of error 25.
  FieldPlace reading;
  // The keyword field of the row being read, and its text.
  FieldPlace reading_row;
  std::string reading_row_keyword;
  // The section of that row, and how many of its values have been read
  // (the field being read counts).
  RowSection reading_section = RowSection::kRouteBody;
  int reading_values = 0;
  // Set where a value given by an earlier row is stored and fails there (a
  // speed limit filled into the cells at the next row): the trap of
  // memorizza_dati then names that row, and the value.
  std::optional<int64_t> reading_late_value;
  // Every cell a row gave a kind to, with the row (placements), in reading
  // order, and the cell a store found taken when it refused a row: the
  // errors of a taken cell name what took it.
  struct Placement {
    int64_t cell;
    FieldPlace row;
    int64_t around = -1;  // a finishing mark: the slowdown cell it was put around
  };
  std::vector<Placement> placements;
  int64_t taken_cell = -1;
  // The error in error_code as recorded where it was found
  // (record_error), and the first ones it overwrote with their count.
  ErrorSite error_site;
  std::vector<ErrorSite> earlier_errors;
  int32_t earlier_error_count = 0;
  // The route's kilometric progressive row last read with a start or value
  // that is not a multiple of 50: the place of error 2, which is found after
  // both descriptions are read.
  FieldPlace progressive_fault;
  // What the descriptions hold that an author almost never means, in
  // reading order: the first kMaxWarnings of them, and how many in all.
  std::vector<Warning> warnings;
  int64_t warning_count = 0;
  // How many route signs and stations took an item slot (they share slots
  // 1 .. 80).
  int32_t signs_read = 0;
  int32_t stations_read = 0;

  // Cell i of the track; throws RuntimeFailure(kSubscriptOutOfRange) when the
  // track does not exist or i lies outside 0 .. cell_count. The non-const one
  // is how the compiler writes cells; it raises the track's high-water mark.
  TrackCell& cell(int64_t i);
  const TrackCell& cell(int64_t i) const;

  // Makes the track cells 0 .. n, every one zero, and sets cell_count to n:
  // at the cost of the cells written since the last start
  // (model/reusable_vector.h), not of the track's length.
  // REQUIRES: n >= 0.
  void start_track(int32_t n);
};

// Names (without folder) of the two description files:
// "<line>_linea.txt" and "<line>_<train>-.txt".
std::string route_description_name(const Scenario& s);
std::string train_description_name(const Scenario& s);

// Records compile error `code` at `site`: error_code becomes `code` and the
// site takes the code and error_position (store a position first). The
// error recorded before, if any, is kept in earlier_errors (the first
// kMaxEarlierErrors of them) for messages.
inline constexpr size_t kMaxEarlierErrors = 16;
void record_error(Scenario& s, int32_t code, ErrorSite site = {});

// Notes that the row being read gave cell `cell` its kind; a finishing mark
// notes the slowdown cell `around` it was put for instead.
void note_placement(Scenario& s, int64_t cell);
void note_finishing_mark(Scenario& s, int64_t cell, int64_t around);
// Notes that a row was refused because cell `cell` is taken: the error
// recorded next names what took it.
inline void note_taken_cell(Scenario& s, int64_t cell) { s.taken_cell = cell; }
// What took cell `cell`: its kind and the row that placed it; none when no
// placement of it was noted.
std::optional<CellOccupant> occupant_of(const Scenario& s, int64_t cell);

// Clears the 87 entries of the item table, in slot order.
void clear_item_table(Scenario& s);

}  // namespace model

#endif  // SCENARIO_MODEL_SCENARIO_H_
