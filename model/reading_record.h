// What the reading records for messages to authors, beside the compile
// error's number: where in which description each field was read, where the
// last error was found, and the warnings.
//
// None of it is ever written to a compiled file, and nothing in the compiler
// reads it back: the authoring tool turns it into messages
// ("FILE:LINE:COL: error N: ..."). It is filled where the error or the
// oddity happens (model/description_fields.h), so no message needs a second
// reading of the descriptions.
#ifndef SCENARIO_MODEL_READING_RECORD_H_
#define SCENARIO_MODEL_READING_RECORD_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/description_rows.h"

namespace model {

enum class Description : uint8_t { kNone, kRoute, kTrain };

// A field of a description: line and column (in bytes) from 1. A line of 0
// names the description as a whole (one that could not be read at all).
struct FieldPlace {
  Description description = Description::kNone;
  int line = 0;
  int column = 0;

  bool operator==(const FieldPlace&) const = default;
};

// What took a cell that a row needed: the cell's kind, and the row that
// placed it there (the keyword field of its row), or, for a mark of the
// finishing pass, the row of the slowdown the mark was put around.
struct CellOccupant {
  int64_t cell = 0;
  uint8_t kind = 0;  // a CellKind (model/scenario.h)
  FieldPlace row;
  bool finishing_mark = false;
};

// A compile error as recorded, with where it was found. Errors of the
// finishing pass have no place (description kNone), error 101 names the
// route description as a whole.
struct ErrorSite {
  int32_t code = 0;         // the number
  int32_t position = 0;     // error_position as the error left it
  FieldPlace field;         // the field that holds the faulty value, or where reading failed
  FieldPlace row;           // the keyword field of the row it belongs to, when in a row
  std::string row_keyword;  // that keyword field's text
  // The section that row was read in, which with the keyword gives the row's
  // kind (model::row_for), and which of its values the error concerns: an
  // index into the row's fields, -1 for the row as a whole.
  RowSection row_section = RowSection::kRouteBody;
  int row_value = -1;
  // A value that a row gave but that is stored only when a later row (or the
  // end of the rows) fills the cells, and failed there: a speed limit.
  std::optional<int64_t> value_stored_later;
  // The errors of a taken cell: what took it, when known.
  std::optional<CellOccupant> occupant;
  // Error 25: the run-time failure's number and description ("not a whole
  // number"); 0 for the others.
  int failure = 0;
  std::string failure_text;
};

// What the description format takes without complaint but an author almost
// never means. The ids are stable: tools and scripts may rely on them.
enum class WarningId : uint8_t {
  kUnknownRow,         // a keyword field that matches no row of its section
  kGradientOrder,      // a gradient row behind the previous one
  kSignComma,          // a route sign text cut at a comma
  kUtf8,               // UTF-8 byte sequences in a Windows-1252 description
  kLowBits,            // a value of which only the low bits are stored
  kStationTime,        // a station time past 23:59:59, or minutes or seconds of 60 or more
  kNoTrain,            // a train description that sets nothing
  kSpeedRounded,       // a speed limit that is not a multiple of 5 km/h
  kCurveOverlap,       // a curve row whose arc starts behind the plan already drawn
  kStopOverRouteItem,  // a station's stop cell on a route sign or speed indicator
  kStopOverTrainItem,  // a station's stop cell on a train row read before it
};

// "unknown-row", "gradient-order", "sign-comma", "utf8", "low-bits",
// "station-time", "no-train", "speed-rounded", "curve-overlap",
// "stop-over-route-item", "stop-over-train-item".
const char* warning_name(WarningId id);

// The most warnings kept: a description of millions of misspelt rows must
// not cost memory in proportion.
inline constexpr size_t kMaxWarnings = 500;

struct Warning {
  WarningId id;
  FieldPlace place;
  std::string message;  // lower case, no final period
};

}  // namespace model

#endif  // SCENARIO_MODEL_READING_RECORD_H_
