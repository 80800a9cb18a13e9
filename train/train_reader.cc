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
#include <string>
#include <string_view>

#include "platform/cp1252.h"
#include "platform/field_reader.h"
#include "platform/files.h"
#include "platform/rounding.h"
#include "train/signal_slowdown_store.h"

namespace train {

namespace {

// A station's area must start this far after the previous one ends.
constexpr int64_t kStationSpacing = 350;
// Station kinds from this one on have a record but no cells on the track.
constexpr int kFirstUnmarkedStationKind = 25;

// What a row leaves the reading to do next.
enum class Next {
  kRow,        // read the next row
  kEndOfRows,  // end of the text, or a code 15 stop: complete the profiles
  kEndStage,   // a failure that ends the reading; the text is already deleted
};

// The fields of the train description, with the model told after every read
// where the reading stands.
class TrainFields {
 public:
  TrainFields(model::Scenario& s, std::string bytes, std::string name)
      : s_(s), fields_(std::move(bytes)), name_(std::move(name)) {}

  bool at_end() const { return fields_.at_end(); }

  std::string text() {
    std::string field = fields_.read_text();
    mark();
    return field;
  }
  int32_t number() {
    int32_t value = fields_.read_number();
    mark();
    return value;
  }
  int16_t short_number() { return platform::to_int16(number()); }
  uint8_t byte_number() { return platform::to_byte(number()); }

 private:
  void mark() {
    s_.reading_line = fields_.line();
    s_.reading_file = name_;
  }

  model::Scenario& s_;
  platform::FieldReader fields_;
  std::string name_;
};

int32_t round_cell(double metres_over_50) { return platform::round_to_int32(metres_over_50); }

class TrainReading {
 public:
  TrainReading(model::Scenario& s, int32_t sign_slot)
      : s_(s),
        name_(model::train_description_name(s)),
        path_(platform::join_path(s.app_path, name_)),
        // A missing description fails here, before anything is stored.
        fields_(s, platform::read_description_file(*s.files, path_), name_),
        n_(s.cell_count),
        // Stations never reach past the sign slots, whatever the route says.
        sign_slot_(std::min<int32_t>(sign_slot, model::kFirstSignSlot)) {}

  void run() {
    skip_preamble();
    if (rows() == Next::kEndStage) return;
    end_of_rows();
    check_progressives();
  }

 private:
  void skip_preamble() {
    while (!fields_.at_end()) {
      if (platform::contains_nocase(keyword(), "[generale]")) return;
    }
  }

  std::string keyword() {
    s_.input_token = fields_.text();
    return s_.input_token;
  }

  Next rows() {
    for (;;) {
      if (fields_.at_end()) return Next::kEndOfRows;
      std::string t = keyword();
      if (fields_.at_end()) return Next::kEndOfRows;
      for (int skipped = 0; skipped < 2 && platform::contains(t, "-"); ++skipped) {
        t = keyword();
        if (fields_.at_end()) return Next::kEndOfRows;
      }
      Next next = act_on(t);
      if (next != Next::kRow) return next;
    }
  }

  // Every test is made on the field; each one that matches reads its row.
  Next act_on(std::string_view t) {
    using platform::contains_nocase;
    if (contains_nocase(t, "frenata") && contains_nocase(t, "massa")) {
      s_.item_table[model::kSlotTrainGeneral].area_start = fields_.number();
    }
    if (contains_nocase(t, "vetture")) {
      s_.item_table[model::kSlotTrainGeneral].item_position = fields_.number();
    }
    if (contains_nocase(t, "velocit")) {
      if (Next next = velocita(); next != Next::kRow) return next;
    }
    if (contains_nocase(t, "aderenza")) {
      if (Next next = aderenza(); next != Next::kRow) return next;
    }
    if (contains_nocase(t, "orologio")) {
      model::ItemRecord& train = s_.item_table[model::kSlotTrain];
      train.item_word3 = fields_.short_number();
      train.item_word4 = fields_.short_number();
      train.item_word5 = fields_.short_number();
    }
    if (contains_nocase(t, "sabbia")) {
      s_.item_table[model::kSlotTrain].item_word1 = fields_.short_number();
    }
    if (contains_nocase(t, "segnale")) {
      if (Next next = segnale(); next != Next::kRow) return next;
    }
    if (contains_nocase(t, "rallentamento")) {
      if (Next next = rallentamento(); next != Next::kRow) return next;
    }
    if (contains_nocase(t, "abbattimento")) {
      if (Next next = abbattimento(); next != Next::kRow) return next;
    }
    if (contains_nocase(t, "stazione")) {
      if (Next next = stazione(); next != Next::kRow) return next;
    }
    return Next::kRow;
  }

  // The range test of a row at `metres`, whose cells need the track to run
  // `room` metres past it.
  bool beyond_track(int64_t metres, int64_t room) const { return metres + room > int64_t{50} * n_; }
  Next stop_beyond_track(int32_t position) {
    s_.error_code = 15;
    s_.error_position = position;
    return Next::kEndOfRows;
  }
  // A failure that ends the reading: the text goes, the profiles stay as far
  // as they were filled.
  Next end_stage(int code) {
    s_.files->delete_file(path_);
    s_.error_code = code;
    return Next::kEndStage;
  }
  Next end_stage(int code, int32_t position) {
    end_stage(code);
    s_.error_position = position;
    return Next::kEndStage;
  }

  static uint8_t speed_code(int32_t limit) {
    return platform::to_byte(platform::round_to_int32(limit / 5.0));
  }

  // A speed or adhesion row at cell w: the value in force goes into the cells
  // from `next` up to the cell before w, and into at least one cell even when
  // `next` has already reached w; never past the last cell.
  template <typename Store>
  void fill_up_to(int32_t w, int32_t& next, Store store) {
    if (w <= 0) return;
    do {
      if (next >= n_) break;
      store(s_.cell(next));
      ++next;
    } while (next < w);
  }

  Next velocita() {
    const int32_t p = fields_.number();
    const int32_t v = fields_.number();
    if (beyond_track(p, 100)) return stop_beyond_track(p);
    // The speed code is checked only where a cell receives it.
    fill_up_to(round_cell(p / 50.0), next_speed_cell_,
               [this](model::TrackCell& c) { c.speed_code = speed_code(speed_in_force_); });
    speed_in_force_ = v;
    return Next::kRow;
  }

  Next aderenza() {
    const int32_t p = fields_.number();
    const int32_t a = fields_.number();
    if (beyond_track(p, 100)) return stop_beyond_track(p);
    const uint8_t code = platform::low8(adhesion_in_force_);
    fill_up_to(round_cell(p / 50.0), next_adhesion_cell_,
               [code](model::TrackCell& c) { c.adhesion_code = code; });
    adhesion_in_force_ = a;
    return Next::kRow;
  }

  Next segnale() {
    int32_t v[11];
    for (int32_t& value : v) value = fields_.number();
    const int32_t posizione = v[0];
    if (beyond_track(posizione, 100)) return stop_beyond_track(posizione);
    // Only the call's own failure ends the reading: a code 15 left by the
    // route stays in error_code and must not stop the train's rows.
    if (!memo_segnale(s_, posizione, v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], v[10])) {
      s_.error_position = posizione;
      return end_stage(s_.error_code);
    }
    return Next::kRow;
  }

  Next rallentamento() {
    int32_t v[6];
    for (int32_t& value : v) value = fields_.number();
    const int32_t x = v[0];
    const int32_t l = v[2];
    if (beyond_track(x, 100)) return stop_beyond_track(x);
    // Its end cell round((x + l) / 50 + 1) must lie on the track too.
    if (beyond_track(int64_t{x} + l, 50)) return stop_beyond_track(x);
    if (!memo_rallentamento(s_, x, v[1], l, v[3], v[4], v[5])) {
      s_.error_position = x;
      return end_stage(s_.error_code);
    }
    return Next::kRow;
  }

  Next abbattimento() {
    const int32_t p = fields_.number();
    const int32_t n = fields_.number();
    if (beyond_track(p, 100)) return stop_beyond_track(p);
    model::TrackCell& cell = s_.cell(round_cell(p / 50.0));
    if (!cell.is_free()) return end_stage(7, p);
    if (n < 1) {
      cell.kind = model::kAbbattimentoBare;
    } else {
      cell.kind = model::kAbbattimento;
      cell.value1 = platform::low16(n);
    }
    return Next::kRow;
  }

  Next stazione() {
    const int k = next_station_slot_;
    // Eighty route signs take slot 1 too: a station there would overwrite a
    // sign's text, so it is refused before anything of it is stored.
    if (k > sign_slot_) return end_stage(10);
    model::ItemRecord& station = s_.item_table[static_cast<size_t>(k)];
    const int32_t pos = fields_.number();
    station.item_position = pos;
    if (beyond_track(pos, 800)) return stop_beyond_track(pos);
    if (pos % 50 != 0) return end_stage(8, pos);

    station.item_kind = fields_.byte_number();
    const int32_t length = fields_.number();
    if (length % 100 != 0) return end_stage(9, pos);

    station.item_flag = fields_.byte_number();
    station.item_byte4 = fields_.byte_number();
    station.item_byte3 = fields_.byte_number();
    station.item_word1 = fields_.short_number();
    station.item_word2 = fields_.short_number();
    station.item_byte1 = fields_.byte_number();
    station.item_word3 = fields_.short_number();
    station.item_word4 = fields_.short_number();
    station.item_word5 = fields_.short_number();
    station.item_byte2 = fields_.byte_number();
    const int64_t hours = fields_.number();
    const int64_t minutes = fields_.number();
    const int64_t seconds = fields_.number();
    station.item_time = platform::to_int32((hours * 60 + minutes) * 60 + seconds);
    station.item_name = fields_.text();

    // The station area, from the kind.
    const int kind = station.item_kind;
    if (kind == 5 || kind == 6) {
      station.area_start = platform::to_int32(int64_t{pos} - length);
      station.area_end = platform::to_int32(int64_t{pos} + 150);
      station.item_byte3 = 0;
    } else if (kind == 7 || kind == 8) {
      station.area_start = platform::to_int32(int64_t{pos} - length);
      station.area_end = platform::to_int32(int64_t{pos} + length);
      station.item_byte3 = 0;
    } else {
      station.area_start = platform::round_to_int32(pos - length / 2.0);
      const int64_t end = platform::round_to_int32(pos + length / 2.0);
      station.area_end = platform::to_int32(end + (station.item_byte3 != 0 ? 50 : 0));
    }
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
    if (on_track && round_cell(end_cell - 1) > n_) return stop_beyond_track(pos);

    if (on_track && kind != 5 && kind != 6) {
      // Approach marks 81 .. 84 on the four cells before the stop cell.
      for (int j = 1; j <= 4; ++j) {
        const double t = end_cell - j - 1;
        if (t > 1) s_.cell(round_cell(t)).approach_mark = static_cast<uint8_t>(80 + j);
      }
    }
    if (on_track) {
      const double t = end_cell - 1;
      // Cell 1 is kept for the identity stamps; a stop cell must lie beyond it.
      if (!(t > 1)) return end_stage(24);
      model::TrackCell& stop = s_.cell(round_cell(t));
      stop.kind = model::kStationStop;
      stop.value1 = static_cast<int16_t>(k);
    }
    if (k > 1 && int64_t{station.area_start} - kStationSpacing <
                     s_.item_table[static_cast<size_t>(k - 1)].area_end) {
      return end_stage(22, pos);
    }
    next_station_slot_ = k + 1;
    if (next_station_slot_ >= sign_slot_) return end_stage(10);
    return Next::kRow;
  }

  void end_of_rows() {
    s_.files->delete_file(path_);
    // The values in force run on to cell n - 3; each fill writes at least one
    // cell, and never past cell n (a fill stopped at n at the latest).
    do {
      s_.cell(next_speed_cell_).speed_code = speed_code(speed_in_force_);
      ++next_speed_cell_;
    } while (next_speed_cell_ < n_ - 2);
    do {
      s_.cell(next_adhesion_cell_).adhesion_code = platform::low8(adhesion_in_force_);
      ++next_adhesion_cell_;
    } while (next_adhesion_cell_ < n_ - 2);
  }

  // The route's kilometric progressives are checked here, once both
  // descriptions are read: their start and end must be whole cells.
  void check_progressives() {
    for (int slot :
         {model::kSlotProgressiveTre, model::kSlotProgressiveDue, model::kSlotProgressiveUno}) {
      const model::ItemRecord& record = s_.item_table[static_cast<size_t>(slot)];
      if (record.area_start % 50 != 0 || record.area_end % 50 != 0) s_.error_code = 2;
    }
  }

  model::Scenario& s_;
  const std::string name_;
  const std::string path_;
  TrainFields fields_;
  const int32_t n_;  // the last cell
  const int32_t sign_slot_;

  int32_t next_speed_cell_ = 0;
  int32_t speed_in_force_ = 0;
  int32_t next_adhesion_cell_ = 0;
  int32_t adhesion_in_force_ = 0;
  int next_station_slot_ = 1;
};

}  // namespace

void read_train_description(model::Scenario& s, int32_t sign_slot) {
  TrainReading(s, sign_slot).run();
}

}  // namespace train
