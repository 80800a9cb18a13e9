// The train description, "<line>_<train>-.txt", as this reader takes it.
//
// The text is a stream of fields cut by platform::FieldReader. Every field up
// to the first one that contains "[generale]" is skipped. After it, rows are
// a keyword field and the numbers it calls for; keywords are found by
// containment, ignoring case, and tested in this order (a field may match
// several, each then reading its own numbers):
//   "frenata" and "massa"  braked-mass percentage          -> slot 84 area_start
//   "vetture"              number of cars                  -> slot 84 item_position
//   "velocit"              position, speed limit           -> speed_code of the cells
//   "aderenza"             position, adhesion              -> adhesion_code of the cells
//   "orologio"             hours, minutes, seconds (16 bit) -> slot 86 item_word3..5
//   "sabbia"               sand value (16 bit)             -> slot 86 item_word1
//   "segnale"              11 numbers                      -> memo_segnale
//   "rallentamento"        6 numbers                       -> memo_rallentamento
//   "abbattimento"         position, value                 -> a kind 12 or 13 cell
//   "stazione"             16 numbers and the name         -> the next station slot
// A field that matches nothing is passed over: section headings are inert, and
// so are the numbers of an unknown row, each taken as a keyword field in turn.
// A keyword field holding "-" is replaced by the next field, at most twice in a
// row. A keyword field that is the last field of the text is not acted on.
//
// Positions are metres from the origin. A speed, adhesion or "abbattimento"
// position p is cell round(p / 50); signals and slowdowns are placed by
// train/signal_slowdown_store.h. A row is refused (error 15, and the rows end)
// when p + 100 lies past the last cell's 50 * cell_count metres; a station
// needs p + 800 within it, a slowdown its end x + l + 50, and a station its
// stop cell at or before cell_count.
//
// A speed or adhesion row fills the cells from the last one filled up to the
// cell before its own with the value in force, then sets its value in force;
// after the rows, the values in force run on to cell cell_count - 3.
#include "train/train_reader.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "model/cell_values.h"
#include "model/compile_errors.h"
#include "model/description_fields.h"
#include "model/description_keywords.h"
#include "model/item_views.h"
#include "model/track_geometry.h"
#include "platform/cp1252.h"
#include "platform/files.h"
#include "platform/rounding.h"
#include "platform/runtime_failure.h"
#include "train/signal_slowdown_store.h"

namespace train {

StationArea station_area(int32_t position, int kind, int32_t length, bool widened) {
  const int64_t pos = position;
  if (kind == 5 || kind == 6) return {pos - length, pos + 150};
  if (kind == 7 || kind == 8) return {pos - length, pos + length};
  const auto start = static_cast<int64_t>(platform::round_half_even(pos - length / 2.0));
  const auto end = static_cast<int64_t>(platform::round_half_even(pos + length / 2.0));
  return {start, end + (widened ? 50 : 0)};
}

namespace {

// Station kinds from this one on have a record but no cells on the track.
constexpr int kFirstUnmarkedStationKind = 25;

// What a row leaves the reading to do next.
enum class Next {
  kRow,        // read the next row
  kEndOfRows,  // end of the text, or a code 15 stop: complete the profiles
  kEndStage,   // a failure that ends the reading; the text is already deleted
};

using model::FieldPlace;

constexpr model::MinusRule kRowMinus{2, true};

class TrainReading {
 public:
  TrainReading(model::Scenario& s, int32_t sign_slot)
      : s_(s),
        name_(model::train_description_name(s)),
        path_(platform::join_path(s.app_path, name_)),
        // A missing description fails here, before anything is stored.
        fields_(s, model::Description::kTrain, path_,
                platform::read_description_file(*s.files, path_)),
        n_(s.cell_count),
        // Stations never reach past the sign slots, whatever the route says.
        sign_slot_(std::min<int32_t>(sign_slot, model::kFirstSignSlot)) {}

  void run() {
    const bool general = skip_preamble();
    if (!general) {
      fields_.warn(model::WarningId::kNoTrain, {model::Description::kTrain, 0, 0},
                   "the train description has no \"[generale]\" field: none of its rows is "
                   "read, and every cell's speed limit and adhesion are 0");
    }
    const FieldPlace general_at = fields_.place();
    const Next next = rows();
    if (general && !any_row_ && next != Next::kEndStage) {
      fields_.warn(model::WarningId::kNoTrain, general_at,
                   "the train description has no row after \"[generale]\": every cell's speed "
                   "limit and adhesion are 0");
    }
    if (next == Next::kEndStage) return;
    end_of_rows();
    check_progressives();
  }

 private:
  // True at "[generale]"; false when the text ends without it.
  bool skip_preamble() {
    while (!fields_.at_end()) {
      if (platform::contains_nocase(fields_.keyword(), "[generale]")) return true;
    }
    return false;
  }

  Next rows() {
    for (;;) {
      if (!fields_.next_row(kRowMinus, model::RowSection::kTrain)) return Next::kEndOfRows;
      // A station row reads its name into input_token: test on the keyword.
      const std::string t = s_.input_token;
      Next next = act_on(t);
      if (next != Next::kRow) return next;
    }
  }

  // Every test is made on the field; each one that matches reads its row.
  Next act_on(std::string_view t) {
    using platform::contains_nocase;
    bool known = false;
    if (contains_nocase(t, "frenata") && contains_nocase(t, "massa")) {
      known = any_row_ = true;
      s_.item_table[model::kSlotTrainGeneral].area_start = fields_.number();
    }
    if (contains_nocase(t, "vetture")) {
      known = any_row_ = true;
      s_.item_table[model::kSlotTrainGeneral].item_position = fields_.number();
    }
    if (contains_nocase(t, "velocit")) {
      known = any_row_ = true;
      if (Next next = speed_limit_row(); next != Next::kRow) return next;
    }
    if (contains_nocase(t, "aderenza")) {
      known = any_row_ = true;
      if (Next next = adhesion_row(); next != Next::kRow) return next;
    }
    if (contains_nocase(t, "orologio")) {
      known = any_row_ = true;
      model::ItemRecord& train = s_.item_table[model::kSlotTrain];
      train.item_word3 = fields_.short_number();
      train.item_word4 = fields_.short_number();
      train.item_word5 = fields_.short_number();
    }
    if (contains_nocase(t, "sabbia")) {
      known = any_row_ = true;
      s_.item_table[model::kSlotTrain].item_word1 = fields_.short_number();
    }
    if (contains_nocase(t, "segnale")) {
      known = any_row_ = true;
      if (Next next = signal_row(); next != Next::kRow) return next;
    }
    if (contains_nocase(t, "rallentamento")) {
      known = any_row_ = true;
      if (Next next = slowdown_row(); next != Next::kRow) return next;
    }
    if (contains_nocase(t, "abbattimento")) {
      known = any_row_ = true;
      if (Next next = abbattimento_row(); next != Next::kRow) return next;
    }
    if (contains_nocase(t, "stazione")) {
      known = any_row_ = true;
      if (Next next = station_row(); next != Next::kRow) return next;
    }
    if (!known) fields_.check_unknown_row(model::kTrainKeywords, "train description");
    return Next::kRow;
  }

  // The range test of a row at `metres`, whose cells need the track to run
  // `room` metres past it.
  bool beyond_track(int64_t metres, int64_t room) const {
    return !fields_.within_track(metres, room);
  }
  Next stop_beyond_track(int32_t position, const FieldPlace& at) {
    fields_.stop_beyond_track(position, at);
    return Next::kEndOfRows;
  }
  // A failure that ends the reading: the text goes, the profiles stay as far
  // as they were filled.
  Next end_stage(int code, const FieldPlace& at) {
    fields_.end_with(code, at);
    return Next::kEndStage;
  }
  Next end_stage(int code, int32_t position, const FieldPlace& at) {
    fields_.end_with(code, position, at);
    return Next::kEndStage;
  }

  // A speed or adhesion row at cell w: the value in force goes into the cells
  // from `next` up to the cell before w, and into at least one cell even when
  // `next` has already reached w; never past the last cell.
  template <typename Store>
  void fill_up_to(int64_t w, int32_t& next, Store store) {
    if (w <= 0) return;
    do {
      if (next >= n_) break;
      store(s_.cell(next));
      ++next;
    } while (next < w);
  }

  Next speed_limit_row() {
    const int32_t p = fields_.number();
    const FieldPlace at = fields_.place();
    const int32_t v = fields_.number();
    const FieldPlace v_at = fields_.place();
    if (beyond_track(p, model::kRowRoom)) return stop_beyond_track(p, at);
    check_speed_step(v_at, v);
    // The speed code is checked only where a cell receives it.
    blaming_speed_row([&] {
      fill_up_to(model::row_cell(p), next_speed_cell_, [this](model::TrackCell& c) {
        c.speed_code = model::speed_code_of(speed_in_force_);
      });
    });
    speed_in_force_ = v;
    speed_row_ = s_.reading_row;
    speed_row_keyword_ = s_.reading_row_keyword;
    return Next::kRow;
  }

  // A limit between two steps of 5 km/h is stored as the nearer step. One
  // that fits no speed code is left to the fill that stores it (error 25).
  void check_speed_step(const FieldPlace& at, int32_t v) {
    if (v % model::kSpeedStep == 0) return;
    const double code = platform::round_half_even(static_cast<double>(v) / model::kSpeedStep);
    if (code < 0 || code > 255) return;
    fields_.warn(model::WarningId::kSpeedRounded, at,
                 "speed limit " + std::to_string(v) + " km/h is not a multiple of " +
                     std::to_string(model::kSpeedStep) + ": the cells keep limits in steps of " +
                     std::to_string(model::kSpeedStep) + " km/h, and it is stored as " +
                     std::to_string(model::speed_limit_of(static_cast<uint8_t>(code))) + " km/h");
  }

  // Runs `fill`, which stores the speed limit in force into cells; when the
  // limit does not fit its byte, the failure is the row's that gave it, not
  // the row being read: the trap of memorizza_dati names that one.
  template <typename Fill>
  void blaming_speed_row(Fill fill) {
    try {
      fill();
    } catch (const platform::RuntimeFailure& failure) {
      if (failure.number() == platform::kOverflow && speed_row_.line > 0) {
        s_.reading_row = speed_row_;
        s_.reading_row_keyword = speed_row_keyword_;
        s_.reading_section = model::RowSection::kTrain;
        s_.reading_values = kLimitValue + 1;
        s_.reading_late_value = speed_in_force_;
      }
      throw;
    }
  }

  Next adhesion_row() {
    const int32_t p = fields_.number();
    const FieldPlace at = fields_.place();
    const int32_t a = fields_.number();
    if (beyond_track(p, model::kRowRoom)) return stop_beyond_track(p, at);
    fields_.check_low_bits(fields_.place(), "adhesion " + std::to_string(a), a,
                           model::adhesion_of(model::adhesion_code_of(a)));
    const uint8_t code = model::adhesion_code_of(adhesion_in_force_);
    fill_up_to(model::row_cell(p), next_adhesion_cell_,
               [code](model::TrackCell& c) { c.adhesion_code = code; });
    adhesion_in_force_ = a;
    return Next::kRow;
  }

  Next signal_row() {
    SignalRow row;
    row.posizione = fields_.number();
    const FieldPlace at = fields_.place();
    for (int32_t* field : {&row.sx, &row.s1, &row.s2, &row.s3, &row.rapp, &row.dx, &row.d1, &row.d2,
                           &row.d3, &row.tempo}) {
      *field = fields_.number();
    }
    if (beyond_track(row.posizione, model::kRowRoom)) return stop_beyond_track(row.posizione, at);
    // A signal time is kept only when sx is 2, in a byte.
    if (row.sx == 2 && (row.tempo < 0 || row.tempo > 255)) {
      fields_.check_low_bits(fields_.place(), "signal time " + std::to_string(row.tempo), row.tempo,
                             platform::low8(row.tempo));
    }
    // Only the call's own failure ends the reading: a code 15 left by the
    // route stays in error_code and must not stop the train's rows.
    if (!memo_segnale(s_, row)) return end_stage(s_.error_code, row.posizione, at);
    return Next::kRow;
  }

  Next slowdown_row() {
    SlowdownRow row;
    row.x = fields_.number();
    const FieldPlace at = fields_.place();
    for (int32_t* field : {&row.v, &row.l, &row.f_tt, &row.f_ta, &row.d_v}) {
      *field = fields_.number();
    }
    if (beyond_track(row.x, model::kRowRoom)) return stop_beyond_track(row.x, at);
    // Its end cell round((x + l) / 50 + 1) must lie on the track too.
    if (beyond_track(int64_t{row.x} + row.l, 50)) return stop_beyond_track(row.x, at);
    if (!memo_rallentamento(s_, row)) return end_stage(s_.error_code, row.x, at);
    return Next::kRow;
  }

  Next abbattimento_row() {
    const int32_t p = fields_.number();
    const FieldPlace at = fields_.place();
    const int32_t n = fields_.number();
    if (beyond_track(p, model::kRowRoom)) return stop_beyond_track(p, at);
    model::TrackCell& cell = s_.cell(model::row_cell(p));
    if (!cell.is_free()) {
      model::note_taken_cell(s_, model::row_cell(p));
      return end_stage(model::kSpeedMarkCellTaken, p, at);
    }
    if (n >= 1) {
      fields_.check_low_bits(fields_.place(), "\"abbattimento\" value " + std::to_string(n), n,
                             platform::low16(n));
    }
    if (n < 1) {
      cell.kind = model::kSpeedMarkWithoutValue;
    } else {
      cell.kind = model::kSpeedMark;
      cell.value1 = platform::low16(n);
    }
    model::note_placement(s_, model::row_cell(p));
    return Next::kRow;
  }

  Next station_row() {
    const int k = next_station_slot_;
    // Eighty route signs take slot 1 too: a station there would overwrite a
    // sign's text, so it is refused before anything of it is stored.
    const FieldPlace row_at = s_.reading_row;
    if (k > sign_slot_) return end_stage(model::kTooManyStations, row_at);
    model::ItemRecord& station = s_.item_table[static_cast<size_t>(k)];
    const int32_t pos = fields_.number();
    const FieldPlace at = fields_.place();
    station.item_position = pos;
    if (beyond_track(pos, model::kStationRoom)) return stop_beyond_track(pos, at);
    if (pos % 50 != 0) return end_stage(model::kStationNotWhole, pos, at);

    station.item_kind = fields_.byte_number();
    const int32_t length = fields_.number();
    if (length % 100 != 0) return end_stage(model::kStationLengthNotWhole, pos, fields_.place());

    // Fields 4 to 17, each stored as it is read: a row cut short keeps in
    // its record what it gave, and the station file shows it.
    station.item_flag = fields_.byte_number();    // 4: flag
    station.item_byte4 = fields_.byte_number();   // 5: flag (kept from 600 m of length)
    station.item_byte3 = fields_.byte_number();   // 6: flag (may add 50 m to the area)
    station.item_word1 = fields_.short_number();  // 7: value
    station.item_word2 = fields_.short_number();  // 8: value
    station.item_byte1 = fields_.byte_number();   // 9: flag
    station.item_word3 = fields_.short_number();  // 10: value
    station.item_word4 = fields_.short_number();  // 11: value
    station.item_word5 = fields_.short_number();  // 12: value
    station.item_byte2 = fields_.byte_number();   // 13: the stop time, seconds
    // 14 .. 16: the timetable time; 17: the name.
    const int64_t hours = fields_.number();
    const FieldPlace time_at = fields_.place();
    const int64_t minutes = fields_.number();
    const int64_t seconds = fields_.number();
    check_station_time(time_at, hours, minutes, seconds);
    station.item_time = model::item_time_of(hours, minutes, seconds);
    station.item_name = fields_.text();

    // The station area, from the kind.
    const int kind = station.item_kind;
    const StationArea area = station_area(pos, kind, length, station.item_byte3 != 0);
    station.area_start = platform::to_int32(area.start);
    station.area_end = platform::to_int32(area.end);
    if (kind >= 5 && kind <= 8) station.item_byte3 = 0;
    if (length < 600) station.item_byte4 = 0;
    if (k == 1) {
      station.item_byte3 = 0;
      station.item_byte4 = 0;
    }

    const bool on_track = kind < kFirstUnmarkedStationKind;
    const double end_cell = station.area_end / 50.0;
    // A long area can put the stop cell past the track although the position
    // passed its range test: refused like a position beyond the track, before
    // any cell is marked. The record stays; its slot is not taken.
    if (on_track && model::last_cell(station.area_end) > n_) return stop_beyond_track(pos, at);

    if (on_track && kind != 5 && kind != 6) {
      // Approach marks 81 .. 84 on the four cells before the stop cell.
      for (int j = 1; j <= 4; ++j) {
        const double t = end_cell - j - 1;
        if (t > 1)
          s_.cell(platform::round_to_int32(t)).approach_mark = static_cast<uint8_t>(80 + j);
      }
    }
    if (on_track) {
      const double t = end_cell - 1;
      // Cell 1 is kept for the identity stamps; a stop cell must lie beyond it.
      if (!(t > 1)) return end_stage(model::kStopCellTooEarly, at);
      model::TrackCell& stop = s_.cell(model::last_cell(station.area_end));
      warn_stop_over_item(at, model::last_cell(station.area_end));
      stop.kind = model::kStationStop;
      model::note_placement(s_, model::last_cell(station.area_end));
      stop.value1 = static_cast<int16_t>(k);
    }
    if (k > 1 && int64_t{station.area_start} - model::kStationSpacing <
                     s_.item_table[static_cast<size_t>(k - 1)].area_end) {
      return end_stage(model::kStationsTooClose, pos, at);
    }
    next_station_slot_ = k + 1;
    s_.stations_read = k;
    if (next_station_slot_ >= sign_slot_) return end_stage(model::kTooManyStations, row_at);
    return Next::kRow;
  }

  // A stop cell is marked whatever stands there: a route sign or speed
  // indicator of the route, or a train row read before the station (a
  // signal, a slowdown, a mark), is lost without an error (a sign's text
  // keeps its slot).
  void warn_stop_over_item(const FieldPlace& at, int64_t cell) {
    const model::TrackCell& taken = s_.cell(cell);
    if (taken.is_free()) return;
    const uint8_t kind = taken.kind;
    const bool route_item = kind == model::kRouteSign || kind == model::kSpeedIndicator;
    std::string what;
    switch (kind) {
      case model::kRouteSign:
        what = "route sign";
        break;
      case model::kSpeedIndicator:
        what = "speed indicator";
        break;
      case model::kSignal:
        what = "signal";
        break;
      case model::kStationStop:
        what = "stop cell of another station";
        break;
      case model::kSpeedMark:
      case model::kSpeedMarkWithoutValue:
        what = "\"abbattimento\" mark";
        break;
      default:
        what = "slowdown";
        break;
    }
    const std::optional<model::CellOccupant> by = model::occupant_of(s_, cell);
    const std::string row = by && by->row.line > 0
                                ? std::string(" of ") + (route_item ? "route" : "train") +
                                      " line " + std::to_string(by->row.line)
                                : "";
    fields_.warn(
        route_item ? model::WarningId::kStopOverRouteItem : model::WarningId::kStopOverTrainItem,
        at,
        "the stop cell of this station, cell " + std::to_string(cell) + " (" +
            std::to_string((cell - 1) * 50) + " m), is where the " + what + row +
            " stands: the station takes the cell and the " + what + " is not shown" +
            (kind == model::kRouteSign ? " (its text still takes a slot)" : ""));
  }

  // Hours, minutes and seconds that a clock cannot show: the time is stored
  // all the same, as seconds since midnight.
  void check_station_time(const FieldPlace& at, int64_t hours, int64_t minutes, int64_t seconds) {
    const int64_t total = model::seconds_since_midnight(hours, minutes, seconds);
    if (minutes >= 0 && minutes < 60 && seconds >= 0 && seconds < 60 && hours >= 0 &&
        total < 24 * 3600) {
      return;
    }
    const std::string clock =
        std::to_string(hours) + ":" + model::two_digits(minutes) + ":" + model::two_digits(seconds);
    fields_.warn(model::WarningId::kStationTime, at,
                 "station time " + clock +
                     " is no time of day (hours 0 to 23, minutes and seconds 0 to 59): it is "
                     "stored as " +
                     std::to_string(total) + " s after midnight");
  }

  void end_of_rows() {
    fields_.delete_description();
    // The values in force run on to cell n - 3; each fill writes at least one
    // cell, and never past cell n (a fill stopped at n at the latest).
    blaming_speed_row([&] {
      do {
        s_.cell(next_speed_cell_).speed_code = model::speed_code_of(speed_in_force_);
        ++next_speed_cell_;
      } while (next_speed_cell_ < n_ - 2);
    });
    do {
      s_.cell(next_adhesion_cell_).adhesion_code = model::adhesion_code_of(adhesion_in_force_);
      ++next_adhesion_cell_;
    } while (next_adhesion_cell_ < n_ - 2);
  }

  // The route's kilometric progressives are checked here, once both
  // descriptions are read: their start and end must be whole cells.
  // One error however many records fail, named by the first row read that
  // fails (the route reader notes it).
  void check_progressives() {
    bool whole = true;
    for (int slot :
         {model::kSlotProgressiveThree, model::kSlotProgressiveTwo, model::kSlotProgressiveOne}) {
      const model::ItemRecord& record = s_.item_table[static_cast<size_t>(slot)];
      if (record.area_start % 50 != 0 || record.area_end % 50 != 0) whole = false;
    }
    if (whole) return;
    model::ErrorSite site;
    site.field = s_.progressive_fault;
    model::record_error(s_, model::kProgressiveNotWhole, site);
  }

  model::Scenario& s_;
  const std::string name_;
  const std::string path_;
  model::DescriptionFields fields_;
  const int32_t n_;  // the last cell
  const int32_t sign_slot_;

  int32_t next_speed_cell_ = 0;
  int32_t speed_in_force_ = 0;
  // The row that gave the speed limit in force, and its keyword field.
  FieldPlace speed_row_;
  std::string speed_row_keyword_;
  static constexpr int kLimitValue = 1;  // the limit is the speed row's second value
  int32_t next_adhesion_cell_ = 0;
  int32_t adhesion_in_force_ = 0;
  int next_station_slot_ = 1;
  bool any_row_ = false;  // a row with a keyword of the train was read
};

}  // namespace

void read_train_description(model::Scenario& s, int32_t sign_slot) {
  // A description that cannot be read at all fails as a whole.
  s.reading = {model::Description::kTrain, 0, 0};
  s.reading_row = {};
  s.reading_row_keyword.clear();
  s.reading_values = 0;
  TrainReading(s, sign_slot).run();
}

}  // namespace train
