#include "tools/inspect.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <sstream>
#include <vector>

#include "model/scenario.h"
#include "tools/text.h"

namespace tools {

using json = nlohmann::ordered_json;

namespace {

// ---- A plain text table -------------------------------------------------------

size_t display_width(const std::string& utf8) {
  size_t n = 0;
  for (char c : utf8) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

// Columns are right-aligned unless their index is in `left`.
class Table {
 public:
  explicit Table(std::vector<std::string> header, std::vector<size_t> left = {})
      : left_(std::move(left)) {
    rows_.push_back(std::move(header));
  }
  void add(std::vector<std::string> row) { rows_.push_back(std::move(row)); }

  void print(std::ostream& out, const std::string& indent) const {
    std::vector<size_t> width;
    for (const auto& row : rows_) {
      width.resize(std::max(width.size(), row.size()), 0);
      for (size_t i = 0; i < row.size(); ++i) width[i] = std::max(width[i], display_width(row[i]));
    }
    for (const auto& row : rows_) {
      std::string line = indent;
      for (size_t i = 0; i < row.size(); ++i) {
        std::string pad(width[i] - display_width(row[i]), ' ');
        bool is_left = std::find(left_.begin(), left_.end(), i) != left_.end();
        if (i > 0) line += "  ";
        line += is_left ? row[i] + (i + 1 < row.size() ? pad : "") : pad + row[i];
      }
      out << line << "\n";
    }
  }

 private:
  std::vector<size_t> left_;
  std::vector<std::vector<std::string>> rows_;
};

std::string str(int64_t v) { return std::to_string(v); }

std::string metres(double v) {
  if (!std::isfinite(v)) return std::isnan(v) ? "nan" : (v > 0 ? "inf" : "-inf");
  std::ostringstream s;
  s.setf(std::ios::fixed);
  s.precision(1);
  s << v;
  return s.str();
}

// ---- Station file -------------------------------------------------------------

const char* const kProgressiveNames[] = {"tre", "due", "uno"};  // slots 81, 82, 83

const model::ItemRecord& slot(const StationFile& f, int i) {
  return f.slots[static_cast<size_t>(i)];
}

json station_json(const StationFile& f, int i) {
  const model::ItemRecord& r = slot(f, i);
  return json{{"slot", i},
              {"name", to_utf8(r.item_name)},
              {"kind", r.item_kind},
              {"area_start", r.area_start},
              {"area_end", r.area_end},
              {"position", r.item_position},
              {"flag", r.item_flag},
              {"words", {r.item_word1, r.item_word2, r.item_word3, r.item_word4, r.item_word5}},
              {"bytes", {r.item_byte1, r.item_byte2, r.item_byte3, r.item_byte4}},
              {"time", r.item_time},
              {"time_text", clock_text(r.item_time)},
              {"stop_time", r.item_byte2}};
}

struct StationIdentity {
  bool marker_ok = false;
  IdentityCodes expected;
  bool weighted_ok = false;
  bool file_name_ok = false;
};

StationIdentity station_identity(const Loaded<StationFile>& st) {
  const model::ItemRecord& line = slot(st.content, model::kSlotLine);
  const model::ItemRecord& train = slot(st.content, model::kSlotTrain);
  StationIdentity id;
  id.marker_ok = line.item_word1 == 610;
  id.expected = identity_codes(line.item_name, train.item_name);
  id.weighted_ok = line.item_time == id.expected.weighted;
  id.file_name_ok = st.name == line.item_name + "_" + train.item_name + ".sim";
  return id;
}

json general_json(const StationFile& f) {
  json progressive = json::array();
  for (int i = 0; i < 3; ++i) {
    const model::ItemRecord& r = slot(f, model::kSlotProgressiveTre + i);
    progressive.push_back({{"slot", model::kSlotProgressiveTre + i},
                           {"record", kProgressiveNames[i]},
                           {"position", r.area_start},
                           {"value", r.area_end},
                           {"flag", r.item_position}});
  }
  const model::ItemRecord& g84 = slot(f, model::kSlotTrainGeneral);
  const model::ItemRecord& g85 = slot(f, model::kSlotLine);
  const model::ItemRecord& g86 = slot(f, model::kSlotTrain);
  return json{{"progressive", progressive},
              {"braked_mass_percent", g84.area_start},
              {"line_length", g84.area_end},
              {"cars", g84.item_position},
              {"background",
               {{"one", g85.area_start}, {"two", g85.item_position}, {"three", g85.area_end}}},
              {"line_name", to_utf8(g85.item_name)},
              {"signal_repetition",
               {{"one", g86.area_start}, {"two", g86.area_end}, {"code_count", g86.item_position}}},
              {"train_code", to_utf8(g86.item_name)},
              {"sand", g86.item_word1},
              {"clock", clock_text(int64_t{g86.item_word3} * 3600 + int64_t{g86.item_word4} * 60 +
                                   g86.item_word5)}};
}

json station_file_json(const CompiledSet& set) {
  const Loaded<StationFile>& st = *set.station;
  const StationFile& f = st.content;
  StationIdentity id = station_identity(st);
  const model::ItemRecord& g85 = slot(f, model::kSlotLine);

  json stations = json::array();
  for (int i : station_slots(f)) stations.push_back(station_json(f, i));

  std::map<int, int32_t> cells;
  if (set.track) cells = sign_cells(set.track->content);
  json signs = json::array();
  for (int i : sign_slots(f)) {
    json sign{{"slot", i},
              {"text", to_utf8(slot(f, i).item_name)},
              {"cell", nullptr},
              {"position", nullptr}};
    if (auto c = cells.find(i); c != cells.end()) {
      sign["cell"] = c->second;
      sign["position"] = placed_position(c->second);
    }
    signs.push_back(sign);
  }
  return json{{"name", to_utf8(st.name)},
              {"size", st.size},
              {"general", general_json(f)},
              {"identity",
               {{"marker", g85.item_word1},
                {"marker_ok", id.marker_ok},
                {"weighted_code", g85.item_time},
                {"expected_weighted_code", id.expected.weighted},
                {"weighted_code_ok", id.weighted_ok},
                {"names_match_file_name", id.file_name_ok}}},
              {"stations", stations},
              {"signs", signs}};
}

void print_station_file(const CompiledSet& set, std::ostream& out) {
  const Loaded<StationFile>& st = *set.station;
  const StationFile& f = st.content;
  const model::ItemRecord& g84 = slot(f, model::kSlotTrainGeneral);
  const model::ItemRecord& g85 = slot(f, model::kSlotLine);
  const model::ItemRecord& g86 = slot(f, model::kSlotTrain);
  StationIdentity id = station_identity(st);
  std::string names = to_utf8(g85.item_name) + " / " + to_utf8(g86.item_name);

  out << "station file " << to_utf8(st.name) << ": " << st.size << " bytes, " << model::kItemSlots
      << " slots\n";
  out << "  general slots\n";
  for (int i = 0; i < 3; ++i) {
    const model::ItemRecord& r = slot(f, model::kSlotProgressiveTre + i);
    out << "    " << model::kSlotProgressiveTre + i << "  progressive \"" << kProgressiveNames[i]
        << "\": position " << r.area_start << " m, value " << r.area_end << " m, flag "
        << r.item_position << "\n";
  }
  out << "    84  braked mass " << g84.area_start << " %, line length " << g84.area_end
      << " m, cars " << g84.item_position << "\n";
  out << "    85  backgrounds one " << g85.area_start << ", two " << g85.item_position << ", three "
      << g85.area_end << "; line name " << to_utf8(g85.item_name) << "\n";
  out << "    86  signal repetition " << g86.area_start << " m and " << g86.area_end
      << " m, code count " << g86.item_position << "; train code " << to_utf8(g86.item_name)
      << "; sand " << g86.item_word1 << "; clock "
      << clock_text(int64_t{g86.item_word3} * 3600 + int64_t{g86.item_word4} * 60 + g86.item_word5)
      << "\n";
  out << "  identity stamps\n";
  out << "    slot 85 marker " << g85.item_word1 << (id.marker_ok ? " (ok)" : " (expected 610)")
      << "\n";
  out << "    slot 85 weighted code " << g85.item_time
      << (id.weighted_ok
              ? " (matches " + names + ")"
              : " (does not match " + names + ": expected " + str(id.expected.weighted) + ")")
      << "\n";
  out << "    file name " << (id.file_name_ok ? "matches" : "does not match") << " the names "
      << names << "\n";

  std::vector<int> stations = station_slots(f);
  out << "  stations: " << stations.size() << "\n";
  if (!stations.empty()) {
    Table t({"slot", "name", "kind", "area (m)", "position (m)", "time", "stop (s)"}, {1, 3});
    for (int i : stations) {
      const model::ItemRecord& r = slot(f, i);
      t.add({str(i), to_utf8(r.item_name), str(r.item_kind),
             str(r.area_start) + " .. " + str(r.area_end), str(r.item_position),
             r.item_time == 0 ? "-" : clock_text(r.item_time), str(r.item_byte2)});
    }
    t.print(out, "    ");
  }

  std::vector<int> signs = sign_slots(f);
  std::map<int, int32_t> cells;
  if (set.track) cells = sign_cells(set.track->content);
  out << "  route signs: " << signs.size() << "\n";
  if (!signs.empty()) {
    Table t({"slot", "cell", "position (m)", "text"}, {3});
    for (int i : signs) {
      auto c = cells.find(i);
      bool known = c != cells.end();
      t.add({str(i), known ? str(c->second) : "?", known ? str(placed_position(c->second)) : "?",
             to_utf8(slot(f, i).item_name)});
    }
    t.print(out, "    ");
  }
}

// ---- Track file ---------------------------------------------------------------

struct TrackIdentity {
  int16_t marker = 0;
  int16_t code = 0;
  std::optional<Names> names;
  IdentityCodes expected;
};

TrackIdentity track_identity(const CompiledSet& set) {
  const TrackFile& t = set.track->content;
  TrackIdentity id;
  id.marker = t.cells[1].value1;
  id.code = t.cells[1].value2;
  id.names = names_for_track(set);
  if (id.names) id.expected = identity_codes(id.names->line, id.names->train);
  return id;
}

std::map<int, int64_t> kind_counts(const TrackFile& t) {
  std::map<int, int64_t> counts;
  for (const model::TrackCell& c : t.cells) ++counts[c.kind];
  return counts;
}

json cell_json(const model::TrackCell& c, size_t i) {
  return json{{"cell", i},
              {"metres", int64_t(i) * 50},
              {"kind", c.kind},
              {"values", {c.value1, c.value2, c.value3, c.value4}},
              {"signal_time", c.signal_time},
              {"approach_mark", c.approach_mark},
              {"mountain_type", c.mountain_type},
              {"speed", int{c.speed_code} * 5},
              {"gradient", int{c.gradient_code} - 100},
              {"adhesion", c.adhesion_code}};
}

json track_file_json(const CompiledSet& set, bool cells) {
  const Loaded<TrackFile>& tr = *set.track;
  TrackIdentity id = track_identity(set);
  json kinds = json::array();
  for (auto [kind, count] : kind_counts(tr.content)) {
    kinds.push_back({{"kind", kind}, {"name", cell_kind_name(kind)}, {"count", count}});
  }
  json j{{"name", to_utf8(tr.name)},
         {"size", tr.size},
         {"cell_count", tr.content.cell_count()},
         {"identity",
          {{"marker", id.marker},
           {"marker_ok", id.marker == 5121},
           {"ordinary_code", id.code},
           {"names", id.names ? json(id.names->shown) : json(nullptr)},
           {"expected_ordinary_code", id.names ? json(id.expected.ordinary) : json(nullptr)},
           {"ordinary_code_ok", id.names && id.expected.ordinary == id.code}}},
         {"kinds", kinds}};
  if (cells) {
    json list = json::array();
    for (size_t i = 0; i < tr.content.cells.size(); ++i) {
      list.push_back(cell_json(tr.content.cells[i], i));
    }
    j["cells"] = std::move(list);
  }
  return j;
}

void print_track_file(const CompiledSet& set, bool cells, std::ostream& out) {
  const Loaded<TrackFile>& tr = *set.track;
  const TrackFile& t = tr.content;
  TrackIdentity id = track_identity(set);
  out << "track file " << to_utf8(tr.name) << ": " << tr.size << " bytes, cells 0 .. "
      << t.cell_count() << " (" << int64_t{t.cell_count()} * 50 << " m)\n";
  out << "  identity stamps\n";
  out << "    cell 1 marker " << id.marker << (id.marker == 5121 ? " (ok)" : " (expected 5121)")
      << "\n";
  out << "    cell 1 ordinary code " << id.code;
  if (!id.names) {
    out << " (no names to check it against)\n";
  } else {
    const std::string& names = id.names->shown;
    out << (id.expected.ordinary == id.code
                ? " (matches " + names + ")"
                : " (does not match " + names + ": expected " + str(id.expected.ordinary) + ")")
        << "\n";
  }
  out << "  cells per kind\n";
  Table k({"kind", "name", "cells"}, {1});
  for (auto [kind, count] : kind_counts(t)) k.add({str(kind), cell_kind_name(kind), str(count)});
  k.print(out, "    ");
  if (!cells) return;
  out << "  cells\n";
  Table c({"cell", "metres", "kind", "", "value1", "value2", "value3", "value4", "signal t",
           "approach", "mountain", "speed", "gradient", "adhesion"},
          {3});
  for (size_t i = 0; i < t.cells.size(); ++i) {
    const model::TrackCell& x = t.cells[i];
    c.add({str(int64_t(i)), str(int64_t(i) * 50), str(x.kind), cell_kind_name(x.kind),
           str(x.value1), str(x.value2), str(x.value3), str(x.value4), str(x.signal_time),
           str(x.approach_mark), str(x.mountain_type), str(int{x.speed_code} * 5),
           str(int{x.gradient_code} - 100), str(x.adhesion_code)});
  }
  c.print(out, "    ");
}

// ---- Line file ----------------------------------------------------------------

struct PlanExtent {
  int64_t computed = 0;  // points with both x and y
  double min_x = 0, max_x = 0, min_y = 0, max_y = 0;
  double end_x = 0, end_y = 0;
  double length = 0;  // along the computed points
};

PlanExtent plan_extent(const LineFile& f) {
  PlanExtent e;
  bool first = true;
  double px = 0, py = 0;
  for (size_t m = 0; m < f.x.size(); ++m) {
    if (f.x[m].type == kPlanEmpty || f.y[m].type == kPlanEmpty) continue;
    double x = f.x[m].value, y = f.y[m].value;
    if (first) {
      e.min_x = e.max_x = x;
      e.min_y = e.max_y = y;
      first = false;
    } else {
      e.length += std::hypot(x - px, y - py);
    }
    e.min_x = std::min(e.min_x, x);
    e.max_x = std::max(e.max_x, x);
    e.min_y = std::min(e.min_y, y);
    e.max_y = std::max(e.max_y, y);
    px = e.end_x = x;
    py = e.end_y = y;
    ++e.computed;
  }
  return e;
}

json line_file_json(const Loaded<LineFile>& ln) {
  PlanExtent e = plan_extent(ln.content);
  return json{
      {"name", to_utf8(ln.name)},
      {"size", ln.size},
      {"points", ln.content.x.size()},
      {"computed_points", e.computed},
      {"extent", {{"min_x", e.min_x}, {"max_x", e.max_x}, {"min_y", e.min_y}, {"max_y", e.max_y}}},
      {"end", {{"x", e.end_x}, {"y", e.end_y}}},
      {"plan_length", e.length}};
}

void print_line_file(const Loaded<LineFile>& ln, std::ostream& out) {
  PlanExtent e = plan_extent(ln.content);
  out << "line file " << to_utf8(ln.name) << ": " << ln.size << " bytes, points 0 .. "
      << ln.content.last_point() << ", " << e.computed << " computed\n";
  if (e.computed == 0) return;
  out << "  extent: x " << metres(e.min_x) << " .. " << metres(e.max_x) << " m, y "
      << metres(e.min_y) << " .. " << metres(e.max_y) << " m\n";
  out << "  last computed point: (" << metres(e.end_x) << ", " << metres(e.end_y)
      << "); length along the plan " << metres(e.length) << " m\n";
}

}  // namespace

void print_inspection(const CompiledSet& set, bool cells, std::ostream& out) {
  bool first = true;
  auto gap = [&] {
    if (!first) out << "\n";
    first = false;
  };
  if (set.station) {
    gap();
    print_station_file(set, out);
  }
  if (set.track) {
    gap();
    print_track_file(set, cells, out);
  }
  if (set.line) {
    gap();
    print_line_file(*set.line, out);
  }
}

json inspection_json(const CompiledSet& set, bool cells) {
  return json{{"station_file", set.station ? station_file_json(set) : json(nullptr)},
              {"track_file", set.track ? track_file_json(set, cells) : json(nullptr)},
              {"line_file", set.line ? line_file_json(*set.line) : json(nullptr)}};
}

std::string inspect_bytes(FileKind kind, std::string_view bytes) {
  CompiledSet set;
  add_file(set, kind, "input", bytes);
  std::ostringstream text;
  print_inspection(set, true, text);
  // The JSON is built and serialised too, so that a fuzzer reaches it.
  std::string j = inspection_json(set, true).dump(-1, ' ', false, json::error_handler_t::replace);
  return text.str() + j;
}

}  // namespace tools
