#include "tools/report/diff.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <utility>
#include <variant>

#include "compiled/compiled_set.h"
#include "compiled/scenario_view.h"
#include "compiled/set_check.h"
#include "compiled/text.h"
#include "model/item_views.h"
#include "platform/files.h"
#include "platform/runtime_failure.h"

namespace tools {

using json = nlohmann::ordered_json;

namespace {

// ---- Loading a side -------------------------------------------------------------

constexpr std::array<FileKind, 3> kKinds = {FileKind::kStation, FileKind::kTrack, FileKind::kLine};

size_t index_of(FileKind kind) { return static_cast<size_t>(kind); }

ToolError cannot_read(const platform::RuntimeFailure& f) {
  return ToolError(std::string("cannot read: ") + f.what());
}

template <class Content>
std::optional<FileDifference::Side> file_side(const std::optional<Loaded<Content>>& file) {
  if (!file) return std::nullopt;
  return FileDifference::Side{file->name, file->size};
}

std::optional<FileDifference::Side> file_side(const CompiledSet& set, FileKind kind) {
  switch (kind) {
    case FileKind::kStation:
      return file_side(set.station);
    case FileKind::kTrack:
      return file_side(set.track);
    case FileKind::kLine:
      return file_side(set.line);
  }
  return std::nullopt;
}

// ---- Values as shown ------------------------------------------------------------

// A value as read from the file: compared as it is there (names as their
// Windows-1252 bytes), shown only afterwards. monostate: the side has none.
using Raw = std::variant<std::monostate, int64_t, std::string>;

enum class Unit {
  kPlain,
  kMetres,    // "3000 m"
  kPosition,  // "8950 m (km 8+950)"
  kPercent,
  kSeconds,
  kClock,        // "07:29:00"
  kStationTime,  // a clock, or "-" for none (0)
  kText,         // a name or sign text, quoted
  kCellKind,     // a cell kind by its name
};

ShownValue show(const Raw& raw, Unit unit) {
  if (std::holds_alternative<std::monostate>(raw)) return {nullptr, "no cell"};
  if (const std::string* s = std::get_if<std::string>(&raw)) {
    std::string utf8 = to_utf8(*s);
    return {utf8, "\"" + utf8 + "\""};
  }
  const int64_t v = std::get<int64_t>(raw);
  const std::string n = std::to_string(v);
  switch (unit) {
    case Unit::kMetres:
      return {v, n + " m"};
    case Unit::kPosition:
      return {v, position_text(v)};
    case Unit::kPercent:
      return {v, n + " %"};
    case Unit::kSeconds:
      return {v, n + " s"};
    case Unit::kClock:
      return {v, model::clock_text(v)};
    case Unit::kStationTime:
      return {v, v == 0 ? "-" : model::clock_text(v)};
    case Unit::kCellKind:
      return {cell_kind_name(static_cast<int>(v)), cell_kind_name(static_cast<int>(v))};
    case Unit::kPlain:
    case Unit::kText:
      break;
  }
  return {v, n};
}

template <class Record>
struct Field {
  std::string field;
  std::string key;
  Unit unit;
  std::function<Raw(const Record&)> get;
};

template <class Record>
ValueChange change_of(const Field<Record>& f, const Raw& a, const Raw& b) {
  return ValueChange{f.field, f.key, show(a, f.unit), show(b, f.unit)};
}

// The fields of `fields` that differ between a and b.
template <class Record>
std::vector<ValueChange> changed_fields(const std::vector<Field<Record>>& fields, const Record& a,
                                        const Record& b) {
  std::vector<ValueChange> out;
  for (const Field<Record>& f : fields) {
    Raw ra = f.get(a), rb = f.get(b);
    if (ra != rb) out.push_back(change_of(f, ra, rb));
  }
  return out;
}

Raw num(int64_t v) { return Raw{v}; }

// ---- General values ---------------------------------------------------------------

// The general values of the station file. The progressive records are named
// by the word of their row, as `names` (either side) lists them.
std::vector<Field<model::GeneralValues>> general_fields(const model::GeneralValues& names) {
  using G = model::GeneralValues;
  using F = Field<G>;
  std::vector<F> fields;
  for (size_t i = 0; i < names.progressives.size(); ++i) {
    const std::string n(names.progressives[i].keyword);
    const std::string label = "progressive \"" + n + "\" ", key = "progressive_" + n + "_";
    fields.push_back(F{label + "position", key + "position", Unit::kMetres,
                       [i](const G& g) { return num(g.progressives[i].position); }});
    fields.push_back(F{label + "value", key + "value", Unit::kMetres,
                       [i](const G& g) { return num(g.progressives[i].value); }});
    fields.push_back(F{label + "flag", key + "flag", Unit::kPlain,
                       [i](const G& g) { return num(g.progressives[i].flag); }});
  }
  fields.insert(
      fields.end(),
      {
          F{"line length", "line_length", Unit::kMetres,
            [](const G& g) { return num(g.train_general.line_length); }},
          F{"braked mass", "braked_mass_percent", Unit::kPercent,
            [](const G& g) { return num(g.train_general.braked_mass_percent); }},
          F{"cars", "cars", Unit::kPlain, [](const G& g) { return num(g.train_general.cars); }},
          F{"background one", "background_one", Unit::kPlain,
            [](const G& g) { return num(g.line.background_one); }},
          F{"background two", "background_two", Unit::kPlain,
            [](const G& g) { return num(g.line.background_two); }},
          F{"background three", "background_three", Unit::kPlain,
            [](const G& g) { return num(g.line.background_three); }},
          F{"signal repetition one", "signal_repetition_one", Unit::kMetres,
            [](const G& g) { return num(g.train.signal_repetition_one); }},
          F{"signal repetition two", "signal_repetition_two", Unit::kMetres,
            [](const G& g) { return num(g.train.signal_repetition_two); }},
          F{"signal repetition code count", "signal_repetition_code_count", Unit::kPlain,
            [](const G& g) { return num(g.train.code_count); }},
          F{"sand", "sand", Unit::kPlain, [](const G& g) { return num(g.train.sand); }},
          F{"clock", "clock", Unit::kClock, [](const G& g) { return num(g.train.clock()); }},
          F{"line name", "line_name", Unit::kText,
            [](const G& g) { return Raw{g.line.line_name}; }},
          F{"train code", "train_code", Unit::kText,
            [](const G& g) { return Raw{g.train.train_code}; }},
          F{"slot 85 marker", "station_marker", Unit::kPlain,
            [](const G& g) { return num(g.line.marker); }},
          F{"slot 85 weighted code", "weighted_code", Unit::kPlain,
            [](const G& g) { return num(g.line.weighted_code); }},
      });
  return fields;
}

// The identity stamps of the track file sit in cell 1; they are shown with
// the general values, and left out of the cells.
constexpr size_t kIdentityCell = 1;

std::vector<Field<TrackIdentity>> track_identity_fields() {
  using F = Field<TrackIdentity>;
  return {
      F{"cell 1 marker", "track_marker", Unit::kPlain,
        [](const TrackIdentity& t) { return num(t.marker); }},
      F{"cell 1 ordinary code", "ordinary_code", Unit::kPlain,
        [](const TrackIdentity& t) { return num(t.ordinary_code); }},
  };
}

// ---- Stations and route signs -------------------------------------------------------

std::vector<Field<model::StationView>> station_fields() {
  using S = model::StationView;
  using F = Field<S>;
  std::vector<F> fields = {
      F{"name", "name", Unit::kText, [](const S& s) { return Raw{s.name}; }},
      F{"kind", "kind", Unit::kPlain, [](const S& s) { return num(s.kind); }},
      F{"time", "time", Unit::kStationTime, [](const S& s) { return num(s.departure_time); }},
      F{"stop time", "stop_time", Unit::kSeconds, [](const S& s) { return num(s.stop_time); }},
      F{"position", "position", Unit::kPosition, [](const S& s) { return num(s.position); }},
      F{"area start", "area_start", Unit::kMetres, [](const S& s) { return num(s.area_start); }},
      F{"area end", "area_end", Unit::kMetres, [](const S& s) { return num(s.area_end); }},
      F{"flag", "flag", Unit::kPlain, [](const S& s) { return num(s.flag); }},
  };
  for (size_t w = 0; w < std::tuple_size_v<decltype(S::words)>; ++w) {
    const std::string n = std::to_string(w + 1);
    fields.push_back(
        F{"word " + n, "word" + n, Unit::kPlain, [w](const S& s) { return num(s.words[w]); }});
  }
  // Byte 2 is the stop time, shown above.
  for (size_t b : std::array<size_t, 3>{0, 2, 3}) {
    const std::string n = std::to_string(b + 1);
    fields.push_back(
        F{"byte " + n, "byte" + n, Unit::kPlain, [b](const S& s) { return num(s.bytes[b]); }});
  }
  return fields;
}

// The values listed for a station that only one side has.
std::vector<ValueChange> station_summary(const model::StationView& s, bool on_a) {
  std::vector<ValueChange> out;
  for (const auto& f : station_fields()) {
    if (f.key != "position" && f.key != "time") continue;
    ShownValue v = show(f.get(s), f.unit);
    ValueChange c{f.field, f.key, {nullptr, ""}, {nullptr, ""}};
    (on_a ? c.a : c.b) = std::move(v);
    out.push_back(std::move(c));
  }
  return out;
}

// A side's stations or route signs by slot.
template <class Item>
using BySlot = std::map<int, const Item*>;

template <class Item>
BySlot<Item> by_slot(const std::vector<Item>& items) {
  BySlot<Item> out;
  for (const Item& i : items) out.emplace(i.slot, &i);
  return out;
}

template <class Item>
const Item* at_slot(const BySlot<Item>& items, int s) {
  auto i = items.find(s);
  return i == items.end() ? nullptr : i->second;
}

template <class Item>
std::vector<int> union_of(const BySlot<Item>& a, const BySlot<Item>& b, bool downward) {
  std::set<int> all;
  for (const auto& [s, item] : a) all.insert(s);
  for (const auto& [s, item] : b) all.insert(s);
  std::vector<int> out(all.begin(), all.end());
  if (downward) std::reverse(out.begin(), out.end());
  return out;
}

std::vector<ItemDifference> compare_stations(const StationFileView& a, const StationFileView& b) {
  const BySlot<model::StationView> in_a = by_slot(a.stations), in_b = by_slot(b.stations);
  const std::vector<Field<model::StationView>> fields = station_fields();
  std::vector<ItemDifference> out;
  for (int s : union_of(in_a, in_b, false)) {
    const model::StationView* sa = at_slot(in_a, s);
    const model::StationView* sb = at_slot(in_b, s);
    if (!sb) {
      out.push_back({s, to_utf8(sa->name), ItemChange::kRemoved, station_summary(*sa, true)});
    } else if (!sa) {
      out.push_back({s, to_utf8(sb->name), ItemChange::kAdded, station_summary(*sb, false)});
    } else if (std::vector<ValueChange> c = changed_fields(fields, *sa, *sb); !c.empty()) {
      out.push_back({s, to_utf8(sa->name), ItemChange::kChanged, std::move(c)});
    }
  }
  return out;
}

// Where a route sign stands; no cell (monostate) when its side's track holds
// no sign of the slot.
Raw sign_position(const RouteSignView& sign) { return sign.position ? num(*sign.position) : Raw{}; }

const std::vector<Field<RouteSignView>> kSignFields = {
    {"text", "text", Unit::kText, [](const RouteSignView& s) { return Raw{s.text}; }}};
const char kPositionField[] = "position";

std::vector<ItemDifference> compare_signs(const ScenarioView& a, const ScenarioView& b) {
  const BySlot<RouteSignView> in_a = by_slot(a.station->signs), in_b = by_slot(b.station->signs);
  // Positions are known only on a side with a track to hold them.
  const bool placed_a = a.track.has_value(), placed_b = b.track.has_value();
  auto position_only = [](bool placed, const RouteSignView& sign, bool on_a) {
    std::vector<ValueChange> out;
    if (!placed) return out;
    ValueChange c{kPositionField, kPositionField, {nullptr, ""}, {nullptr, ""}};
    (on_a ? c.a : c.b) = show(sign_position(sign), Unit::kPosition);
    out.push_back(std::move(c));
    return out;
  };
  std::vector<ItemDifference> out;
  for (int s : union_of(in_a, in_b, true)) {
    const RouteSignView* sa = at_slot(in_a, s);
    const RouteSignView* sb = at_slot(in_b, s);
    if (!sb) {
      out.push_back(
          {s, to_utf8(sa->text), ItemChange::kRemoved, position_only(placed_a, *sa, true)});
      continue;
    }
    if (!sa) {
      out.push_back(
          {s, to_utf8(sb->text), ItemChange::kAdded, position_only(placed_b, *sb, false)});
      continue;
    }
    std::vector<ValueChange> c = changed_fields(kSignFields, *sa, *sb);
    // Positions are compared only when both sides have a track to hold them.
    if (placed_a && placed_b && sign_position(*sa) != sign_position(*sb)) {
      c.push_back({kPositionField, kPositionField, show(sign_position(*sa), Unit::kPosition),
                   show(sign_position(*sb), Unit::kPosition)});
    }
    if (!c.empty()) out.push_back({s, to_utf8(sa->text), ItemChange::kChanged, std::move(c)});
  }
  return out;
}

// ---- Cells --------------------------------------------------------------------------

struct CellField {
  const char* field;
  const char* key;
  Unit unit;
  int64_t (*get)(const CellView&);
  bool identity;  // holds the identity stamp in cell 1
};

const CellField kCellFields[] = {
    {"gradient", "gradient", Unit::kPlain, [](const CellView& c) -> int64_t { return c.gradient; },
     false},
    {"speed limit", "speed_limit", Unit::kPlain,
     [](const CellView& c) -> int64_t { return c.speed_limit; }, false},
    {"adhesion", "adhesion", Unit::kPlain, [](const CellView& c) -> int64_t { return c.adhesion; },
     false},
    {"kind", "kind", Unit::kCellKind, [](const CellView& c) -> int64_t { return c.kind; }, false},
    {"value 1", "value1", Unit::kPlain, [](const CellView& c) -> int64_t { return c.values[0]; },
     true},
    {"value 2", "value2", Unit::kPlain, [](const CellView& c) -> int64_t { return c.values[1]; },
     true},
    {"value 3", "value3", Unit::kPlain, [](const CellView& c) -> int64_t { return c.values[2]; },
     false},
    {"value 4", "value4", Unit::kPlain, [](const CellView& c) -> int64_t { return c.values[3]; },
     false},
    {"signal time", "signal_time", Unit::kPlain,
     [](const CellView& c) -> int64_t { return c.signal_time; }, false},
    {"approach mark", "approach_mark", Unit::kPlain,
     [](const CellView& c) -> int64_t { return c.approach_mark; }, false},
    {"mountain type", "mountain_type", Unit::kPlain,
     [](const CellView& c) -> int64_t { return c.mountain_type; }, false},
};

std::vector<CellRun> compare_cells(const TrackFileView& a, const TrackFileView& b) {
  const size_t common = std::min(a.cells.size(), b.cells.size());
  std::vector<CellRun> out;
  for (const CellField& f : kCellFields) {
    auto differs = [&](size_t i) {
      if (f.identity && i == kIdentityCell) return false;
      return f.get(a.cells[i]) != f.get(b.cells[i]);
    };
    for (size_t i = 0; i < common;) {
      if (!differs(i)) {
        ++i;
        continue;
      }
      const int64_t first_a = f.get(a.cells[i]), first_b = f.get(b.cells[i]);
      size_t j = i;
      bool varying = false;
      while (j + 1 < common && differs(j + 1)) {
        ++j;
        varying = varying || f.get(a.cells[j]) != first_a || f.get(b.cells[j]) != first_b;
      }
      out.push_back(CellRun{f.field, f.key, static_cast<int32_t>(i), static_cast<int32_t>(j),
                            show(num(first_a), f.unit), show(num(first_b), f.unit), varying});
      i = j + 1;
    }
  }
  return out;
}

// ---- Plan ---------------------------------------------------------------------------

bool computed(const LineFile& f, size_t m) {
  return f.x[m].type != kPlanEmpty && f.y[m].type != kPlanEmpty;
}

bool same_bits(double p, double q) {
  uint64_t bp = 0, bq = 0;
  std::memcpy(&bp, &p, sizeof p);
  std::memcpy(&bq, &q, sizeof q);
  return bp == bq;
}

PlanDifference compare_plans(const LineFile& a, const LineFile& b) {
  PlanDifference d;
  d.a_last_point = a.last_point();
  d.b_last_point = b.last_point();
  const size_t common = std::min(a.x.size(), b.x.size());
  for (size_t m = 0; m < common; ++m) {
    const bool ca = computed(a, m), cb = computed(b, m);
    if (ca != cb) {
      ++d.computed_on_one_side;
      continue;
    }
    if (!ca) continue;
    const double xa = a.x[m].value, ya = a.y[m].value, xb = b.x[m].value, yb = b.y[m].value;
    const double moved = std::hypot(xb - xa, yb - ya);
    if (!std::isfinite(moved)) {
      // A NaN compares unequal to itself: the same bits are the same point.
      if (!same_bits(xa, xb) || !same_bits(ya, yb)) ++d.not_finite;
      continue;
    }
    if (moved > d.largest_displacement) {
      d.largest_displacement = moved;
      d.at_point = static_cast<int32_t>(m);
    }
  }
  return d;
}

// The station and track files of `set`, to be decoded without the plan.
CompiledSet without_line(const CompiledSet& set) { return CompiledSet{set.station, set.track, {}}; }

}  // namespace

// Which files make up the scenario and that they belong together, each file
// read once: what is shown and whether the sides are identical come from
// those very bytes. The side's path goes before a file's own complaint: both
// sides often hold files of the same names.
DiffSide load_diff_side(platform::FileSystem& fs, const std::string& path) {
  DiffSide side;
  side.path = path;
  try {
    side.set = load_compiled(fs, path, true, &side.bytes);
  } catch (const SetMismatch& e) {
    throw SetMismatch(path + ": " + e.what());
  } catch (const BadFile& e) {
    throw BadFile(path + ": " + e.what());
  } catch (const platform::RuntimeFailure& f) {
    throw cannot_read(f);
  }
  return side;
}

bool same_files(const DiffSide& a, const DiffSide& b) {
  for (FileKind kind : kKinds) {
    const auto& ba = a.bytes[index_of(kind)];
    const auto& bb = b.bytes[index_of(kind)];
    if (ba.has_value() != bb.has_value() || (ba && *ba != *bb)) return false;
  }
  return true;
}

CompiledDiff diff_compiled(platform::FileSystem& fs, const std::string& a, const std::string& b) {
  DiffSide sa = load_diff_side(fs, a);
  DiffSide sb = load_diff_side(fs, b);
  return diff_sides(std::move(sa), std::move(sb));
}

CompiledDiff diff_sides(DiffSide sa, DiffSide sb) {
  CompiledDiff d;
  d.a_path = sa.path;
  d.b_path = sb.path;
  for (FileKind kind : kKinds) {
    const auto& ba = sa.bytes[index_of(kind)];
    const auto& bb = sb.bytes[index_of(kind)];
    if (ba.has_value() == bb.has_value() && (!ba || *ba == *bb)) continue;
    d.files.push_back({kind, file_side(sa.set, kind), file_side(sb.set, kind)});
  }
  d.identical = d.files.empty();
  // The bytes are not needed past this point; a line file may be 20 MB.
  sa.bytes = {};
  sb.bytes = {};
  if (d.identical) return d;

  // The station and track files as inspection shows them. The plans are
  // compared from the line files themselves, point by point.
  const ScenarioView va = view_of(without_line(sa.set));
  const ScenarioView vb = view_of(without_line(sb.set));
  if (va.station && vb.station) {
    const model::GeneralValues& ga = va.station->general;
    const model::GeneralValues& gb = vb.station->general;
    d.general = changed_fields(general_fields(ga), ga, gb);
    d.stations = compare_stations(*va.station, *vb.station);
    d.signs = compare_signs(va, vb);
  }
  if (va.track && vb.track) {
    const TrackFileView& ta = *va.track;
    const TrackFileView& tb = *vb.track;
    std::vector<ValueChange> stamps =
        changed_fields(track_identity_fields(), ta.identity, tb.identity);
    d.general.insert(d.general.end(), stamps.begin(), stamps.end());
    if (ta.cell_count != tb.cell_count) d.track = TrackLengths{ta.cell_count, tb.cell_count};
    d.cells = compare_cells(ta, tb);
  }
  const bool line_differs =
      std::any_of(d.files.begin(), d.files.end(),
                  [](const FileDifference& f) { return f.kind == FileKind::kLine; });
  if (sa.set.line && sb.set.line && line_differs)
    d.plan = compare_plans(sa.set.line->content, sb.set.line->content);
  return d;
}

// ---- Printing -------------------------------------------------------------------------

namespace {

const char* change_name(ItemChange c) {
  switch (c) {
    case ItemChange::kAdded:
      return "added";
    case ItemChange::kRemoved:
      return "removed";
    case ItemChange::kChanged:
      break;
  }
  return "changed";
}

std::string file_line(const FileDifference& f, const CompiledDiff& d) {
  const std::string label = kind_label(f.kind);
  auto what_is_lost = [&]() -> std::string {
    switch (f.kind) {
      case FileKind::kStation:
        return "general values, stations and route signs are not compared";
      case FileKind::kTrack:
        return "cells are not compared";
      case FileKind::kLine:
        break;
    }
    return "the plan is not compared";
  };
  if (!f.b)
    return label + " " + to_utf8(f.a->name) + " only in " + d.a_path + ": " + what_is_lost();
  if (!f.a)
    return label + " " + to_utf8(f.b->name) + " only in " + d.b_path + ": " + what_is_lost();
  if (f.a->name == f.b->name) {
    return label + " " + to_utf8(f.a->name) + " differs (" + std::to_string(f.a->size) + " -> " +
           std::to_string(f.b->size) + " bytes)";
  }
  return label + " differs: " + to_utf8(f.a->name) + " (" + std::to_string(f.a->size) +
         " bytes) -> " + to_utf8(f.b->name) + " (" + std::to_string(f.b->size) + " bytes)";
}

std::string change_text(const ValueChange& c) {
  return c.field + " " + c.a.text + " -> " + c.b.text;
}

std::string item_line(const char* what, const ItemDifference& item) {
  std::string line = std::string(what) + " " + std::to_string(item.slot) + " \"" + item.name + "\"";
  if (item.change != ItemChange::kChanged) line += std::string(" ") + change_name(item.change);
  std::string sep = ": ";
  for (const ValueChange& c : item.fields) {
    line += sep;
    sep = ", ";
    switch (item.change) {
      case ItemChange::kChanged:
        line += change_text(c);
        break;
      case ItemChange::kAdded:
        line += c.field + " " + c.b.text;
        break;
      case ItemChange::kRemoved:
        line += c.field + " " + c.a.text;
        break;
    }
  }
  return line;
}

std::string cells_text(int32_t count) {
  return "cells 0 .. " + std::to_string(count) + " (" + std::to_string(int64_t{count} * 50) + " m)";
}

std::string run_line(const CellRun& r) {
  std::string line = r.field + " " + km_text(int64_t{r.first_cell} * 50);
  if (r.last_cell != r.first_cell) line += " - " + km_text(int64_t{r.last_cell} * 50);
  line += ": ";
  if (r.varying) {
    line += "varying over " + std::to_string(r.last_cell - r.first_cell + 1) + " cells, first ";
  }
  return line + r.a.text + " -> " + r.b.text;
}

std::string fixed3(double v) {
  std::ostringstream s;
  s.setf(std::ios::fixed);
  s.precision(3);
  s << v;
  return s.str();
}

std::vector<std::string> plan_lines(const PlanDifference& p) {
  std::vector<std::string> lines;
  if (p.a_last_point != p.b_last_point) {
    lines.push_back("points 0 .. " + std::to_string(p.a_last_point) + " -> 0 .. " +
                    std::to_string(p.b_last_point) + "; points 0 .. " +
                    std::to_string(std::min(p.a_last_point, p.b_last_point)) + " compared");
  }
  if (p.largest_displacement > 0) {
    lines.push_back("largest displacement " + fixed3(p.largest_displacement) + " m, at " +
                    km_text(p.at_point));
  } else {
    lines.push_back("no point computed in both plans moved");
  }
  if (p.computed_on_one_side > 0) {
    lines.push_back(std::to_string(p.computed_on_one_side) + " points computed in one plan only");
  }
  if (p.not_finite > 0) {
    lines.push_back(std::to_string(p.not_finite) +
                    " points differ where a coordinate is not a finite number");
  }
  return lines;
}

// Prints a section's heading and at most `limit` of its lines.
void print_section(std::ostream& out, const char* heading, const std::vector<std::string>& first,
                   const std::vector<std::string>& lines, size_t limit) {
  if (first.empty() && lines.empty()) return;
  out << heading << "\n";
  for (const std::string& l : first) out << "  " << l << "\n";
  const size_t shown = std::min(limit, lines.size());
  for (size_t i = 0; i < shown; ++i) out << "  " << lines[i] << "\n";
  if (shown < lines.size()) out << "  ... and " << lines.size() - shown << " more\n";
}

template <class T, class F>
std::vector<std::string> lines_of(const std::vector<T>& items, F line) {
  std::vector<std::string> out;
  out.reserve(items.size());
  for (const T& i : items) out.push_back(line(i));
  return out;
}

json value_json(const ValueChange& c) {
  return json{{"field", c.key},
              {"a", c.a.value},
              {"b", c.b.value},
              {"a_text", c.a.text},
              {"b_text", c.b.text}};
}

json file_side_json(const std::optional<FileDifference::Side>& s) {
  if (!s) return nullptr;
  return json{{"name", to_utf8(s->name)}, {"size", s->size}};
}

json item_json(const ItemDifference& item, const char* name_key) {
  json fields = json::array();
  for (const ValueChange& c : item.fields) fields.push_back(value_json(c));
  return json{{"slot", item.slot},
              {name_key, item.name},
              {"change", change_name(item.change)},
              {"fields", fields}};
}

json run_json(const CellRun& r) {
  return json{{"field", r.key},
              {"first_cell", r.first_cell},
              {"last_cell", r.last_cell},
              {"from_metres", int64_t{r.first_cell} * 50},
              {"to_metres", int64_t{r.last_cell} * 50},
              {"cells", r.last_cell - r.first_cell + 1},
              {"a", r.a.value},
              {"b", r.b.value},
              {"varying", r.varying}};
}

// A section cut to `limit` entries; what was left out is counted.
template <class T, class F>
json bounded(const std::vector<T>& items, size_t limit, json& left_out, const char* name,
             F to_json) {
  json a = json::array();
  const size_t shown = std::min(limit, items.size());
  for (size_t i = 0; i < shown; ++i) a.push_back(to_json(items[i]));
  left_out[name] = items.size() - shown;
  return a;
}

}  // namespace

void print_diff(const CompiledDiff& d, std::ostream& out, size_t limit) {
  if (d.identical) {
    out << "no difference: " << d.a_path << " and " << d.b_path
        << " hold the same compiled files\n";
    return;
  }
  print_section(out, "files", {},
                lines_of(d.files, [&](const FileDifference& f) { return file_line(f, d); }), limit);
  print_section(
      out, "general values", {},
      lines_of(d.general,
               [](const ValueChange& c) { return c.field + ": " + c.a.text + " -> " + c.b.text; }),
      limit);
  print_section(
      out, "stations", {},
      lines_of(d.stations, [](const ItemDifference& i) { return item_line("station", i); }), limit);
  print_section(
      out, "route signs", {},
      lines_of(d.signs, [](const ItemDifference& i) { return item_line("route sign", i); }), limit);
  std::vector<std::string> track;
  if (d.track) {
    track.push_back("track " + cells_text(d.track->a_cell_count) + " -> " +
                    cells_text(d.track->b_cell_count) + "; cells 0 .. " +
                    std::to_string(std::min(d.track->a_cell_count, d.track->b_cell_count)) +
                    " compared");
  }
  print_section(out, "cells", track, lines_of(d.cells, run_line), limit);
  if (d.plan) print_section(out, "plan", {}, plan_lines(*d.plan), limit);
}

json diff_json(const CompiledDiff& d, size_t limit) {
  json left_out = json::object();
  json j{{"a", d.a_path}, {"b", d.b_path}, {"identical", d.identical}};
  j["files"] = bounded(d.files, limit, left_out, "files", [](const FileDifference& f) {
    return json{
        {"kind", kind_label(f.kind)}, {"a", file_side_json(f.a)}, {"b", file_side_json(f.b)}};
  });
  j["general"] = bounded(d.general, limit, left_out, "general", value_json);
  j["stations"] = bounded(d.stations, limit, left_out, "stations",
                          [](const ItemDifference& i) { return item_json(i, "name"); });
  j["route_signs"] = bounded(d.signs, limit, left_out, "route_signs",
                             [](const ItemDifference& i) { return item_json(i, "text"); });
  j["track"] = d.track ? json{{"a_cell_count", d.track->a_cell_count},
                              {"b_cell_count", d.track->b_cell_count}}
                       : json(nullptr);
  j["cells"] = bounded(d.cells, limit, left_out, "cells", run_json);
  if (d.plan) {
    const PlanDifference& p = *d.plan;
    j["plan"] = json{{"a_last_point", p.a_last_point},
                     {"b_last_point", p.b_last_point},
                     {"largest_displacement", p.largest_displacement},
                     {"at_point", p.largest_displacement > 0 ? json(p.at_point) : json(nullptr)},
                     {"computed_on_one_side", p.computed_on_one_side},
                     {"not_finite", p.not_finite}};
  } else {
    j["plan"] = nullptr;
  }
  j["left_out"] = left_out;
  return j;
}

}  // namespace tools
