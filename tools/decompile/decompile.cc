#include "tools/decompile/decompile.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string_view>
#include <utility>

#include "app/compile_pass.h"
#include "compiled/compiled_reader.h"
#include "finish/errore.h"
#include "model/cell_values.h"
#include "model/compiled_files.h"
#include "model/item_views.h"
#include "model/scenario.h"
#include "platform/files.h"
#include "platform/forwarding_file_system.h"
#include "platform/memory_file_system.h"
#include "platform/runtime_failure.h"
#include "route/progressive_ordina.h"
#include "route/track_plan.h"
#include "tools/decompile/rows.h"

namespace decompile {

namespace {

using model::TrackCell;
using tools::LineFile;
using tools::StationFile;
using tools::TrackFile;

constexpr int kLength = model::kCellLength;

// The rapp of a signal row whose value4 (rapp x 10 + sides, kept in 16
// bits) and sides are known: the plain quotient where there is one, else
// the rapp in 0 .. 32767 whose ten times wrapped to those 16 bits (10 is 2 x
// 5, and 5 has an inverse modulo 2^15); none when value4 - sides is odd.
std::optional<int64_t> signal_rapp(int64_t value4, int64_t sides) {
  const int64_t d = value4 - sides;
  if (d % 10 == 0) return d / 10;
  const uint32_t low = static_cast<uint16_t>(d);
  if (low % 2 != 0) return std::nullopt;
  constexpr uint32_t kInverseOf5 = 19661;  // 5 x 19661 = 3 x 32768 + 1
  return static_cast<int64_t>(low / 2 * kInverseOf5 % 32768);
}

// ---- The route ---------------------------------------------------------------

// Whether a station's stop cell holds what a speed indicator left there:
// the stop sets only the kind and value1.
bool under_stop_cell(const TrackCell& cell) {
  return cell.kind == model::kStationStop &&
         (cell.value2 != 0 || cell.value3 != 0 || cell.value4 != 0);
}

// The three progressive rows that progressive_ordina turns into the stored
// records: the stored triples, the flag's 100 taken off again, in the order
// (tre, due, uno) that the ordering maps back onto them.
std::array<model::ItemRecord, 3> progressive_rows(const StationFile& st) {
  std::array<model::ItemRecord, 3> stored{};
  for (int i = 0; i < 3; ++i) {
    const model::ItemRecord& r = st.slots[static_cast<size_t>(model::kSlotProgressiveThree + i)];
    stored[static_cast<size_t>(i)].area_start = r.area_start;
    stored[static_cast<size_t>(i)].area_end =
        r.item_position == 1 ? static_cast<int32_t>(int64_t{r.area_end} - 100) : r.area_end;
    stored[static_cast<size_t>(i)].item_position = r.item_position;
  }
  // Which order of the rows comes back as stored: tried on the ordering
  // itself, so that its rule stays in one place.
  std::array<int, 3> order = {0, 1, 2};
  do {
    model::Scenario s;
    for (int i = 0; i < 3; ++i) {
      const model::ItemRecord& r = stored[static_cast<size_t>(order[static_cast<size_t>(i)])];
      model::ItemRecord& slot = s.item_table[static_cast<size_t>(model::kSlotProgressiveThree + i)];
      slot.area_start = r.area_start;
      slot.area_end = r.area_end;
      slot.item_position = r.item_position;
    }
    route::progressive_ordina(s);
    bool same = true;
    for (int i = 0; i < 3; ++i) {
      const model::ItemRecord& a =
          s.item_table[static_cast<size_t>(model::kSlotProgressiveThree + i)];
      const model::ItemRecord& b = st.slots[static_cast<size_t>(model::kSlotProgressiveThree + i)];
      same = same && a.area_start == b.area_start && a.area_end == b.area_end &&
             a.item_position == b.item_position;
    }
    if (same) {
      std::array<model::ItemRecord, 3> rows;
      for (int i = 0; i < 3; ++i)
        rows[static_cast<size_t>(i)] = stored[static_cast<size_t>(order[static_cast<size_t>(i)])];
      return rows;
    }
  } while (std::next_permutation(order.begin(), order.end()));
  return stored;
}

// One row per change of a per-cell value (gradient, speed limit, adhesion).
// A row at cell c fills the cells from the reader's cursor up to c - 1 with
// the value before it; the reader's tail fills up to cell n - 3. Cells past
// that hold a value only when rows reached them: each further row at the
// last position a row may take advances the cursor by one cell.
//
// `values` are the cells' values, `last_reachable` the last cell a row can
// fill, `unwritten` the value a cell holds that no row reached.
struct ProfileRow {
  int64_t position = 0;
  int value = 0;
};
std::vector<ProfileRow> profile_rows(const std::vector<int>& values, int64_t last_reachable,
                                     int unwritten, bool first_row_always) {
  std::vector<ProfileRow> rows;
  const int64_t n = static_cast<int64_t>(values.size()) - 1;
  const int64_t main_end = n - 3;  // the tail's last cell
  if (main_end < 0) return rows;
  if (first_row_always || values[0] != 0) rows.push_back({0, values[0]});
  for (int64_t c = 1; c <= main_end; ++c) {
    if (values[static_cast<size_t>(c)] != values[static_cast<size_t>(c - 1)])
      rows.push_back({c * kLength, values[static_cast<size_t>(c)]});
  }
  int64_t t = -1;
  for (int64_t c = n - 2; c <= std::min(n, last_reachable); ++c) {
    if (values[static_cast<size_t>(c)] != unwritten) t = c;
  }
  if (t >= n - 2) {
    const int64_t p = (n - 2) * kLength;
    rows.push_back({p, values[static_cast<size_t>(n - 2)]});
    for (int64_t c = n - 1; c <= t; ++c) rows.push_back({p, values[static_cast<size_t>(c)]});
  }
  return rows;
}

bool same_bits(double a, double b) {
  return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b);
}

struct CurveRow {
  int64_t position = 0;
  int64_t length = 0;
  std::string keyword;
};

// The curves read off the plan. Returns false (with a note) when a point is
// neither the straight step nor an arc step of any class.
bool curve_rows(const LineFile& line, std::vector<CurveRow>& rows, std::vector<std::string>& notes,
                bool& reaches_end) {
  static const std::array<std::string, 12> kKeywords = {"curvad1", "curvad2", "curvad3", "curvad4",
                                                        "curvad5", "curvad6", "curvas1", "curvas2",
                                                        "curvas3", "curvas4", "curvas5", "curvas6"};
  std::array<double, 12> k{};
  for (size_t i = 0; i < k.size(); ++i) k[i] = *route::curve_heading_change(kKeywords[i]);
  const int64_t last = line.last_point();
  reaches_end = false;
  if (last < 1) return true;
  int64_t run_start = -1;
  size_t run_class = 0;
  auto close_run = [&](int64_t end) {
    if (run_start < 0) return;
    rows.push_back({run_start - 1, end - run_start + 1, kKeywords[run_class]});
    run_start = -1;
  };
  for (int64_t m = 2; m <= last; ++m) {
    const tools::PlanValue& xv = line.x[static_cast<size_t>(m)];
    const tools::PlanValue& yv = line.y[static_cast<size_t>(m)];
    if (xv.type != tools::kPlanDouble || yv.type != tools::kPlanDouble) {
      close_run(m - 1);
      if (m < last - 1) notes.push_back("the plan ends at point " + std::to_string(m));
      return true;
    }
    const double x1 = line.x[static_cast<size_t>(m - 1)].value;
    const double x2 = line.x[static_cast<size_t>(m - 2)].value;
    const double y1 = line.y[static_cast<size_t>(m - 1)].value;
    const double y2 = line.y[static_cast<size_t>(m - 2)].value;
    const double dx = x1 - x2;
    const double dy = y1 - y2;
    if (same_bits(xv.value, x1 + dx) && same_bits(yv.value, y1 + dy)) {
      close_run(m - 1);
      continue;
    }
    size_t found = k.size();
    for (size_t i = 0; i < k.size(); ++i) {
      if (same_bits(xv.value, x1 + (dy * k[i] + dx)) &&
          same_bits(yv.value, y1 + (dy - dx * k[i]))) {
        found = i;
        break;
      }
    }
    if (found == k.size()) {
      close_run(m - 1);
      notes.push_back("plan point " + std::to_string(m) +
                      " is neither a straight nor an arc step: the curves stop there");
      return false;
    }
    if (run_start >= 0 && found != run_class) close_run(m - 1);
    if (run_start < 0) {
      run_start = m;
      run_class = found;
    }
    if (m >= last - 1) reaches_end = true;
  }
  close_run(last);
  return true;
}

struct MountainRow {
  int64_t start = 0, end = 0;
  int64_t type = 0;
  bool spacer = false;  // a stretch of no cell, to keep the next one's type
};

std::vector<MountainRow> mountain_rows(const TrackFile& tr) {
  const int64_t n = tr.cell_count();
  struct Run {
    int64_t first, last;
    int type;
    bool markers;
  };
  std::vector<Run> runs;
  int64_t i = 0;
  while (i <= n) {
    const int type = tr.cells[static_cast<size_t>(i)].mountain_type;
    if (type == 0) {
      ++i;
      continue;
    }
    int64_t j = i;
    while (j + 1 <= n && tr.cells[static_cast<size_t>(j + 1)].mountain_type == type) ++j;
    // Markers fall on every fourth cell of a stretch: a marker out of step
    // starts a stretch of its own.
    int64_t s = i;
    bool markers = false;
    for (int64_t c = i; c <= j; ++c) {
      if (tr.cells[static_cast<size_t>(c)].kind != model::kMountainMarker) continue;
      if ((c - s + 1) % 4 == 0) {
        markers = true;
        continue;
      }
      const int64_t s2 = c - 3;
      if (s2 > s) {
        runs.push_back({s, s2 - 1, type, markers});
        s = s2;
        markers = true;
      } else {
        markers = true;  // out of step and no room: the proof shows it
      }
    }
    runs.push_back({s, j, type, markers});
    i = j + 1;
  }
  std::vector<MountainRow> rows;
  int64_t previous_end = 0;
  bool first = true;
  for (const Run& r : runs) {
    const int64_t start = r.first * kLength;
    const int64_t end = (r.last + 1) * kLength;
    const bool becomes_three = !first && start - previous_end <= 150;
    if (becomes_three && r.type != 3) {
      // A stretch this close behind the one before would be stored as type
      // 3: a stretch that covers no cell stands between them.
      rows.push_back({0, -1000, 1, true});
    }
    int64_t tipo = r.type;
    if (r.markers) {
      tipo = r.type + 10;
    } else if (r.type > 10) {
      tipo = r.type - 256;  // the same low 8 bits, without markers
    }
    rows.push_back({start, end, tipo, false});
    previous_end = end;
    first = false;
    if (becomes_three && r.type != 3) previous_end = end;
  }
  return rows;
}

// ---- Rows into text -----------------------------------------------------------

// A text field as the field reader reads it back: quoted when it holds a
// comma, begins with a quote or blank or ends with a blank.
std::string text_field(const std::string& text) {
  const bool quote =
      text.find(',') != std::string::npos ||
      (!text.empty() && (text.front() == '"' || text.front() == ' ' || text.front() == '\t' ||
                         text.back() == ' ' || text.back() == '\t'));
  return quote ? "\"" + text + "\"" : text;
}

// ---- The comparison ---------------------------------------------------------------

class Differences {
 public:
  explicit Differences(std::vector<std::string>& out) : out_(out) {}
  void add(std::string text) {
    ++count_;
    if (out_.size() < kMaxDifferences) out_.push_back(std::move(text));
  }
  template <class T>
  void field(const std::string& where, const char* name, T a, T b) {
    if (a != b) add(where + " " + name + ": " + std::to_string(a) + " -> " + std::to_string(b));
  }
  void finish() {
    if (count_ > out_.size())
      out_.push_back("... and " + std::to_string(count_ - out_.size()) + " more");
  }

 private:
  std::vector<std::string>& out_;
  size_t count_ = 0;
};

std::string shown_double(const tools::PlanValue& v) {
  if (v.type == tools::kPlanEmpty) return "empty";
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v.value);
  return buf;
}

void compare_track(const TrackFile& a, const TrackFile& b, Differences& d) {
  if (a.cells.size() != b.cells.size()) {
    d.add("track file: cells 0 .. " + std::to_string(a.cell_count()) + " -> 0 .. " +
          std::to_string(b.cell_count()));
  }
  const size_t n = std::min(a.cells.size(), b.cells.size());
  for (size_t i = 0; i < n; ++i) {
    const TrackCell& x = a.cells[i];
    const TrackCell& y = b.cells[i];
    if (x == y) continue;
    const std::string w = "track file: cell " + std::to_string(i);
    d.field(w, "kind", int{x.kind}, int{y.kind});
    d.field(w, "value1", int{x.value1}, int{y.value1});
    d.field(w, "value2", int{x.value2}, int{y.value2});
    d.field(w, "value3", int{x.value3}, int{y.value3});
    d.field(w, "value4", int{x.value4}, int{y.value4});
    d.field(w, "signal_time", int{x.signal_time}, int{y.signal_time});
    d.field(w, "approach_mark", int{x.approach_mark}, int{y.approach_mark});
    d.field(w, "mountain_type", int{x.mountain_type}, int{y.mountain_type});
    d.field(w, "speed_code", int{x.speed_code}, int{y.speed_code});
    d.field(w, "gradient_code", int{x.gradient_code}, int{y.gradient_code});
    d.field(w, "adhesion_code", int{x.adhesion_code}, int{y.adhesion_code});
  }
}

void compare_station(const StationFile& a, const StationFile& b, Differences& d) {
  for (size_t i = 0; i < a.slots.size(); ++i) {
    const model::ItemRecord& x = a.slots[i];
    const model::ItemRecord& y = b.slots[i];
    if (x == y) continue;
    const std::string w = "station file: slot " + std::to_string(i);
    d.field(w, "item_kind", int{x.item_kind}, int{y.item_kind});
    d.field(w, "area_start", x.area_start, y.area_start);
    d.field(w, "area_end", x.area_end, y.area_end);
    d.field(w, "item_position", x.item_position, y.item_position);
    d.field(w, "item_flag", int{x.item_flag}, int{y.item_flag});
    if (x.item_name != y.item_name)
      d.add(w + " item_name: \"" + x.item_name + "\" -> \"" + y.item_name + "\"");
    d.field(w, "item_word1", int{x.item_word1}, int{y.item_word1});
    d.field(w, "item_word2", int{x.item_word2}, int{y.item_word2});
    d.field(w, "item_word3", int{x.item_word3}, int{y.item_word3});
    d.field(w, "item_word4", int{x.item_word4}, int{y.item_word4});
    d.field(w, "item_word5", int{x.item_word5}, int{y.item_word5});
    d.field(w, "item_byte1", int{x.item_byte1}, int{y.item_byte1});
    d.field(w, "item_byte2", int{x.item_byte2}, int{y.item_byte2});
    d.field(w, "item_byte3", int{x.item_byte3}, int{y.item_byte3});
    d.field(w, "item_byte4", int{x.item_byte4}, int{y.item_byte4});
    d.field(w, "item_time", x.item_time, y.item_time);
  }
}

void compare_line(const LineFile& a, const LineFile& b, Differences& d) {
  if (a.x.size() != b.x.size()) {
    d.add("line file: points 0 .. " + std::to_string(a.last_point()) + " -> 0 .. " +
          std::to_string(b.last_point()));
  }
  const size_t n = std::min(a.x.size(), b.x.size());
  for (size_t m = 0; m < n; ++m) {
    for (int half = 0; half < 2; ++half) {
      const tools::PlanValue& x = half == 0 ? a.x[m] : a.y[m];
      const tools::PlanValue& y = half == 0 ? b.x[m] : b.y[m];
      if (x.type == y.type && same_bits(x.value, y.value)) continue;
      d.add("line file: point " + std::to_string(m) + (half == 0 ? " x: " : " y: ") +
            shown_double(x) + " -> " + shown_double(y));
    }
  }
}

// ---- Building the texts -------------------------------------------------------

// The set's files as decoded from its bytes.
struct Reading {
  const StationFile& station;
  const TrackFile& track;
  const LineFile* line;
};

struct Texts {
  std::string route, train;
  int route_rows = 0, train_rows = 0;
};

int64_t placed(int64_t cell) { return (cell - 1) * kLength; }

Texts build_texts(const Reading& in, const std::map<int64_t, int>& speed_marks,
                  std::vector<std::string>& notes) {
  const StationFile& st = in.station;
  const TrackFile& tr = in.track;
  const int64_t n = tr.cell_count();
  const model::GeneralValues general = model::general_values(st.slots);

  RowWriter route;
  route.heading("[generale]");
  route.row("lunghezza percorso", {general.train_general.line_length});
  const char* kWords[3] = {"tre", "due", "uno"};
  const std::array<model::ItemRecord, 3> prog = progressive_rows(st);
  for (int i = 0; i < 3; ++i) {
    const model::ItemRecord& r = prog[static_cast<size_t>(i)];
    route.row(std::string("progressiva chilometrica ") + kWords[i],
              {r.area_start, r.area_end, r.item_position});
  }
  route.row("sfondo uno", {general.line.background_one});
  route.row("sfondo due", {general.line.background_two});
  route.row("sfondo tre", {general.line.background_three});
  const model::TrainValues& tv = general.train;
  route.row(tv.code_count == 9 ? "ripetizione segnali 9 codici" : "ripetizione segnali 4 codici",
            {tv.signal_repetition_one, tv.signal_repetition_two});

  // Gradients.
  std::vector<int> gradients(static_cast<size_t>(n + 1));
  for (int64_t c = 0; c <= n; ++c)
    gradients[static_cast<size_t>(c)] =
        model::gradient_of(tr.cells[static_cast<size_t>(c)].gradient_code);
  route.heading("[pendenze]");
  for (const ProfileRow& r : profile_rows(gradients, n, model::gradient_of(0), false))
    route.row("pendenza", {r.position, r.value}, r.position);

  // Curves.
  std::vector<CurveRow> curves;
  bool curves_reach_end = false;
  if (in.line) curve_rows(*in.line, curves, notes, curves_reach_end);
  auto write_curves = [&] {
    if (!in.line) return;
    route.heading("[curve]");
    for (const CurveRow& c : curves) route.row(c.keyword, {c.position, c.length}, c.position);
  };
  // A curve that runs to the end of the plan ends the reading there: it
  // comes last.
  if (!curves_reach_end) write_curves();

  route.heading("[montagne]");
  for (const MountainRow& m : mountain_rows(tr)) {
    route.row("montagna", {m.start, m.end, m.type}, m.spacer ? -1 : m.start,
              m.spacer ? "(covers no cell)" : "");
  }

  route.heading("[indicazioni]");
  for (int64_t c = 0; c <= n; ++c) {
    const TrackCell& cell = tr.cells[static_cast<size_t>(c)];
    // A station's stop cell, marked after the route's rows, takes an
    // indicator's cell but sets only its kind and value1: the indicator's
    // other values stay, and come back from an indicator on that cell.
    const bool under_stop = under_stop_cell(cell);
    if (cell.kind != model::kSpeedIndicator && !under_stop) continue;
    const model::IndicatorSpeeds a = model::indicator_speeds_of(under_stop ? 0 : cell.value1);
    const model::IndicatorSpeeds b = model::indicator_speeds_of(cell.value2);
    const model::IndicatorSpeeds cc = model::indicator_speeds_of(cell.value3);
    const model::IndicatorStripes s = model::indicator_stripes_of(cell.value4);
    route.row("indicatori_vmax",
              {placed(c), a.left, b.left, cc.left, s.left, a.right, b.right, cc.right, s.right},
              placed(c));
  }

  route.heading("[cartelli]");
  std::map<int, int64_t, std::greater<>> signs;  // slot -> cell, slot 80 first
  for (int64_t c = 0; c <= n; ++c) {
    const TrackCell& cell = tr.cells[static_cast<size_t>(c)];
    if (cell.kind == model::kRouteSign && cell.value1 >= 0 && cell.value1 < model::kItemSlots)
      signs.emplace(cell.value1, c);
  }
  // A station's stop cell, marked after the route signs, takes the cell of a
  // sign that stood there: the sign's text stays in its slot with no cell
  // naming it. Such a sign comes back on a stop cell, which the station then
  // takes again.
  std::vector<int64_t> stop_cells;
  for (int64_t c = 0; c <= n; ++c) {
    const TrackCell& cell = tr.cells[static_cast<size_t>(c)];
    if (cell.kind == model::kStationStop && !under_stop_cell(cell)) stop_cells.push_back(c);
  }
  // The stations' slots, from 1 up to an empty slot or a sign's, are never a sign's.
  int first_free = 1;
  while (first_free < model::kFirstSignSlot && signs.count(first_free) == 0 &&
         st.slots[static_cast<size_t>(first_free)] != model::ItemRecord{})
    ++first_free;
  size_t next_stop = 0;
  for (int slot = model::kFirstSignSlot; slot >= first_free && next_stop < stop_cells.size();
       --slot) {
    if (signs.count(slot) != 0) continue;
    const model::ItemRecord& r = st.slots[static_cast<size_t>(slot)];
    model::ItemRecord text_only;
    text_only.item_name = r.item_name;
    if (r.item_name.empty() || r != text_only) break;
    signs.emplace(slot, stop_cells[next_stop++]);
    notes.push_back("route sign slot " + std::to_string(slot) +
                    " has no cell: a station's stop cell took it; it comes back on that cell");
  }
  int expected_slot = model::kFirstSignSlot;
  for (const auto& [slot, cell] : signs) {
    if (slot != expected_slot)
      notes.push_back("route sign slot " + std::to_string(slot) + " out of order");
    expected_slot = slot - 1;
    route.sign_row(placed(cell), text_field(st.slots[static_cast<size_t>(slot)].item_name));
  }
  if (curves_reach_end) write_curves();
  route.heading("[fine]");

  // ---- The train ----
  RowWriter train;
  train.heading("[generale]");
  train.row("numero vetture", {general.train_general.cars});
  train.row("percentuale massa frenata", {general.train_general.braked_mass_percent});
  train.row("sabbia", {tv.sand});
  train.clock_row(tv.clock_hours, tv.clock_minutes, tv.clock_seconds);

  std::vector<int> adhesion(static_cast<size_t>(n + 1)), speed(static_cast<size_t>(n + 1));
  for (int64_t c = 0; c <= n; ++c) {
    adhesion[static_cast<size_t>(c)] =
        model::adhesion_of(tr.cells[static_cast<size_t>(c)].adhesion_code);
    speed[static_cast<size_t>(c)] =
        model::speed_limit_of(tr.cells[static_cast<size_t>(c)].speed_code);
  }
  train.heading("[aderenze]");
  for (const ProfileRow& r : profile_rows(adhesion, n - 1, 0, true))
    train.row("aderenza", {r.position, r.value}, r.position);
  train.heading("[vel_limite]");
  for (const ProfileRow& r : profile_rows(speed, n - 1, 0, true))
    train.row("velocita", {r.position, r.value}, r.position);

  train.heading("[stazioni]");
  for (int slot = 1; slot < model::kFirstSignSlot; ++slot) {
    const model::ItemRecord& r = st.slots[static_cast<size_t>(slot)];
    if (r == model::ItemRecord{}) break;
    if (signs.count(slot) != 0) break;
    const int kind = r.item_kind;
    const int64_t pos = r.item_position;
    int64_t length = 0;
    int64_t field6 = r.item_byte3;
    if (kind >= 5 && kind <= 8) {
      length = pos - r.area_start;
    } else {
      length = 2 * (pos - r.area_start);
      if (slot == 1 && int64_t{r.area_end} - (pos + length / 2) == 50) field6 = 1;
    }
    const int64_t t = r.item_time;
    train.station_row({pos, kind, length, r.item_flag, r.item_byte4, field6, r.item_word1,
                       r.item_word2, r.item_byte1, r.item_word3, r.item_word4, r.item_word5,
                       r.item_byte2, t / 3600, t % 3600 / 60, t % 60},
                      text_field(r.item_name));
  }

  train.heading("[rallentamenti]");
  for (int64_t c = 0; c <= n; ++c) {
    const TrackCell& cell = tr.cells[static_cast<size_t>(c)];
    if (cell.kind != model::kSlowdownStart) continue;
    int64_t e = c;
    for (int64_t j = c + 1; j <= n; ++j) {
      if (tr.cells[static_cast<size_t>(j)].kind == model::kSlowdownEnd) {
        e = j;
        break;
      }
      if (tr.cells[static_cast<size_t>(j)].kind == model::kSlowdownStart) break;
    }
    const int64_t x = placed(c);
    const int64_t h = c - 25;
    const bool before_warning =
        x > 1500 && h >= 0 && tr.cells[static_cast<size_t>(h)].kind == model::kBeforeWarning;
    train.row("rallentamento",
              {x, cell.value1, (e - c) * kLength, cell.value3, before_warning ? 1 : 0, cell.value2},
              x);
  }

  train.heading("[segnali]");
  for (int64_t c = 0; c <= n; ++c) {
    const TrackCell& cell = tr.cells[static_cast<size_t>(c)];
    if (cell.kind != model::kSignal) continue;
    model::SignalCodes k =
        model::signal_codes_of(cell.value1, cell.value2, cell.value3, cell.value4);
    // The approach mark two cells before holds (sx x 3 + dx) x 10 + 1 in 8
    // bits: where the codes' last digit does not give it, the mark says
    // which sides the row had.
    if (c >= 2) {
      const auto mark_of = [](int64_t q) { return static_cast<uint8_t>(q * 10 + 1); };
      const uint8_t mark = tr.cells[static_cast<size_t>(c - 2)].approach_mark;
      const int64_t sides = int64_t{k.sx} * 3 + k.dx;
      if (mark_of(sides) != mark) {
        for (int64_t q = 0; q < 256; ++q) {
          if (mark_of(q) != mark) continue;
          const std::optional<int64_t> rapp = signal_rapp(cell.value4, q);
          if (!rapp) continue;
          if (cell.signal_time != 0 && q / 3 != 2) continue;  // only sx 2 keeps a time
          k.sx = static_cast<int>(q / 3);
          k.dx = static_cast<int>(q % 3);
          k.rapp = static_cast<int>(*rapp);
          break;
        }
      }
    }
    int64_t tempo = 0;
    if (cell.signal_time != 0)
      tempo = cell.signal_time <= 100 ? cell.signal_time + 256 : cell.signal_time;
    train.row("segnale", {placed(c), k.sx, k.s1, k.s2, k.s3, k.rapp, k.dx, k.d1, k.d2, k.d3, tempo},
              placed(c));
  }

  if (!speed_marks.empty()) {
    train.heading("[abbattimenti]");
    for (const auto& [cell, value] : speed_marks)
      train.row("abbattimento", {cell * kLength, value}, cell * kLength);
  }
  train.heading("[codici]");
  train.heading("[fine]");

  return {route.text(), train.text(), route.rows(), train.rows()};
}

// ---- Compiling in memory ------------------------------------------------------

// The line file of a compile in memory, compared with the set's part by part
// as the compile pass hands the parts over: its 20 MB (a 1 000 km plan) are
// neither gathered nor compared again afterwards. Bytes are kept only from
// the first that differs (the set's equal bytes before it copied in), so
// that the plan points that differ can still be listed.
class LineFileCheck {
 public:
  explicit LineFileCheck(std::string_view set) : set_(set) {}

  void append(std::string_view part) {
    if (!differs_) {
      if (part.size() <= set_.size() - compared_ &&
          std::memcmp(set_.data() + compared_, part.data(), part.size()) == 0) {
        compared_ += part.size();
        return;
      }
      differs_ = true;
      kept_.assign(set_.substr(0, compared_));
    }
    kept_.append(part);
  }

  // True only when every byte written was compared, each was the set's, and
  // they reached the set's last byte.
  bool same() const { return !differs_ && compared_ == set_.size(); }

  // The bytes written, whole.
  std::string bytes() const { return differs_ ? kept_ : std::string(set_.substr(0, compared_)); }

 private:
  std::string_view set_;
  size_t compared_ = 0;
  bool differs_ = false;
  std::string kept_;
};

// A file the compile pass writes into a LineFileCheck. The file of the same
// name in memory stays empty, so that renaming and deleting it go on there
// as for any other file.
class CheckedFile : public platform::WritableFile {
 public:
  CheckedFile(std::unique_ptr<platform::WritableFile> file, LineFileCheck& check)
      : file_(std::move(file)), check_(check) {}
  void append(std::string_view bytes) override { check_.append(bytes); }
  void sync() override { file_->sync(); }
  void close() override { file_->close(); }

 private:
  std::unique_ptr<platform::WritableFile> file_;
  LineFileCheck& check_;
};

// The file system in memory with the line file checked as it is written
// (under its own name or as the temporary of its replacement); every other
// file is kept whole in memory.
class CheckingFileSystem : public platform::ForwardingFileSystem {
 public:
  CheckingFileSystem(platform::MemoryFileSystem& memory, std::string line_file_name,
                     std::string_view set_line_file)
      : ForwardingFileSystem(memory), name_(std::move(line_file_name)), set_(set_line_file) {}

  std::unique_ptr<platform::WritableFile> create_new(const std::string& path) override {
    std::unique_ptr<platform::WritableFile> file = base().create_new(path);
    const std::string_view name = std::string_view(path).substr(path.find_last_of("/\\") + 1);
    if (name != name_ && !platform::is_partial_of(name, name_)) return file;
    checks_.push_back(std::make_unique<LineFileCheck>(set_));
    return std::make_unique<CheckedFile>(std::move(file), *checks_.back());
  }

  // Every line file written, in order (one for a compile that went through).
  const std::vector<std::unique_ptr<LineFileCheck>>& checks() const { return checks_; }

 private:
  std::string name_;
  std::string_view set_;
  std::vector<std::unique_ptr<LineFileCheck>> checks_;
};

const std::string kMemoryFolder = "/decompile";

// Compiles the two texts through the compile pass, `files` over `memory`
// (memory itself, or a CheckingFileSystem over it), and takes the three
// files out of memory; the line file is missing where none was written.
Recompiled compile_in_memory(platform::MemoryFileSystem& memory, platform::FileSystem& files,
                             const std::string& line_name, const std::string& train_code,
                             const std::string& route_text, const std::string& train_text,
                             bool with_line_file) {
  memory.create_folders(kMemoryFolder);
  model::Scenario s;
  s.files = &files;
  s.app_path = kMemoryFolder;
  s.line_name = line_name;
  s.train_code = train_code;
  memory.add_file(platform::join_path(kMemoryFolder, model::route_description_name(s)), route_text);
  memory.add_file(platform::join_path(kMemoryFolder, model::train_description_name(s)), train_text);
  app::memorizza_percorso(s, with_line_file ? 1 : 0);
  Recompiled out;
  out.error_code = s.error_code;
  out.station_took_train_item =
      s.warning_count > static_cast<int64_t>(s.warnings.size()) ||
      std::any_of(s.warnings.begin(), s.warnings.end(), [](const model::Warning& w) {
        return w.id == model::WarningId::kStopOverTrainItem;
      });
  const std::string line_path = platform::join_path(kMemoryFolder, model::line_file_name(s));
  if (with_line_file && memory.kind(line_path) == platform::FileKind::kRegular)
    out.line_file = memory.take(line_path);
  out.station_file = memory.take(platform::join_path(kMemoryFolder, model::station_file_name(s)));
  out.track_file = memory.take(platform::join_path(kMemoryFolder, model::track_file_name(s)));
  return out;
}

// The compile of the texts that proves them: the station and track files
// whole, the line file checked against the set's as it is written.
struct Proof {
  // line_file holds the recompiled line file only where it is not the set's.
  Recompiled files;
  // Whether the line files are the same: both missing, or byte for byte.
  bool same_line = false;
};

Proof prove(const CompiledBytes& set, const std::string& route_text,
            const std::string& train_text) {
  const bool with_line_file = set.line_file.has_value();
  platform::MemoryFileSystem memory;
  Proof proof;
  if (!with_line_file) {
    proof.files = compile_in_memory(memory, memory, set.line_name, set.train_code, route_text,
                                    train_text, false);
    proof.same_line = true;
    return proof;
  }
  model::Scenario names;
  names.line_name = set.line_name;
  CheckingFileSystem checking(memory, model::line_file_name(names), *set.line_file);
  proof.files = compile_in_memory(memory, checking, set.line_name, set.train_code, route_text,
                                  train_text, true);
  // The file in memory is empty: what was written is in its check. A line
  // file written more than once, or not renamed into place, is not one the
  // compile pass writes; its bytes are not vouched for.
  if (!proof.files.line_file) return proof;
  if (checking.checks().size() != 1) {
    proof.files.line_file.reset();
    return proof;
  }
  const LineFileCheck& check = *checking.checks().front();
  proof.same_line = check.same();
  if (proof.same_line) {
    proof.files.line_file.reset();
  } else {
    proof.files.line_file = check.bytes();
  }
  return proof;
}

}  // namespace

Recompiled compile_texts(const std::string& line_name, const std::string& train_code,
                         const std::string& route_text, const std::string& train_text,
                         bool with_line_file) {
  platform::MemoryFileSystem memory;
  return compile_in_memory(memory, memory, line_name, train_code, route_text, train_text,
                           with_line_file);
}

Decompiled decompile_set(const CompiledBytes& set) {
  const StationFile station = tools::read_station_file(set.station_file);
  const TrackFile track = tools::read_track_file(set.track_file);
  std::optional<LineFile> line;
  if (set.line_file) line = tools::read_line_file(*set.line_file);
  return decompile_set(set, station, track, line ? &*line : nullptr);
}

Decompiled decompile_set(const CompiledBytes& set, const StationFile& station,
                         const TrackFile& track, const LineFile* line) {
  const Reading in{station, track, line};

  Decompiled out;
  out.curves = set.line_file.has_value();
  if (!out.curves) out.notes.push_back("the set has no line file: the route has no curve rows");

  // Speed marks: kind 13 always comes from a row, kind 12 only where the
  // finishing pass does not place the same mark by itself. Found by
  // compiling: rows are added for the marks the compile did not place.
  std::map<int64_t, int> speed_marks;
  const int64_t n = in.track.cell_count();
  for (int64_t c = 0; c <= n; ++c) {
    if (in.track.cells[static_cast<size_t>(c)].kind == model::kSpeedMarkWithoutValue)
      speed_marks[c] = 0;
  }
  Texts texts;
  Proof proof;
  bool compiled = false;
  for (int round = 0; round < 4; ++round) {
    std::vector<std::string> notes;
    texts = build_texts(in, speed_marks, notes);
    if (round == 0) out.notes.insert(out.notes.end(), notes.begin(), notes.end());
    try {
      proof = prove(set, texts.route, texts.train);
      compiled = true;
    } catch (const platform::RuntimeFailure& e) {
      out.notes.push_back(std::string("the descriptions do not compile: ") + e.what());
      compiled = false;
      break;
    } catch (const finish::IdentityError&) {
      out.notes.push_back("the descriptions do not compile: identity error");
      compiled = false;
      break;
    }
    TrackFile track;
    try {
      track = tools::read_track_file(proof.files.track_file);
    } catch (const tools::BadFile&) {
      break;
    }
    bool added = false;
    if (track.cells.size() == in.track.cells.size()) {
      for (int64_t c = 0; c <= n; ++c) {
        const TrackCell& want = in.track.cells[static_cast<size_t>(c)];
        const TrackCell& got = track.cells[static_cast<size_t>(c)];
        if (want.kind != model::kSpeedMark) continue;
        if (got.kind == model::kSpeedMark && got.value1 == want.value1) continue;
        if (speed_marks.count(c) != 0) continue;
        speed_marks[c] = want.value1 >= 1 ? want.value1 : want.value1 + 65536;
        added = true;
      }
    }
    if (!added) break;
  }

  out.route_text = std::move(texts.route);
  out.train_text = std::move(texts.train);
  out.route_rows = texts.route_rows;
  out.train_rows = texts.train_rows;
  if (!compiled) {
    out.exact = false;
    out.differences.push_back("the descriptions could not be compiled");
    return out;
  }
  const Recompiled& again = proof.files;
  if (again.error_code != 0)
    out.notes.push_back("the descriptions compile with error " + std::to_string(again.error_code));

  out.exact = proof.same_line && set.station_file == again.station_file &&
              set.track_file == again.track_file;
  if (out.exact) return out;

  Differences d(out.differences);
  try {
    compare_track(in.track, tools::read_track_file(again.track_file), d);
  } catch (const tools::BadFile& e) {
    d.add(std::string("track file: ") + e.what());
  }
  try {
    compare_station(in.station, tools::read_station_file(again.station_file), d);
  } catch (const tools::BadFile& e) {
    d.add(std::string("station file: ") + e.what());
  }
  if (!proof.same_line) {
    if (in.line && again.line_file) {
      try {
        compare_line(*in.line, tools::read_line_file(*again.line_file), d);
      } catch (const tools::BadFile& e) {
        d.add(std::string("line file: ") + e.what());
      }
    } else if (set.line_file && !again.line_file) {
      d.add("line file: the compile did not write it once and whole");
    }
  }
  if (out.differences.empty()) d.add("the files differ in their bytes");
  d.finish();
  return out;
}

}  // namespace decompile
