#include "tools/report/inspect.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <vector>

#include "compiled/text.h"
#include "finish/identity.h"
#include "model/scenario.h"

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

json station_json(const model::StationView& s) {
  return json{{"slot", s.slot},
              {"name", to_utf8(s.name)},
              {"kind", s.kind},
              {"area_start", s.area_start},
              {"area_end", s.area_end},
              {"position", s.position},
              {"flag", s.flag},
              {"words", s.words},
              {"bytes", s.bytes},
              {"time", s.departure_time},
              {"time_text", s.departure_text()},
              {"stop_time", s.stop_time}};
}

json general_json(const model::GeneralValues& g) {
  json progressive = json::array();
  for (const model::ProgressiveRecord& r : g.progressives) {
    progressive.push_back({{"slot", r.slot},
                           {"record", r.keyword},
                           {"position", r.position},
                           {"value", r.value},
                           {"flag", r.flag}});
  }
  return json{{"progressive", progressive},
              {"braked_mass_percent", g.train_general.braked_mass_percent},
              {"line_length", g.train_general.line_length},
              {"cars", g.train_general.cars},
              {"background",
               {{"one", g.line.background_one},
                {"two", g.line.background_two},
                {"three", g.line.background_three}}},
              {"line_name", to_utf8(g.line.line_name)},
              {"signal_repetition",
               {{"one", g.train.signal_repetition_one},
                {"two", g.train.signal_repetition_two},
                {"code_count", g.train.code_count}}},
              {"train_code", to_utf8(g.train.train_code)},
              {"sand", g.train.sand},
              {"clock", model::clock_text(g.train.clock())}};
}

json station_file_json(const StationFileView& v) {
  json stations = json::array();
  for (const model::StationView& s : v.stations) stations.push_back(station_json(s));
  json signs = json::array();
  for (const RouteSignView& s : v.signs) {
    signs.push_back({{"slot", s.slot},
                     {"text", to_utf8(s.text)},
                     {"cell", s.cell ? json(*s.cell) : json(nullptr)},
                     {"position", s.position ? json(*s.position) : json(nullptr)}});
  }
  const StationIdentity& id = v.identity;
  return json{{"name", to_utf8(v.name)},
              {"size", v.size},
              {"general", general_json(v.general)},
              {"identity",
               {{"marker", id.marker},
                {"marker_ok", id.marker_ok},
                {"weighted_code", id.weighted_code},
                {"expected_weighted_code", id.expected_weighted_code},
                {"weighted_code_ok", id.weighted_code_ok},
                {"names_match_file_name", id.names_match_file_name}}},
              {"stations", stations},
              {"signs", signs}};
}

void print_station_file(const StationFileView& v, std::ostream& out) {
  const model::GeneralValues& g = v.general;
  const StationIdentity& id = v.identity;
  std::string names = to_utf8(g.line.line_name) + " / " + to_utf8(g.train.train_code);

  out << "station file " << to_utf8(v.name) << ": " << v.size << " bytes, " << model::kItemSlots
      << " slots\n";
  out << "  general slots\n";
  for (const model::ProgressiveRecord& r : g.progressives) {
    out << "    " << r.slot << "  progressive \"" << r.keyword << "\": position " << r.position
        << " m, value " << r.value << " m, flag " << r.flag << "\n";
  }
  out << "    " << model::kSlotTrainGeneral << "  braked mass "
      << g.train_general.braked_mass_percent << " %, line length " << g.train_general.line_length
      << " m, cars " << g.train_general.cars << "\n";
  out << "    " << model::kSlotLine << "  backgrounds one " << g.line.background_one << ", two "
      << g.line.background_two << ", three " << g.line.background_three << "; line name "
      << to_utf8(g.line.line_name) << "\n";
  out << "    " << model::kSlotTrain << "  signal repetition " << g.train.signal_repetition_one
      << " m and " << g.train.signal_repetition_two << " m, code count " << g.train.code_count
      << "; train code " << to_utf8(g.train.train_code) << "; sand " << g.train.sand << "; clock "
      << model::clock_text(g.train.clock()) << "\n";
  out << "  identity stamps\n";
  out << "    slot 85 marker " << id.marker
      << (id.marker_ok ? " (ok)" : " (expected " + str(finish::kStationFileMarker) + ")") << "\n";
  out << "    slot 85 weighted code " << id.weighted_code
      << (id.weighted_code_ok
              ? " (matches " + names + ")"
              : " (does not match " + names + ": expected " + str(id.expected_weighted_code) + ")")
      << "\n";
  out << "    file name " << (id.names_match_file_name ? "matches" : "does not match")
      << " the names " << names << "\n";

  out << "  stations: " << v.stations.size() << "\n";
  if (!v.stations.empty()) {
    Table t({"slot", "name", "kind", "area (m)", "position (m)", "time", "stop (s)"}, {1, 3});
    for (const model::StationView& s : v.stations) {
      t.add({str(s.slot), to_utf8(s.name), str(s.kind),
             str(s.area_start) + " .. " + str(s.area_end), str(s.position),
             s.has_departure_time() ? s.departure_text() : "-", str(s.stop_time)});
    }
    t.print(out, "    ");
  }

  out << "  route signs: " << v.signs.size() << "\n";
  if (!v.signs.empty()) {
    Table t({"slot", "cell", "position (m)", "text"}, {3});
    for (const RouteSignView& s : v.signs) {
      t.add({str(s.slot), s.cell ? str(*s.cell) : "?", s.position ? str(*s.position) : "?",
             to_utf8(s.text)});
    }
    t.print(out, "    ");
  }
}

// ---- Track file ---------------------------------------------------------------

json cell_json(const CellView& c, size_t i) {
  return json{{"cell", i},
              {"metres", int64_t(i) * model::kCellLength},
              {"kind", c.kind},
              {"values", c.values},
              {"signal_time", c.signal_time},
              {"approach_mark", c.approach_mark},
              {"mountain_type", c.mountain_type},
              {"speed", c.speed_limit},
              {"gradient", c.gradient},
              {"adhesion", c.adhesion}};
}

json track_file_json(const TrackFileView& v, bool cells) {
  const TrackIdentity& id = v.identity;
  json kinds = json::array();
  for (auto [kind, count] : v.kind_counts) {
    kinds.push_back({{"kind", kind}, {"name", cell_kind_name(kind)}, {"count", count}});
  }
  json j{{"name", to_utf8(v.name)},
         {"size", v.size},
         {"cell_count", v.cell_count},
         {"identity",
          {{"marker", id.marker},
           {"marker_ok", id.marker_ok},
           {"ordinary_code", id.ordinary_code},
           {"names", id.names ? json(id.names->shown) : json(nullptr)},
           {"expected_ordinary_code", id.names ? json(id.expected_ordinary_code) : json(nullptr)},
           {"ordinary_code_ok", id.ordinary_code_ok}}},
         {"kinds", kinds}};
  if (cells) {
    json list = json::array();
    for (size_t i = 0; i < v.cells.size(); ++i) list.push_back(cell_json(v.cells[i], i));
    j["cells"] = std::move(list);
  }
  return j;
}

void print_track_file(const TrackFileView& v, bool cells, std::ostream& out) {
  const TrackIdentity& id = v.identity;
  out << "track file " << to_utf8(v.name) << ": " << v.size << " bytes, cells 0 .. " << v.cell_count
      << " (" << int64_t{v.cell_count} * model::kCellLength << " m)\n";
  out << "  identity stamps\n";
  out << "    cell 1 marker " << id.marker
      << (id.marker_ok ? " (ok)" : " (expected " + str(finish::kTrackFileMarker) + ")") << "\n";
  out << "    cell 1 ordinary code " << id.ordinary_code;
  if (!id.names) {
    out << " (no names to check it against)\n";
  } else {
    const std::string& names = id.names->shown;
    out << (id.ordinary_code_ok ? " (matches " + names + ")"
                                : " (does not match " + names + ": expected " +
                                      str(id.expected_ordinary_code) + ")")
        << "\n";
  }
  out << "  cells per kind\n";
  Table k({"kind", "name", "cells"}, {1});
  for (auto [kind, count] : v.kind_counts) k.add({str(kind), cell_kind_name(kind), str(count)});
  k.print(out, "    ");
  if (!cells) return;
  out << "  cells\n";
  Table c({"cell", "metres", "kind", "", "value1", "value2", "value3", "value4", "signal t",
           "approach", "mountain", "speed", "gradient", "adhesion"},
          {3});
  for (size_t i = 0; i < v.cells.size(); ++i) {
    const CellView& x = v.cells[i];
    c.add({str(int64_t(i)), str(int64_t(i) * model::kCellLength), str(x.kind),
           cell_kind_name(x.kind), str(x.values[0]), str(x.values[1]), str(x.values[2]),
           str(x.values[3]), str(x.signal_time), str(x.approach_mark), str(x.mountain_type),
           str(x.speed_limit), str(x.gradient), str(x.adhesion)});
  }
  c.print(out, "    ");
}

// ---- Line file ----------------------------------------------------------------

json line_file_json(const LineFileView& v) {
  const PlanExtent& e = v.extent;
  return json{
      {"name", to_utf8(v.name)},
      {"size", v.size},
      {"points", int64_t{v.last_point} + 1},
      {"computed_points", v.points.size()},
      {"extent", {{"min_x", e.min_x}, {"max_x", e.max_x}, {"min_y", e.min_y}, {"max_y", e.max_y}}},
      {"end", {{"x", e.end_x}, {"y", e.end_y}}},
      {"plan_length", e.length}};
}

void print_line_file(const LineFileView& v, std::ostream& out) {
  const PlanExtent& e = v.extent;
  out << "line file " << to_utf8(v.name) << ": " << v.size << " bytes, points 0 .. " << v.last_point
      << ", " << v.points.size() << " computed\n";
  if (v.points.empty()) return;
  out << "  extent: x " << metres(e.min_x) << " .. " << metres(e.max_x) << " m, y "
      << metres(e.min_y) << " .. " << metres(e.max_y) << " m\n";
  out << "  last computed point: (" << metres(e.end_x) << ", " << metres(e.end_y)
      << "); length along the plan " << metres(e.length) << " m\n";
}

}  // namespace

void print_inspection(const ScenarioView& view, bool cells, std::ostream& out) {
  bool first = true;
  auto gap = [&] {
    if (!first) out << "\n";
    first = false;
  };
  if (view.station) {
    gap();
    print_station_file(*view.station, out);
  }
  if (view.track) {
    gap();
    print_track_file(*view.track, cells, out);
  }
  if (view.line) {
    gap();
    print_line_file(*view.line, out);
  }
}

json inspection_json(const ScenarioView& view, bool cells) {
  return json{{"station_file", view.station ? station_file_json(*view.station) : json(nullptr)},
              {"track_file", view.track ? track_file_json(*view.track, cells) : json(nullptr)},
              {"line_file", view.line ? line_file_json(*view.line) : json(nullptr)}};
}

void print_inspection(const CompiledSet& set, bool cells, std::ostream& out) {
  print_inspection(view_of(set), cells, out);
}

json inspection_json(const CompiledSet& set, bool cells) {
  return inspection_json(view_of(set), cells);
}

std::string inspect_bytes(FileKind kind, std::string_view bytes) {
  CompiledSet set;
  add_file(set, kind, "input", bytes);
  const ScenarioView view = view_of(set);
  std::ostringstream text;
  print_inspection(view, true, text);
  // The JSON is built and serialised too, so that a fuzzer reaches it.
  std::string j = inspection_json(view, true).dump(-1, ' ', false, json::error_handler_t::replace);
  return text.str() + j;
}

}  // namespace tools
