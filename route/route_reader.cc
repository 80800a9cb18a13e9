// The route description, as this reader takes it:
//
//   preamble        every field up to the first that holds "[generale]" (any
//                   case); ignored.
//   general section keyword fields and their numbers, up to the first field
//                   that holds "[" and "]" and does not begin with "-":
//                     "lunghezza" + "percorso" (any case)  route length (slot 84)
//                     "progressiva" + "tre"/"due"/"uno"    3 numbers (81/82/83)
//                     "sfondo" + "uno"/"due"/"tre"         1 number (slot 85)
//                     "segnali" + "ripetizione" + "4"/"9"  2 numbers (slot 86)
//                   all but the route length in lower case only.
//   route body      to the end of the file, keywords in any case:
//                     "pendenza"        position, gradient (per mille)
//                     "curva"           position, length; class digit and side
//                                       in the keyword (only with a plan)
//                     "montagna"        start, end, type
//                     "indicatori_v"    position and eight speeds and stripes
//                     "cartello" + "indicat"  position, sign text
//
// Keywords are found by containment. A keyword field holding "-" is passed
// over for the next field, at most ten times in a row in the general section
// and twice in the body; the field reached then is taken as it is. Values are
// read by their row and never passed over. A field that passes no test is
// ignored, headings included.
#include "route/route_reader.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <utility>

#include "model/cell_values.h"
#include "model/compile_errors.h"
#include "model/description_fields.h"
#include "model/description_keywords.h"
#include "model/track_geometry.h"
#include "platform/cp1252.h"
#include "platform/files.h"
#include "platform/rounding.h"
#include "platform/runtime_failure.h"
#include "route/indicator_store.h"
#include "route/mountain_store.h"
#include "route/progressive_ordina.h"
#include "route/track_plan.h"

namespace route {

namespace {

using model::FieldPlace;
using platform::contains;
using platform::contains_nocase;

constexpr model::MinusRule kGeneralMinus{10, false};
constexpr model::MinusRule kBodyMinus{2, true};

// How the route body ended.
enum class BodyEnd {
  kEndOfFile,    // read to the end
  kRangeStop,    // code 15: the tails and the train half still follow
  kCompileError  // an error code that ends the reading; the file is deleted
};

class RouteReading {
 public:
  RouteReading(model::Scenario& s, std::string path)
      : s_(s),
        in_(s, model::Description::kRoute, path, platform::read_description_file(*s.files, path)) {}

  // False after code 102.
  bool skip_preamble();
  // False after codes 1, 3, 4 and 5.
  bool general_section();
  void prepare_body();
  BodyEnd route_body();
  void tails();

  // The description is read whole into memory: closing it is done, so what
  // is left is deleting it.
  void delete_description() { in_.delete_description(); }

  int32_t sign_slot() const { return sign_slot_; }
  bool length_read() const { return length_read_; }

 private:
  void read_keyword() { in_.keyword(); }

  void route_length();
  void progressive(int slot, int row);
  bool signal_repetition(const FieldPlace& keyword_at);

  // The range test of a route-body row's first position: false (code 15)
  // when (p + 100) / 50 lies beyond the last cell.
  bool in_range(int32_t p, const FieldPlace& at);

  void gradient(int32_t p, int32_t g, const FieldPlace& at);
  void write_gradient_at_cursor();
  bool curve(int32_t p, int32_t l, const FieldPlace& at);
  bool route_sign(int32_t p, const FieldPlace& at);

  model::Scenario& s_;
  model::DescriptionFields in_;

  bool length_read_ = false;
  int32_t sign_slot_ = model::kFirstSignSlot;
  int64_t gradient_cursor_ = 0;
  int32_t current_gradient_ = 0;
  // The cell and line of the last gradient row, for the order warning.
  int64_t last_gradient_cell_ = -1;
  int last_gradient_line_ = 0;
  // The line of the curve row that drew the plan up to its cursor, for the
  // overlap warning; 0 before any.
  int plan_drawn_by_line_ = 0;
  // The places of the progressive rows last read into slots 81 .. 83.
  std::array<FieldPlace, 3> progressive_rows_{};
};

bool RouteReading::skip_preamble() {
  // A file without any field (empty, or blanks only) has no heading either:
  // the error names the file as a whole.
  const FieldPlace whole_file{model::Description::kRoute, 0, 0};
  if (in_.at_end()) {
    in_.end_with(model::kNoGeneralSection, whole_file);
    return false;
  }
  for (;;) {
    read_keyword();
    const bool heading = contains_nocase(s_.input_token, "[generale]");
    if (in_.at_end()) {
      in_.end_with(model::kNoGeneralSection, heading ? in_.place() : whole_file);
      return false;
    }
    if (heading) return true;
  }
}

bool RouteReading::general_section() {
  for (;;) {
    if (!in_.next_row(kGeneralMinus, model::RowSection::kRouteGeneral)) return true;
    const std::string& t = s_.input_token;
    bool known = false;

    if (contains_nocase(t, "percorso") && contains_nocase(t, "lunghezza")) {
      known = true;
      s_.item_table[model::kSlotTrainGeneral].area_end = in_.number();
      if (s_.item_table[model::kSlotTrainGeneral].area_end > model::kMaxRouteLength) {
        in_.end_with(model::kRouteTooLong, in_.place());
        return false;
      }
      route_length();
    }
    const std::pair<int, const char*> progressives[] = {{model::kSlotProgressiveThree, "tre"},
                                                        {model::kSlotProgressiveTwo, "due"},
                                                        {model::kSlotProgressiveOne, "uno"}};
    for (int row = 0; row < 3; ++row) {
      const auto& [slot, word] = progressives[row];
      if (contains(t, word) && contains(t, "progressiva")) {
        known = true;
        progressive(slot, row);
      }
    }
    model::ItemRecord& line = s_.item_table[model::kSlotLine];
    const std::pair<int32_t model::ItemRecord::*, const char*> backgrounds[] = {
        {&model::ItemRecord::area_start, "uno"},
        {&model::ItemRecord::item_position, "due"},
        {&model::ItemRecord::area_end, "tre"}};
    for (const auto& [field, word] : backgrounds) {
      if (contains(t, "sfondo") && contains(t, word)) {
        known = true;
        line.*field = in_.number();
      }
    }
    if (contains(t, "segnali") && contains(t, "ripetizione")) {
      known = true;
      if (!signal_repetition(s_.reading_row)) return false;
    }

    std::string_view trimmed = t;
    trimmed.remove_prefix(std::min(trimmed.find_first_not_of(" \t"), trimmed.size()));
    if (contains(t, "[") && contains(t, "]") && !trimmed.starts_with("-")) return true;
    if (!known) in_.check_unknown_row(model::kRouteGeneralKeywords, "general section of the route");
  }
}

void RouteReading::progressive(int slot, int row) {
  model::ItemRecord& item = s_.item_table[static_cast<size_t>(slot)];
  item.area_start = in_.number();
  const FieldPlace start_at = in_.place();
  item.area_end = in_.number();
  const FieldPlace value_at = in_.place();
  item.item_position = in_.number();
  FieldPlace& fault = progressive_rows_[static_cast<size_t>(row)];
  fault = {};
  if (item.area_start % 50 != 0)
    fault = start_at;
  else if (item.area_end % 50 != 0)
    fault = value_at;
}

// Sizes the track (and the plan) afresh from the route length just read.
// A length that gives no track or no plan fails before anything is resized:
// the track, the plan, cell_count and total_length of an earlier length row
// then stay together as they were.
//
// A description may hold any number of these rows. Each starts the track and
// the plan afresh without re-filling them: their storage is kept and only
// what was written since their last start is cleared (model/reusable_vector.h),
// which in the general section is nothing. A row costs the same small time
// whatever its length.
void RouteReading::route_length() {
  const int32_t total_length = platform::to_int32(
      int64_t{s_.item_table[model::kSlotTrainGeneral].area_end} + model::kSpareTrack);
  const int32_t cell_count = platform::to_int32(model::track_cell_count(total_length));
  if (cell_count < 0) {
    throw platform::RuntimeFailure(platform::kSubscriptOutOfRange,
                                   "track of " + std::to_string(cell_count) + " cells");
  }
  if (s_.write_line_file != 0 && total_length < 0) {
    throw platform::RuntimeFailure(platform::kSubscriptOutOfRange,
                                   "track plan of " + std::to_string(total_length) + " m");
  }
  s_.total_length = total_length;
  s_.start_track(cell_count);
  if (s_.write_line_file != 0) create_track_plan(s_);
  length_read_ = true;
}

bool RouteReading::signal_repetition(const FieldPlace& keyword_at) {
  model::ItemRecord& train = s_.item_table[model::kSlotTrain];
  train.area_start = in_.number();
  const FieldPlace first_at = in_.place();
  train.area_end = in_.number();
  if (train.area_start % 50 != 0) {
    in_.end_with(model::kRepetitionFirstNotWhole, first_at);
    return false;
  }
  if (train.area_end % 50 != 0) {
    in_.end_with(model::kRepetitionSecondNotWhole, in_.place());
    return false;
  }
  if (contains(s_.input_token, "4")) {
    train.item_position = 4;
  } else if (contains(s_.input_token, "9")) {
    train.item_position = 9;
  } else {
    in_.end_with(model::kRepetitionNoCount, keyword_at);
    return false;
  }
  if (train.area_end == 0) train.item_position = 0;
  return true;
}

void RouteReading::prepare_body() {
  // Error 2 is found after both descriptions are read, on the ordered
  // records; ordering only swaps whole rows (or clears all three), so the
  // first row read with a value off the 50 m grid is the one to name.
  s_.progressive_fault = {};
  for (const FieldPlace& row : progressive_rows_) {
    if (row.line > 0 && (s_.progressive_fault.line == 0 || row.line < s_.progressive_fault.line)) {
      s_.progressive_fault = row;
    }
  }
  progressive_ordina(s_);
  s_.mountain_count = 0;
  sign_slot_ = model::kFirstSignSlot;
  s_.signs_read = 0;
  gradient_cursor_ = 0;
  plan_drawn_by_line_ = 0;
  if (s_.write_line_file != 0) plan_start(s_);
}

BodyEnd RouteReading::route_body() {
  for (;;) {
    if (!in_.next_row(kBodyMinus, model::RowSection::kRouteBody)) return BodyEnd::kEndOfFile;
    // A sign row reads its text into input_token: test on the keyword.
    const std::string t = s_.input_token;
    bool known = false;

    if (contains_nocase(t, "pendenza")) {
      known = true;
      const int32_t p = in_.number();
      const FieldPlace at = in_.place();
      const int32_t g = in_.number();
      if (!in_range(p, at)) return BodyEnd::kRangeStop;
      in_.check_low_bits(in_.place(), "gradient " + std::to_string(g), g,
                         model::gradient_of(model::gradient_code_of(g)));
      gradient(p, g, at);
    }
    if (contains_nocase(t, "curva")) {
      known = true;
      if (s_.write_line_file != 0) {
        const int32_t p = in_.number();
        const FieldPlace at = in_.place();
        const int32_t l = in_.number();
        if (!in_range(p, at)) return BodyEnd::kRangeStop;
        if (!curve(p, l, at)) return BodyEnd::kCompileError;
      }
    }
    if (contains_nocase(t, "montagna")) {
      known = true;
      const int32_t inizio = in_.number();
      const FieldPlace at = in_.place();
      const int32_t fine = in_.number();
      const int32_t tipo = in_.number();
      if (!in_range(inizio, at)) return BodyEnd::kRangeStop;
      // A type above 10 asks for markers and is stored less 10.
      const int64_t type = tipo > 10 ? int64_t{tipo} - 10 : tipo;
      in_.check_low_bits(in_.place(),
                         tipo > 10
                             ? "mountain type " + std::to_string(type) + " (" +
                                   std::to_string(tipo) + " less the 10 that asks for markers)"
                             : "mountain type " + std::to_string(type),
                         type, platform::low8(type));
      memo_montagna(s_, inizio, fine, tipo);
    }
    if (contains_nocase(t, "indicatori_v")) {
      known = true;
      IndicatorRow row;
      row.posizione = in_.number();
      const FieldPlace at = in_.place();
      for (int32_t* field : {&row.vas, &row.vbs, &row.vcs, &row.strisces, &row.vad, &row.vbd,
                             &row.vcd, &row.strisced}) {
        *field = in_.number();
      }
      if (!in_range(row.posizione, at)) return BodyEnd::kRangeStop;
      if (!memo_indicatori_v_max(s_, row)) {
        in_.end_with(model::kIndicatorCellTaken, row.posizione, at);
        return BodyEnd::kCompileError;
      }
    }
    if (contains_nocase(t, "indicat") && contains_nocase(t, "cartello")) {
      known = true;
      const int32_t p = in_.number();
      const FieldPlace at = in_.place();
      s_.input_token = in_.text();
      if (!in_range(p, at)) return BodyEnd::kRangeStop;
      if (in_.text_cut_at_comma()) {
        in_.warn(model::WarningId::kSignComma, in_.place(),
                 "the sign text \"" + s_.input_token +
                     "\" ends at a comma: the rest of its line is read as further fields; put "
                     "the whole text in double quotes to keep the comma");
      }
      if (!route_sign(p, at)) return BodyEnd::kCompileError;
    }
    if (!known) in_.check_unknown_row(model::kRouteBodyKeywords, "route body");
  }
}

bool RouteReading::in_range(int32_t p, const FieldPlace& at) {
  if (in_.within_track(p, model::kRowRoom)) return true;
  in_.stop_beyond_track(p, at);
  return false;
}

// A gradient holds from its row's cell up to the cell before the next row's.
void RouteReading::gradient(int32_t p, int32_t g, const FieldPlace& at) {
  const int64_t c = model::row_cell(p);
  if (c < last_gradient_cell_) {
    in_.warn(model::WarningId::kGradientOrder, at,
             "gradient row at " + std::to_string(p) + " m (cell " + std::to_string(c) +
                 ") lies behind the previous gradient row's cell " +
                 std::to_string(last_gradient_cell_) + " (line " +
                 std::to_string(last_gradient_line_) +
                 "): rows are taken in file order, and a row behind the last one sets one "
                 "cell only");
  }
  last_gradient_cell_ = c;
  last_gradient_line_ = at.line;
  if (c > 0) {
    // At least one cell, even for a row at or behind the cursor.
    do {
      write_gradient_at_cursor();
    } while (gradient_cursor_ < c && gradient_cursor_ < s_.cell_count);
  }
  current_gradient_ = g;
}

void RouteReading::write_gradient_at_cursor() {
  s_.cell(gradient_cursor_).gradient_code = model::gradient_code_of(current_gradient_);
  // The cursor stops at the last cell: rows behind it advance it one cell each.
  if (gradient_cursor_ < s_.cell_count) ++gradient_cursor_;
}

bool RouteReading::curve(int32_t p, int32_t l, const FieldPlace& at) {
  const std::optional<double> k = curve_heading_change(s_.input_token);
  const int32_t cursor = s_.track_plan.cursor;
  if (!k || !plan_curve(s_, p, l, *k)) {
    in_.end_with(model::kBadCurve, s_.reading_row);
    return false;
  }
  // The arc is points p + 1 .. p + l; the plan is drawn once, in file order,
  // so the points an earlier row drew stay as they are.
  const int64_t arc_last = int64_t{p} + l;
  if (l > 0 && int64_t{p} + 1 < cursor && plan_drawn_by_line_ > 0) {
    const int64_t lost = std::min<int64_t>(cursor - 1, arc_last) - p;
    const std::string share =
        lost == l ? "none of its " + std::to_string(l) + " m of arc is"
                  : std::to_string(lost) + " of its " + std::to_string(l) + " m of arc are not";
    in_.warn(model::WarningId::kCurveOverlap, at,
             "curve row at " + std::to_string(p) + " m overlaps the curve row on line " +
                 std::to_string(plan_drawn_by_line_) + ", which drew the plan up to " +
                 std::to_string(cursor - 1) + " m: " + share +
                 " drawn, as each metre of the plan is drawn once, by the first row that "
                 "reaches it");
  }
  if (s_.track_plan.cursor > cursor) plan_drawn_by_line_ = s_.reading_row.line;
  return true;
}

bool RouteReading::route_sign(int32_t p, const FieldPlace& at) {
  model::TrackCell& cell = s_.cell(model::item_cell(p));
  if (!cell.is_free()) {
    model::note_taken_cell(s_, model::item_cell(p));
    in_.end_with(model::kSignCellTaken, p, at);
    return false;
  }
  // Signs fill slots 80 downward; slot 0 is never filled.
  if (sign_slot_ < 1) {
    throw platform::RuntimeFailure(platform::kSubscriptOutOfRange,
                                   kSignSlotFailure + std::to_string(sign_slot_));
  }
  cell.kind = model::kRouteSign;
  model::note_placement(s_, model::item_cell(p));
  cell.value1 = platform::to_int16(sign_slot_);
  s_.item_table[static_cast<size_t>(sign_slot_)].item_name = s_.input_token;
  --sign_slot_;
  s_.signs_read = model::kFirstSignSlot - sign_slot_;
  return true;
}

void RouteReading::tails() {
  const int64_t gradient_end = int64_t{s_.cell_count} - 2;
  do {
    write_gradient_at_cursor();
  } while (gradient_cursor_ < gradient_end && gradient_cursor_ < s_.cell_count);
  if (s_.write_line_file != 0) plan_tail(s_);
}

}  // namespace

RouteOutcome read_route_description(model::Scenario& s) {
  RouteOutcome outcome;
  s.item_table[model::kSlotLine].item_name = s.line_name;
  s.item_table[model::kSlotTrain].item_name = s.train_code;

  const std::string name = model::route_description_name(s);
  const std::string path = platform::join_path(s.app_path, name);
  if (!platform::description_exists(*s.files, path)) {
    model::ErrorSite site;
    site.field.description = model::Description::kRoute;
    model::record_error(s, model::kNoRouteDescription, site);
    return outcome;
  }
  s.reading = {model::Description::kRoute, 0, 0};
  s.reading_row = {};
  s.reading_row_keyword.clear();
  s.reading_values = 0;
  RouteReading reading(s, path);

  if (!reading.skip_preamble()) return outcome;
  if (!reading.general_section()) return outcome;
  if (!reading.length_read()) {
    // Every later step needs the track: a description without a route
    // length is a reading failure.
    throw platform::RuntimeFailure(platform::kSubscriptOutOfRange, kNoRouteLengthFailure);
  }
  reading.prepare_body();
  if (reading.route_body() == BodyEnd::kCompileError) return outcome;

  reading.delete_description();
  reading.tails();
  outcome.read_train = true;
  outcome.sign_slot = reading.sign_slot();
  return outcome;
}

}  // namespace route
