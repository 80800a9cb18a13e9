// The driver's two documents for any train: the timetable card and the
// slow-order form, generated from the train description in the layout of the
// built-in scenario's own documents (sources/timetable_card_text.cc and
// sources/slow_order_form_text.cc).
//
// The description is read with the field reader and the row table that the
// compile pass uses (platform/field_reader.h, model/description_rows.h):
// after "[generale]", a keyword field names a row (a field with a minus sign
// is passed over, as the reader does) and its fields follow. Station areas
// come from train::station_area.
//
// What does not fit a column is shown, never allowed to stretch a table
// line: a text too long for its column is cut and ends with "~", a number
// too wide for its column is written as a run of "*". Every line of a table
// keeps its width.
#ifndef SCENARIO_DOCUMENTS_TRAIN_DOCUMENTS_H_
#define SCENARIO_DOCUMENTS_TRAIN_DOCUMENTS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/item_views.h"

namespace documents {

struct StationRow {
  int32_t position = 0;
  int32_t kind = 0;
  int32_t length = 0;
  bool widened = false;      // the row's sixth field
  int32_t stop_seconds = 0;  // field 13
  int32_t time = 0;          // seconds since midnight; 0: no time
  std::string name;
};

struct SlowOrderRow {
  int32_t start = 0;
  int32_t speed = 0;
  int32_t length = 0;
  int32_t whole_train = 0;  // f_tt
  int32_t warning = 0;      // f_ta
};

struct SpeedRow {
  int32_t position = 0;
  int32_t limit = 0;
};

// A kilometric progressive of the line: from `position` on, the line's
// kilometre posts read `value` plus the distance past `position` (metres).
struct KilometreRecord {
  int32_t position = 0;
  int32_t value = 0;
};

// What the documents take from a train description, rows in file order.
struct TrainRows {
  std::optional<int32_t> braked_mass;  // percent
  std::vector<SpeedRow> limits;
  std::vector<StationRow> stations;
  std::vector<SlowOrderRow> slow_orders;
  // The route's progressives, as compiled (see kilometre_records); empty: the
  // posts count from the origin of the line.
  std::vector<KilometreRecord> kilometres;
};

// The progressives of a compiled item table (slots 81 to 83, the flag's
// 100 m already added), least position first; a record left all zero (a row
// the route does not give) is none.
std::vector<KilometreRecord> kilometre_records(const model::ItemTable& table);

// What the kilometre posts read at `position`: the record with the greatest
// position at or before it gives value + (position - its position); before
// every record, and with none, the position itself.
int64_t line_kilometre(const std::vector<KilometreRecord>& records, int64_t position);

// Reads `description` (Windows-1252 text). Throws platform::RuntimeFailure
// where the compile pass's reading fails on a field.
TrainRows read_train_rows(std::string_view description);

struct Documents {
  std::string timetable_card;   // Windows-1252, CR LF after every line
  std::string slow_order_form;  // the same
};

// The two documents of `rows` for the line `line_name` and the train
// `train_code` (the train number is the code without its leading letters:
// "TRN4417" is train 4417).
Documents make_documents(const TrainRows& rows, std::string_view line_name,
                         std::string_view train_code);

// The lines of the two documents, without line ends.
std::vector<std::string> timetable_card_lines(const TrainRows& rows, std::string_view train_code);
std::vector<std::string> slow_order_form_lines(const TrainRows& rows, std::string_view line_name,
                                               std::string_view train_code);

// Width of the card's table lines and of the form's.
inline constexpr size_t kCardTableWidth = 83;
inline constexpr size_t kFormTableWidth = 82;

}  // namespace documents

#endif  // SCENARIO_DOCUMENTS_TRAIN_DOCUMENTS_H_
