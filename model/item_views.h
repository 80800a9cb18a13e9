// What the generic fields of an item record mean, slot by slot.
//
// An item record carries the same fields in every slot (model/scenario.h);
// what `area_end` or `item_byte2` holds follows from the slot. The views here
// give each slot's fields their meaning and their unit, so that no reader of
// a compiled station file names a generic field itself:
//
//   slots 1 ..       a station: position, kind, area, stop time, departure
//                    time and the other row fields (StationView)
//   slots .. 80      a route sign: only its text (sign_text)
//   slots 81 .. 83   the kilometric progressive records "tre", "due" and
//                    "uno", in descending order of position
//   slot 84          braked mass, line length, number of cars
//   slot 85          the three backgrounds, the line name, the identity
//                    marker and the weighted identity code
//   slot 86          signal repetition, train code, sand, scenario clock
//
// A station's time is stored as seconds since midnight; item_time_of is how
// the train reader encodes it and clock_text how it is shown.
//
// Texts stay as stored (Windows-1252 bytes): a view that prints them chooses
// its own character set.
#ifndef SCENARIO_MODEL_ITEM_VIEWS_H_
#define SCENARIO_MODEL_ITEM_VIEWS_H_

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "model/scenario.h"
#include "model/track_geometry.h"

namespace model {

using ItemTable = std::array<ItemRecord, kItemSlots>;

// ---- Time of day ----------------------------------------------------------------

// (hours x 60 + minutes) x 60 + seconds, exact for any 32-bit parts.
constexpr int64_t seconds_since_midnight(int64_t hours, int64_t minutes, int64_t seconds) {
  return (hours * 60 + minutes) * 60 + seconds;
}

// The item_time of a station row's hours, minutes and seconds. Throws
// platform::RuntimeFailure(kOverflow) when the total does not fit 32 bits.
int32_t item_time_of(int64_t hours, int64_t minutes, int64_t seconds);

// ---- Stations (slots 1 upward) ---------------------------------------------------

// One station record, field by field. The "row field" numbers are those of
// the station row of the train description.
struct StationView {
  int slot = 0;
  std::string name;            // item_name
  int kind = 0;                // item_kind: the station kind code
  int32_t position = 0;        // item_position, metres
  int32_t area_start = 0;      // metres
  int32_t area_end = 0;        // metres
  int flag = 0;                // item_flag: row field 4
  std::array<int, 5> words{};  // item_word1 .. 5: row fields 7, 8, 10, 11, 12
  std::array<int, 4> bytes{};  // item_byte1 .. 4: row fields 9, 13, 6, 5
  int stop_time = 0;           // item_byte2, seconds
  // item_time: the timetable time, seconds since midnight; at a stop the
  // departure. A row without a time stores 0.
  int32_t departure_time = 0;

  std::string departure_text() const { return clock_text(departure_time); }
  // Whether the row gave a time (a station due at midnight cannot say so).
  bool has_departure_time() const { return departure_time != 0; }
};

StationView station_view(const ItemTable& table, int slot);

// ---- Route signs (slots 80 downward) ----------------------------------------------

// The text of the sign in `slot`, as written on the sign.
inline const std::string& sign_text(const ItemTable& table, int slot) {
  return table[static_cast<size_t>(slot)].item_name;
}

// ---- Kilometric progressives (slots 81 .. 83) --------------------------------------

// One kilometric progressive record. Slot 81 holds the record "tre" (the
// greatest position), 82 "due" and 83 "uno" (the least).
struct ProgressiveRecord {
  int slot = 0;
  std::string_view keyword;  // the word of its row: "tre", "due", "uno"
  std::string_view label;    // in English: "three", "two", "one"
  int32_t position = 0;      // area_start, metres
  int32_t value = 0;         // area_end, metres (100 added when the flag was 1)
  int32_t flag = 0;          // item_position
};

// The records of slots 81, 82 and 83, in that order.
std::array<ProgressiveRecord, 3> progressive_records(const ItemTable& table);

// ---- General values (slots 84 .. 86) -----------------------------------------------

// Slot 84.
struct TrainGeneral {
  int32_t braked_mass_percent = 0;  // area_start
  int32_t line_length = 0;          // area_end, metres: the route without its spare track
  int32_t cars = 0;                 // item_position
};

// Slot 85.
struct LineGeneral {
  int32_t background_one = 0;    // area_start
  int32_t background_two = 0;    // item_position
  int32_t background_three = 0;  // area_end
  std::string line_name;         // item_name
  int16_t marker = 0;            // item_word1: the stamp 610 of a finished set
  int32_t weighted_code = 0;     // item_time: the weighted identity code
};

// Slot 86.
struct TrainValues {
  int32_t signal_repetition_one = 0;  // area_start, metres
  int32_t signal_repetition_two = 0;  // area_end, metres
  int32_t code_count = 0;             // item_position: 4, 9 or 0
  std::string train_code;             // item_name
  int16_t sand = 0;                   // item_word1
  int16_t clock_hours = 0;            // item_word3
  int16_t clock_minutes = 0;          // item_word4
  int16_t clock_seconds = 0;          // item_word5

  // The scenario clock as seconds since midnight.
  int64_t clock() const {
    return seconds_since_midnight(clock_hours, clock_minutes, clock_seconds);
  }
};

struct GeneralValues {
  std::array<ProgressiveRecord, 3> progressives;  // slots 81, 82, 83
  TrainGeneral train_general;                     // slot 84
  LineGeneral line;                               // slot 85
  TrainValues train;                              // slot 86
};

GeneralValues general_values(const ItemTable& table);

}  // namespace model

#endif  // SCENARIO_MODEL_ITEM_VIEWS_H_
