#include "tools/preview/html_preview.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <set>
#include <utility>

#include "compiled/text.h"
#include "model/item_views.h"
#include "model/scenario.h"
#include "platform/files.h"
#include "tools/preview/output_target.h"
#include "tools/preview/preview_page.h"
#include "tools/preview/render.h"

namespace tools {

namespace {

using Json = nlohmann::ordered_json;

// The largest page an earlier render can have written: far past any page
// render_html makes, whose data is bounded by the cells and the plan cut.
constexpr uint64_t kMaxPreviewSize = uint64_t{64} << 20;

// Coordinates and heights to the centimetre keep the data small.
double rounded(double v) { return std::round(v * 100) / 100; }

// ---- Profiles as runs ------------------------------------------------------------

struct Run {
  int64_t from = 0;
  int64_t to = 0;
  int value = 0;
};

// Adds [from, to) with `value`, joined to the last run when it continues it.
void add_run(std::vector<Run>& runs, int64_t from, int64_t to, int value) {
  if (to <= from) return;
  if (!runs.empty() && runs.back().to == from && runs.back().value == value) {
    runs.back().to = to;
    return;
  }
  runs.push_back({from, to, value});
}

// The runs of one cell value over the profile cells: cell c spans
// c x 50 .. (c + 1) x 50 metres.
template <class Value>
std::vector<Run> cell_runs(const TrackFileView& track, Value value) {
  std::vector<Run> runs;
  for (int32_t c = 0; c < track.profile_cells && c < static_cast<int32_t>(track.cells.size());
       ++c) {
    const int64_t from = int64_t{c} * model::kCellLength;
    add_run(runs, from, from + model::kCellLength, value(track.cells[static_cast<size_t>(c)]));
  }
  return runs;
}

// The speed limit with each slowdown's dip: between a slowdown's start and
// end the limit drops to the slowdown's speed (never rises to it). Swept
// over the run boundaries and the slowdowns' ends, so that its cost grows
// with their number only.
std::vector<Run> speed_shown(const std::vector<Run>& limit, const std::vector<SlowdownView>& dips,
                             int64_t length) {
  std::vector<int64_t> cuts;
  for (const Run& r : limit) cuts.push_back(r.from);
  if (!limit.empty()) cuts.push_back(limit.back().to);
  struct Edge {
    int64_t at;
    bool opens;
    int speed;
  };
  std::vector<Edge> edges;
  for (const SlowdownView& s : dips) {
    const int64_t from = std::clamp<int64_t>(s.start, 0, length);
    const int64_t to = std::clamp<int64_t>(s.end, 0, length);
    if (to <= from) continue;
    edges.push_back({from, true, s.speed});
    edges.push_back({to, false, s.speed});
    cuts.push_back(from);
    cuts.push_back(to);
  }
  std::sort(cuts.begin(), cuts.end());
  cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
  std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.at < b.at; });

  std::multiset<int> active;
  std::vector<Run> shown;
  size_t e = 0, r = 0;
  for (size_t i = 0; i + 1 < cuts.size(); ++i) {
    const int64_t from = cuts[i], to = cuts[i + 1];
    for (; e < edges.size() && edges[e].at <= from; ++e) {
      if (edges[e].opens) {
        active.insert(edges[e].speed);
      } else {
        active.erase(active.find(edges[e].speed));
      }
    }
    while (r < limit.size() && limit[r].to <= from) ++r;
    if (r == limit.size() || limit[r].from > from) continue;  // no limit known here
    int value = limit[r].value;
    if (!active.empty()) value = std::min(value, *active.begin());
    add_run(shown, from, to, value);
  }
  return shown;
}

Json runs_json(const std::vector<Run>& runs) {
  Json a = Json::array();
  for (const Run& r : runs) a.push_back(Json::array({r.from, r.to, r.value}));
  return a;
}

// ---- The plan, cut ---------------------------------------------------------------

bool drawable(const PlanPoint& p) { return std::isfinite(p.x) && std::isfinite(p.y); }

double chord_distance(const PlanPoint& a, const PlanPoint& b, const PlanPoint& p) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double len = std::hypot(dx, dy);
  if (len == 0) return std::hypot(p.x - a.x, p.y - a.y);
  return std::abs(dx * (p.y - a.y) - dy * (p.x - a.x)) / len;
}

std::vector<PlanPoint> cut_plan(const LineFileView& line) {
  std::vector<PlanPoint> points;
  for (const PlanPoint& p : line.points) {
    if (drawable(p)) points.push_back(p);
  }
  if (points.size() <= kPreviewPlanPoints) return points;
  const size_t runs = kPreviewPlanPoints / 2 - 1;  // room for the last point
  std::vector<PlanPoint> kept;
  kept.reserve(kPreviewPlanPoints);
  for (size_t k = 0; k < runs; ++k) {
    const size_t first = k * points.size() / runs;
    const size_t next = (k + 1) * points.size() / runs;  // the next run's first
    const PlanPoint& a = points[first];
    const PlanPoint& b = points[std::min(next, points.size() - 1)];
    size_t far = first;
    double far_distance = -1;
    for (size_t i = first + 1; i < next; ++i) {
      const double d = chord_distance(a, b, points[i]);
      if (d > far_distance) {
        far_distance = d;
        far = i;
      }
    }
    kept.push_back(a);
    if (far != first) kept.push_back(points[far]);
  }
  if (kept.back().metre != points.back().metre) kept.push_back(points.back());
  return kept;
}

// ---- Items -----------------------------------------------------------------------

Json station_json(const model::StationView& s) {
  return Json{{"slot", s.slot},
              {"name", to_utf8(s.name)},
              {"km", km_text(s.position)},
              {"position", s.position},
              {"kind", s.kind},
              {"area", Json::array({s.area_start, s.area_end})},
              {"stop_time", s.stop_time},
              {"time", s.has_departure_time() ? Json(s.departure_time) : Json(nullptr)},
              {"time_text", s.has_departure_time() ? s.departure_text() : std::string()}};
}

Json sign_json(const RouteSignView& s) {
  Json j{{"slot", s.slot}, {"text", to_utf8(s.text)}};
  if (s.cell) j["cell"] = *s.cell;
  if (s.position) {
    j["position"] = *s.position;
    j["km"] = km_text(*s.position);
  }
  return j;
}

// The kinds with a list of their own in the data.
bool listed_apart(int kind) {
  return kind == model::kEmpty || kind == model::kSignal || kind == model::kSlowdownStart ||
         kind == model::kSlowdownEnd || kind == model::kSpeedIndicator ||
         kind == model::kMountainMarker || kind == model::kRouteSign;
}

void add_track(Json& data, const TrackFileView& track) {
  Json& signals = data["signals"];
  for (const SignalView& s : track.signals) {
    signals.push_back(Json{{"cell", s.cell},
                           {"position", s.position},
                           {"codes", s.codes},
                           {"signal_time", s.signal_time},
                           {"left", {s.row.sx, s.row.s1, s.row.s2, s.row.s3}},
                           {"right", {s.row.dx, s.row.d1, s.row.d2, s.row.d3}},
                           {"rapp", s.row.rapp}});
  }
  Json& slowdowns = data["slowdowns"];
  for (const SlowdownView& s : track.slowdowns) {
    slowdowns.push_back(Json{{"start", s.start},
                             {"end", s.end},
                             {"speed", s.speed},
                             {"start_cell", s.start_cell},
                             {"end_cell", s.end_cell}});
  }
  Json& indicators = data["indicators"];
  for (const SpeedIndicatorView& s : track.speed_indicators) {
    Json speeds = Json::array();
    for (const model::IndicatorSpeeds& v : s.speeds) {
      speeds.push_back(Json::array({v.left, v.right}));
    }
    indicators.push_back(Json{{"cell", s.cell},
                              {"position", s.position},
                              {"speeds", std::move(speeds)},
                              {"stripes", Json::array({s.stripes.left, s.stripes.right})}});
  }
  Json& mountains = data["mountains"];
  for (const MountainStretchView& s : track.mountain_stretches) {
    mountains.push_back(Json{{"start", s.start}, {"end", s.end}, {"type", s.type}});
  }
  Json& cells = data["cells"];
  for (size_t i = 0; i < track.cells.size(); ++i) {
    const CellView& c = track.cells[i];
    if (listed_apart(c.kind)) continue;
    const auto cell = static_cast<int32_t>(i);
    cells.push_back(Json{{"cell", cell},
                         {"position", placed_position(cell)},
                         {"kind", cell_kind_name(c.kind)},
                         {"values", c.values}});
  }

  const std::vector<Run> speed = cell_runs(track, [](const CellView& c) { return c.speed_limit; });
  const std::vector<Run> gradient = cell_runs(track, [](const CellView& c) { return c.gradient; });
  data["speed"] = runs_json(speed);
  data["speed_shown"] = runs_json(speed_shown(speed, track.slowdowns, track.profile_length()));
  data["gradient"] = runs_json(gradient);
  Json& elevation = data["elevation"];
  for (const Run& r : gradient) {
    const auto c = static_cast<size_t>(r.from / model::kCellLength);
    elevation.push_back(Json::array({r.from, rounded(track.elevation[c])}));
  }
  if (!gradient.empty()) {
    const auto c = static_cast<size_t>(gradient.back().to / model::kCellLength);
    elevation.push_back(Json::array({gradient.back().to, rounded(track.elevation[c])}));
  }
}

}  // namespace

Json preview_data(const ScenarioView& view, const std::vector<Diagnostic>& diagnostics,
                  const std::vector<GeneratedDocument>& documents) {
  Json data;
  int64_t length = 0;
  if (view.track) {
    length = view.track->profile_length();
  } else if (view.line) {
    length = view.line->last_point;
  }
  data["length"] = std::max<int64_t>(length, 1);

  Json names{{"line", ""}, {"train", ""}, {"line_length", view.line_length()}, {"clock", ""}};
  Json files = Json::array();
  if (view.station) {
    const model::GeneralValues& g = view.station->general;
    names["line"] = to_utf8(g.line.line_name);
    names["train"] = to_utf8(g.train.train_code);
    names["clock"] = model::clock_text(g.train.clock());
    files.push_back(view.station->name);
  }
  if (view.track) files.push_back(view.track->name);
  if (view.line) files.push_back(view.line->name);
  names["files"] = std::move(files);
  data["names"] = std::move(names);

  data["stations"] = Json::array();
  data["signs"] = Json::array();
  if (view.station) {
    for (const model::StationView& s : view.station->stations) {
      data["stations"].push_back(station_json(s));
    }
    for (const RouteSignView& s : view.station->signs) data["signs"].push_back(sign_json(s));
  }

  for (const char* key : {"signals", "slowdowns", "indicators", "mountains", "cells", "speed",
                          "speed_shown", "gradient", "elevation"}) {
    data[key] = Json::array();
  }
  if (view.track) add_track(data, *view.track);

  Json plan{{"points", Json::array()}, {"stored", 0}};
  if (view.line) {
    const std::vector<PlanPoint> points = cut_plan(*view.line);
    for (const PlanPoint& p : points) {
      plan["points"].push_back(Json::array({p.metre, rounded(p.x), rounded(p.y)}));
    }
    plan["stored"] = view.line->points.size();
  }
  data["plan"] = std::move(plan);

  Json list = Json::array();
  for (const Diagnostic& d : diagnostics) {
    list.push_back(Json{{"error", d.is_error}, {"heading", d.heading()}, {"text", d.text()}});
  }
  data["diagnostics"] = std::move(list);
  data["documents"] = documents_json(documents);
  return data;
}

Json preview_data(const CompiledSet& set, const std::vector<Diagnostic>& diagnostics,
                  const std::vector<GeneratedDocument>& documents) {
  return preview_data(view_of(set), diagnostics, documents);
}

std::string embeddable_json(const Json& data) {
  const std::string text = data.dump(-1, ' ', false, Json::error_handler_t::replace);
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (char c : text) {
    switch (c) {
      case '<':
        out += "\\u003c";
        break;
      case '>':
        out += "\\u003e";
        break;
      case '&':
        out += "\\u0026";
        break;
      default:
        out += c;
    }
  }
  return out;
}

namespace {

// `text` as valid UTF-8 (invalid bytes replaced) with &, <, >, " and '
// written as entities.
std::string html_text(const std::string& text) {
  const std::string valid =
      Json(text).dump(-1, ' ', false, Json::error_handler_t::replace);  // a quoted string
  const std::string unquoted = Json::parse(valid).get<std::string>();
  return xml_escape(unquoted);
}

// What --html writes.
constexpr OutputKind kPage{"--html", "page", "preview.html", kPreviewProlog, kMaxPreviewSize};

// The page's parts that the script fills in; the ids are those a browser
// test looks for.
constexpr std::string_view kBodyStart = R"html(<header>
<h1 id="title">)html";
constexpr std::string_view kBodyRest = R"html(</h1>
<span id="names"></span>
<span class="tools">
<input id="search" type="search" placeholder="km 12+500, 12.5 or a name" aria-label="go to a km, a station or a route sign">
<span id="search-result" role="status"></span>
<button id="zoom-in" title="zoom in (+)">+</button><button id="zoom-out" title="zoom out (-)">-</button><button id="zoom-all" title="the whole line (0)">all</button>
<span id="range" role="status"></span>
</span>
</header>
<main>
<div id="picture"><svg id="view" role="img" aria-label="plan, elevation and speed of the line"></svg>
<div id="error" hidden></div></div>
<aside>
<section><h2>Selected</h2><div id="details">Hover over a mark to see its values; click it to keep them here.</div></section>
<section><h2>Diagnostics</h2><ul id="diagnostics"></ul></section>
<section id="documents-panel" hidden><h2>Driver's documents</h2><div id="documents"></div></section>
<section><h2>Legend</h2><div id="legend"></div></section>
</aside>
</main>
<div id="tooltip" hidden></div>
<noscript><p>The preview draws with JavaScript: allow scripts for this file.</p></noscript>
)html";

}  // namespace

std::string render_html(const ScenarioView& view, const PreviewOptions& options) {
  const std::string title = html_text(options.title);
  std::string page(kPreviewProlog);
  page += "<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
  page += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
  // No icon: else the browser asks the live server for /favicon.ico.
  page += "<link rel=\"icon\" href=\"data:,\">\n";
  page += "<title>" + title + "</title>\n<style>\n";
  page += preview_style();
  page += "</style>\n</head>\n<body data-live=\"";
  page += options.live ? "1" : "0";
  page += "\">\n";
  page += kBodyStart;
  page += title;
  page += kBodyRest;
  page += "<script type=\"application/json\" id=\"data\">";
  page += embeddable_json(preview_data(view, options.diagnostics, options.documents));
  page += "</script>\n<script>\n";
  page += preview_script();
  page += "</script>\n</body>\n</html>\n";
  return page;
}

std::string render_html(const CompiledSet& set, const PreviewOptions& options) {
  return render_html(view_of(set), options);
}

void check_preview_target(platform::FileSystem& fs, const std::string& path) {
  check_output_target(fs, path, kPage);
}

void write_preview(platform::FileSystem& fs, const std::string& path, std::string_view html) {
  write_output(fs, path, html, kPage);
}

}  // namespace tools
