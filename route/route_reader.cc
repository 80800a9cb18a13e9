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
#include <optional>
#include <string>
#include <utility>

#include "platform/cp1252.h"
#include "platform/field_reader.h"
#include "platform/files.h"
#include "platform/rounding.h"
#include "platform/runtime_failure.h"
#include "route/mountain_indicator_store.h"
#include "route/progressive_ordina.h"
#include "route/track_plan.h"

namespace route {

namespace {

using platform::contains;
using platform::contains_nocase;

constexpr int32_t kMaxRouteLength = 1000000;
// The track runs on this far past the end of the line.
constexpr int32_t kSpareTrack = 7000;
constexpr int kGeneralMinusLimit = 10;
constexpr int kBodyMinusLimit = 2;

// The fields of the description, each read noting where reading stands for
// an author's message.
class RouteFields {
 public:
  RouteFields(model::Scenario& s, std::string bytes) : s_(s), in_(std::move(bytes)) {}

  std::string text() {
    Note note{*this};
    return in_.read_text();
  }
  int32_t number() {
    Note note{*this};
    return in_.read_number();
  }
  bool at_end() const { return in_.at_end(); }

 private:
  // Records the line also when the read fails inside its field.
  struct Note {
    RouteFields& f;
    ~Note() { f.s_.reading_line = f.in_.line(); }
  };

  model::Scenario& s_;
  platform::FieldReader in_;
};

// How the route body ended.
enum class BodyEnd {
  kEndOfFile,    // read to the end
  kRangeStop,    // code 15: the tails and the train half still follow
  kCompileError  // an error code that ends the reading; the file is deleted
};

class RouteReading {
 public:
  RouteReading(model::Scenario& s, std::string path)
      : s_(s), path_(std::move(path)), in_(s, platform::read_description_file(*s.files, path_)) {}

  // False after code 102.
  bool skip_preamble();
  // False after codes 1, 3, 4 and 5.
  bool general_section();
  void prepare_body();
  BodyEnd route_body();
  void tails();

  // The description is read whole into memory: closing it is done, so what
  // is left is deleting it.
  void delete_description() { s_.files->delete_file(path_); }

  int32_t sign_slot() const { return sign_slot_; }
  bool length_read() const { return length_read_; }

 private:
  void read_keyword() { s_.input_token = in_.text(); }
  // Ends the reading with `code`.
  void fail(int32_t code) {
    delete_description();
    s_.error_code = code;
  }
  void fail_at(int32_t code, int32_t position) {
    fail(code);
    s_.error_position = position;
  }

  void route_length();
  bool signal_repetition();

  // The range test of a route-body row's first position: false (code 15)
  // when (p + 100) / 50 lies beyond the last cell.
  bool in_range(int32_t p);

  void gradient(int32_t p, int32_t g);
  void write_gradient_at_cursor();
  bool curve(int32_t p, int32_t l);
  bool route_sign(int32_t p);

  model::Scenario& s_;
  std::string path_;
  RouteFields in_;

  bool length_read_ = false;
  int32_t sign_slot_ = model::kFirstSignSlot;
  int64_t gradient_cursor_ = 0;
  int32_t current_gradient_ = 0;
};

bool RouteReading::skip_preamble() {
  // A file without any field (empty, or blanks only) has no heading either.
  if (in_.at_end()) {
    fail(102);
    return false;
  }
  for (;;) {
    read_keyword();
    if (in_.at_end()) {
      fail(102);
      return false;
    }
    if (contains_nocase(s_.input_token, "[generale]")) return true;
  }
}

bool RouteReading::general_section() {
  for (;;) {
    if (in_.at_end()) return true;
    read_keyword();
    if (in_.at_end()) return true;
    for (int i = 0; i < kGeneralMinusLimit && contains(s_.input_token, "-"); ++i) read_keyword();
    const std::string& t = s_.input_token;

    if (contains_nocase(t, "percorso") && contains_nocase(t, "lunghezza")) {
      s_.item_table[model::kSlotTrainGeneral].area_end = in_.number();
      if (s_.item_table[model::kSlotTrainGeneral].area_end > kMaxRouteLength) {
        fail(1);
        return false;
      }
      route_length();
    }
    const std::pair<int, const char*> progressives[] = {{model::kSlotProgressiveTre, "tre"},
                                                        {model::kSlotProgressiveDue, "due"},
                                                        {model::kSlotProgressiveUno, "uno"}};
    for (const auto& [slot, word] : progressives) {
      if (contains(t, word) && contains(t, "progressiva")) {
        model::ItemRecord& item = s_.item_table[static_cast<size_t>(slot)];
        item.area_start = in_.number();
        item.area_end = in_.number();
        item.item_position = in_.number();
      }
    }
    model::ItemRecord& line = s_.item_table[model::kSlotLine];
    if (contains(t, "sfondo") && contains(t, "uno")) line.area_start = in_.number();
    if (contains(t, "sfondo") && contains(t, "due")) line.item_position = in_.number();
    if (contains(t, "sfondo") && contains(t, "tre")) line.area_end = in_.number();
    if (contains(t, "segnali") && contains(t, "ripetizione") && !signal_repetition()) return false;

    std::string_view trimmed = t;
    trimmed.remove_prefix(std::min(trimmed.find_first_not_of(" \t"), trimmed.size()));
    if (contains(t, "[") && contains(t, "]") && !trimmed.starts_with("-")) return true;
  }
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
  const int32_t total_length =
      platform::to_int32(int64_t{s_.item_table[model::kSlotTrainGeneral].area_end} + kSpareTrack);
  const int32_t cell_count = platform::round_to_int32(total_length / 50.0);
  if (cell_count < 0) {
    throw platform::RuntimeFailure(platform::kSubscriptOutOfRange,
                                   "track of " + std::to_string(cell_count) + " cells");
  }
  if (s_.write_line_file != 0 && total_length < 0) {
    throw platform::RuntimeFailure(platform::kSubscriptOutOfRange,
                                   "track plan of " + std::to_string(total_length) + " m");
  }
  s_.total_length = total_length;
  s_.cell_count = cell_count;
  s_.track.restart(static_cast<size_t>(s_.cell_count) + 1);
  s_.track_allocated = true;
  if (s_.write_line_file != 0) create_track_plan(s_);
  length_read_ = true;
}

bool RouteReading::signal_repetition() {
  model::ItemRecord& train = s_.item_table[model::kSlotTrain];
  train.area_start = in_.number();
  train.area_end = in_.number();
  if (train.area_start % 50 != 0) {
    fail(3);
    return false;
  }
  if (train.area_end % 50 != 0) {
    fail(4);
    return false;
  }
  if (contains(s_.input_token, "4")) {
    train.item_position = 4;
  } else if (contains(s_.input_token, "9")) {
    train.item_position = 9;
  } else {
    fail(5);
    return false;
  }
  if (train.area_end == 0) train.item_position = 0;
  return true;
}

void RouteReading::prepare_body() {
  progressive_ordina(s_);
  s_.mountain_count = 0;
  sign_slot_ = model::kFirstSignSlot;
  gradient_cursor_ = 0;
  if (s_.write_line_file != 0) plan_start(s_);
}

BodyEnd RouteReading::route_body() {
  for (;;) {
    if (in_.at_end()) return BodyEnd::kEndOfFile;
    read_keyword();
    if (in_.at_end()) return BodyEnd::kEndOfFile;
    for (int i = 0; i < kBodyMinusLimit && contains(s_.input_token, "-"); ++i) {
      read_keyword();
      if (in_.at_end()) return BodyEnd::kEndOfFile;
    }
    // A sign row reads its text into input_token: test on the keyword.
    const std::string t = s_.input_token;

    if (contains_nocase(t, "pendenza")) {
      const int32_t p = in_.number();
      const int32_t g = in_.number();
      if (!in_range(p)) return BodyEnd::kRangeStop;
      gradient(p, g);
    }
    if (contains_nocase(t, "curva") && s_.write_line_file != 0) {
      const int32_t p = in_.number();
      const int32_t l = in_.number();
      if (!in_range(p)) return BodyEnd::kRangeStop;
      if (!curve(p, l)) return BodyEnd::kCompileError;
    }
    if (contains_nocase(t, "montagna")) {
      const int32_t inizio = in_.number();
      const int32_t fine = in_.number();
      const int32_t tipo = in_.number();
      if (!in_range(inizio)) return BodyEnd::kRangeStop;
      memo_montagna(s_, inizio, fine, tipo);
    }
    if (contains_nocase(t, "indicatori_v")) {
      int32_t v[9];
      for (int32_t& value : v) value = in_.number();
      if (!in_range(v[0])) return BodyEnd::kRangeStop;
      if (!memo_indicatori_v_max(s_, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8])) {
        fail_at(21, v[0]);
        return BodyEnd::kCompileError;
      }
    }
    if (contains_nocase(t, "indicat") && contains_nocase(t, "cartello")) {
      const int32_t p = in_.number();
      s_.input_token = in_.text();
      if (!in_range(p)) return BodyEnd::kRangeStop;
      if (!route_sign(p)) return BodyEnd::kCompileError;
    }
  }
}

bool RouteReading::in_range(int32_t p) {
  if (int64_t{p} + 100 <= int64_t{50} * s_.cell_count) return true;
  s_.error_code = 15;
  s_.error_position = p;
  return false;
}

// A gradient holds from its row's cell up to the cell before the next row's.
void RouteReading::gradient(int32_t p, int32_t g) {
  const double c = platform::round_half_even(p / 50.0);
  if (c > 0) {
    // At least one cell, even for a row at or behind the cursor.
    do {
      write_gradient_at_cursor();
    } while (gradient_cursor_ < c && gradient_cursor_ < s_.cell_count);
  }
  current_gradient_ = g;
}

void RouteReading::write_gradient_at_cursor() {
  s_.cell(gradient_cursor_).gradient_code = platform::low8(int64_t{current_gradient_} + 100);
  // The cursor stops at the last cell: rows behind it advance it one cell each.
  if (gradient_cursor_ < s_.cell_count) ++gradient_cursor_;
}

bool RouteReading::curve(int32_t p, int32_t l) {
  const std::optional<double> k = curve_heading_change(s_.input_token);
  if (!k || !plan_curve(s_, p, l, *k)) {
    fail(103);
    return false;
  }
  return true;
}

bool RouteReading::route_sign(int32_t p) {
  model::TrackCell& cell = s_.cell(static_cast<int64_t>(platform::round_half_even(p / 50.0 + 1.0)));
  if (!cell.is_free()) {
    fail_at(6, p);
    return false;
  }
  // Signs fill slots 80 downward; slot 0 is never filled.
  if (sign_slot_ < 1) {
    throw platform::RuntimeFailure(platform::kSubscriptOutOfRange,
                                   "route sign slot " + std::to_string(sign_slot_));
  }
  cell.kind = model::kRouteSign;
  cell.value1 = platform::to_int16(sign_slot_);
  s_.item_table[static_cast<size_t>(sign_slot_)].item_name = s_.input_token;
  --sign_slot_;
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
  if (!platform::file_exists(*s.files, path)) {
    s.error_code = 101;
    return outcome;
  }
  s.reading_file = name;
  s.reading_line = 0;
  RouteReading reading(s, path);

  if (!reading.skip_preamble()) return outcome;
  if (!reading.general_section()) return outcome;
  if (!reading.length_read()) {
    // Every later step needs the track: a description without a route
    // length is a reading failure.
    throw platform::RuntimeFailure(platform::kSubscriptOutOfRange, "no route length row");
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
