// The rows of both descriptions as one table: for every row keyword, the
// section it belongs to, the words the reader looks for in a keyword field,
// and its fields in order with their names, units and how each value is
// stored.
//
// The readers (route/route_reader.cc, train/train_reader.cc) remain what
// decides; this table says the same in data, for the tools that explain a
// description to its author (hover, completion, outlines, the format
// reference) without reading it a second way.
#ifndef SCENARIO_MODEL_DESCRIPTION_ROWS_H_
#define SCENARIO_MODEL_DESCRIPTION_ROWS_H_

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace model {

// Where a row stands.
enum class RowSection : uint8_t {
  kRouteGeneral,  // the route description, after "[generale]" to the next heading
  kRouteBody,     // the route description, after its general section
  kTrain,         // the train description, after "[generale]"
};

// "general section of the route", "route body", "train description".
std::string_view section_name(RowSection section);

// How a field's value is stored, which says how to show it.
enum class FieldKind : uint8_t {
  kNumber,        // a whole number kept as it is (32 bits)
  kMetres,        // a length in metres
  kPosition,      // metres from the origin; the row's cell is round(p / 50)
  kCellPosition,  // metres from the origin; the row's cell is round(p / 50 + 1)
  kSpeed,         // km/h, stored as round(v / 5) in a byte (must fit)
  kGradient,      // per mille, stored as gradient + 100, low 8 bits kept
  kLowByte,       // low 8 bits kept
  kLowShort,      // low 16 bits kept
  kByte,          // must fit 0 .. 255
  kShort,         // must fit -32768 .. 32767
  kSeconds,       // a time in seconds, in a byte
  kHours,         // hours of a time of day
  kMinutes,       // minutes of a time of day
  kClockSeconds,  // seconds of a time of day
  kText,          // a text to the end of the line
};

struct FieldLayout {
  std::string_view name;  // "stop time"
  std::string_view unit;  // "s"; empty when the value has none
  FieldKind kind;
  std::string_view stored;  // what is stored, in words
  // Where the value's meaning lies in the simulator that reads the compiled
  // files (this program only stores it): says so, with the values the
  // built-in scenario uses. Empty where the format itself gives the meaning.
  std::string_view meaning = {};
};

struct RowLayout {
  std::string_view keyword;  // the full form authors write: "stazione"
  RowSection section;
  // The words a keyword field must all contain (empty ones ignored).
  std::string_view words[3];
  bool any_case;          // whether the words match in any letter case
  std::string_view what;  // "station", "route sign", ...
  std::span<const FieldLayout> fields;

  // Whether the keyword field `field` is read as this row.
  bool matches(std::string_view field) const;
};

// Every row of both descriptions, the route's general section first, then
// its body, then the train's rows, each in the order of the format
// reference.
std::span<const RowLayout> description_rows();

// The rows of one section, in table order.
std::vector<const RowLayout*> rows_of(RowSection section);

// The row a keyword field is read as in `section`: the row whose keyword it
// is (ignoring case and blanks around it), else the first that it matches;
// null for a field the reader passes over.
const RowLayout* row_for(std::string_view field, RowSection section);

}  // namespace model

#endif  // SCENARIO_MODEL_DESCRIPTION_ROWS_H_
