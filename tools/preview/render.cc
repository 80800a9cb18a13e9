#include "tools/preview/render.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <limits>
#include <utility>
#include <vector>

#include "compiled/text.h"
#include "model/scenario.h"
#include "platform/files.h"
#include "tools/preview/mark_colours.h"
#include "tools/preview/output_target.h"

namespace tools {

namespace {

// Page geometry, in SVG user units (pixels at 100 %).
constexpr double kWidth = 1400;
constexpr double kLeft = 90;  // room for the value axes' labels
constexpr double kRight = 40;
constexpr double kPlotWidth = kWidth - kLeft - kRight;
constexpr double kPlanMaxHeight = 820;
constexpr double kStationBand = 130;  // slanted station names over the profiles
constexpr double kElevationHeight = 240;
constexpr double kSpeedHeight = 200;

std::string num(double v) {
  if (!std::isfinite(v)) v = 0;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f", v);
  return buf;
}

// A round step (1, 2 or 5 times a power of ten) giving about `count` steps
// over `range`.
double nice_step(double range, double count) {
  if (!(range > 0) || !std::isfinite(range)) return 1;
  double raw = range / count;
  double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double f : {1.0, 2.0, 5.0}) {
    if (raw <= f * power) return f * power;
  }
  return 10 * power;
}

std::string tick_label(double v, double step) {
  char buf[32];
  if (step >= 1 || v == 0) {
    std::snprintf(buf, sizeof buf, "%.0f", v);
  } else {
    std::snprintf(buf, sizeof buf, "%.*f", step >= 0.1 ? 1 : 2, v);
  }
  return buf;
}

// The multiples of `step` from `lo` to `hi`, at most a few hundred of them
// whatever the values (a damaged file may hold huge or tiny coordinates).
std::vector<double> ticks(double lo, double hi, double step) {
  std::vector<double> list;
  if (!std::isfinite(lo) || !std::isfinite(hi) || !(step > 0)) return list;
  double first = std::ceil(lo / step) * step;
  for (int i = 0; i < 200; ++i) {
    double g = first + i * step;
    if (g > hi + step * 1e-9) break;
    list.push_back(g);
  }
  return list;
}

class Svg {
 public:
  void raw(const std::string& s) { out_ += s; }
  void line(double x1, double y1, double x2, double y2, const std::string& style) {
    out_ += "<line x1=\"" + num(x1) + "\" y1=\"" + num(y1) + "\" x2=\"" + num(x2) + "\" y2=\"" +
            num(y2) + "\" " + style + "/>\n";
  }
  void rect(double x, double y, double w, double h, const std::string& style) {
    out_ += "<rect x=\"" + num(x) + "\" y=\"" + num(y) + "\" width=\"" + num(std::max(w, 0.0)) +
            "\" height=\"" + num(std::max(h, 0.0)) + "\" " + style + "/>\n";
  }
  void text(double x, double y, const std::string& utf8, const std::string& style) {
    out_ += "<text x=\"" + num(x) + "\" y=\"" + num(y) + "\" " + style + ">" + xml_escape(utf8) +
            "</text>\n";
  }
  void path(const std::string& d, const std::string& attrs) {
    out_ += "<path d=\"" + d + "\" " + attrs + "/>\n";
  }
  std::string take() { return std::move(out_); }

 private:
  std::string out_;
};

std::string colour(const MarkColour& mark) { return std::string(mark.colour); }

// A station's dot, on the plan and in the legend.
const std::string kStationDot =
    "fill=\"" + colour(kStationColour) + "\" stroke=\"#fff\" stroke-width=\"1.5\"";

const std::string kAxis = "stroke=\"#333\" stroke-width=\"1\"";
const std::string kGrid = "stroke=\"#ddd\" stroke-width=\"1\"";
const std::string kSmall = "font-size=\"11\" fill=\"#333\"";
const std::string kLabel = "font-size=\"13\" fill=\"#000\"";

// A name from a compiled file as it is shown: UTF-8, cut to
// kMaxLabelCharacters (a name may run to 65535 bytes).
std::string label_text(const std::string& cp1252) {
  if (cp1252.size() <= kMaxLabelCharacters) return to_utf8(cp1252);
  return to_utf8(cp1252.substr(0, kMaxLabelCharacters - 1)) + "\xE2\x80\xA6";  // an ellipsis
}

struct Station {
  int32_t position;
  std::string name;  // UTF-8
};

std::vector<Station> stations_of(const ScenarioView& view) {
  std::vector<Station> list;
  if (!view.station) return list;
  for (const model::StationView& s : view.station->stations) {
    list.push_back({s.position, label_text(s.name)});
  }
  return list;
}

// The pixel column of the profiles that shows `metres` of `extent`.
int64_t profile_column(double metres, double extent) {
  return static_cast<int64_t>(std::floor(std::clamp(metres, 0.0, extent) / extent * kPlotWidth));
}

// The signals drawn on the plan and the profile: every one, or past
// kMaxProfileMarks the first of each pixel column of the profile.
std::vector<int32_t> signal_positions(const ScenarioView& view) {
  std::vector<int32_t> list;
  if (!view.track) return list;
  for (const SignalView& s : view.track->signals) list.push_back(static_cast<int32_t>(s.position));
  if (list.size() <= kMaxProfileMarks) return list;
  const double extent = static_cast<double>(view.track->profile_length());
  std::vector<int32_t> thinned;
  int64_t last_column = -1;
  for (int32_t p : list) {
    int64_t column = profile_column(p, extent);
    if (column == last_column) continue;
    last_column = column;
    thinned.push_back(p);
  }
  return thinned;
}

// A line whose x never decreases, at the picture's resolution: as it is up
// to kMaxProfileVertices vertices; past that, each pixel column keeps its
// first and last vertex and those with the least and greatest y, in order.
using Vertices = std::vector<std::pair<double, double>>;
Vertices at_resolution(Vertices v) {
  if (v.size() <= kMaxProfileVertices) return v;
  Vertices kept;
  size_t begin = 0;
  while (begin < v.size()) {
    const double column = std::floor(v[begin].first);
    size_t end = begin + 1;
    size_t low = begin, high = begin;
    while (end < v.size() && std::floor(v[end].first) == column) {
      if (v[end].second < v[low].second) low = end;
      if (v[end].second > v[high].second) high = end;
      ++end;
    }
    size_t picks[] = {begin, low, high, end - 1};
    std::sort(std::begin(picks), std::end(picks));
    for (size_t i = 0; i < 4; ++i) {
      if (i == 0 || picks[i] != picks[i - 1]) kept.push_back(v[picks[i]]);
    }
    begin = end;
  }
  return kept;
}

std::string path_of(const Vertices& v) {
  std::string d;
  for (size_t i = 0; i < v.size(); ++i) {
    d += (i == 0 ? "M" : " L") + num(v[i].first) + " " + num(v[i].second);
  }
  return d;
}

// ---- Plan -----------------------------------------------------------------------

struct Box {
  double x1, y1, x2, y2;
  bool overlaps(const Box& o) const { return x1 < o.x2 && o.x1 < x2 && y1 < o.y2 && o.y1 < y2; }
  bool holds(double x, double y) const { return x >= x1 && x <= x2 && y >= y1 && y <= y2; }
};

// A station's name beside its marker on the plan.
struct Label {
  double x, y;       // the marker
  std::string text;  // UTF-8
  Box box{};         // where the text goes (11-pixel font)
  bool leader = false;
};

double text_width(const std::string& utf8) {
  double n = 0;
  for (char c : utf8) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n * 6.6;
}

// Puts each label, in turn, where it covers the fewest other labels, markers
// and points of the line, preferring places near its marker; a label put
// further away gets a leader line. Stations in a loop of the line would
// otherwise write over each other.
void place_labels(std::vector<Label>& labels, const std::vector<std::pair<double, double>>& line,
                  const Box& frame) {
  constexpr double kHeight = 14;
  std::vector<Box> taken;
  for (const Label& l : labels) taken.push_back({l.x - 5, l.y - 5, l.x + 5, l.y + 5});
  for (Label& l : labels) {
    double w = text_width(l.text);
    double best = std::numeric_limits<double>::infinity();
    for (double r : {8.0, 18.0, 32.0, 50.0, 72.0}) {
      for (int dir = 0; dir < 8; ++dir) {
        double angle = dir * 3.14159265358979 / 4;
        double cx = l.x + r * std::cos(angle), cy = l.y - r * std::sin(angle);
        // Anchor the box on the side facing the marker.
        double x1 = std::cos(angle) > 0.3 ? cx : std::cos(angle) < -0.3 ? cx - w : cx - w / 2;
        double y1 = std::sin(angle) > 0.3    ? cy - kHeight
                    : std::sin(angle) < -0.3 ? cy
                                             : cy - kHeight / 2;
        Box b{x1, y1, x1 + w, y1 + kHeight};
        double cost = r * 0.4;
        if (b.x1 < frame.x1 || b.x2 > frame.x2 || b.y1 < frame.y1 || b.y2 > frame.y2) cost += 500;
        for (const Box& t : taken) cost += b.overlaps(t) ? 1000 : 0;
        for (const auto& [x, y] : line) cost += b.holds(x, y) ? 4 : 0;
        if (cost < best) {
          best = cost;
          l.box = b;
          l.leader = r > 20;
        }
      }
    }
    taken.push_back(l.box);
  }
}

// A damaged file may hold plan values that are not finite: those points are
// not drawn.
bool drawable(const PlanPoint& p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// The point of metre `m` when it is stored and drawable.
const PlanPoint* drawable_at(const LineFileView& line, int64_t m) {
  const PlanPoint* p = line.at(m);
  return p != nullptr && drawable(*p) ? p : nullptr;
}

// The points of the plan that are drawn, in order, as indexes into its
// points: every drawable one up to kPlanPointsDrawnWhole of them. Past that,
// the drawable points are cut into kPlanBuckets runs of consecutive points,
// and each run gives its first and last point and those with the least and
// greatest x and y: the line keeps its shape and its extent at the picture's
// resolution with at most 6 x kPlanBuckets points. The point of the route's
// last metre `boundary` is always kept.
std::vector<size_t> plan_points_to_draw(const LineFileView& line, int64_t drawable_count,
                                        int64_t boundary) {
  std::vector<size_t> kept;
  const std::vector<PlanPoint>& points = line.points;
  if (drawable_count <= kPlanPointsDrawnWhole) {
    for (size_t i = 0; i < points.size(); ++i) {
      if (drawable(points[i])) kept.push_back(i);
    }
    return kept;
  }
  constexpr size_t kNone = static_cast<size_t>(-1);
  struct Run {
    size_t first = kNone, last = kNone, min_x = kNone, max_x = kNone, min_y = kNone, max_y = kNone;
  } run;
  auto flush = [&] {
    if (run.first == kNone) return;
    size_t picks[] = {run.first, run.min_x, run.max_x, run.min_y, run.max_y, run.last};
    std::sort(std::begin(picks), std::end(picks));
    for (size_t i = 0; i < 6; ++i) {
      if (i == 0 || picks[i] != picks[i - 1]) kept.push_back(picks[i]);
    }
    run = Run{};
  };
  int64_t bucket = -1, ordinal = 0;
  for (size_t i = 0; i < points.size(); ++i) {
    const PlanPoint& p = points[i];
    if (!drawable(p)) continue;
    const int64_t b = ordinal++ * kPlanBuckets / drawable_count;
    if (b != bucket) {
      flush();
      bucket = b;
    }
    if (p.metre == boundary) {
      flush();
      kept.push_back(i);
      continue;
    }
    if (run.first == kNone) run.first = run.min_x = run.max_x = run.min_y = run.max_y = i;
    if (p.x < points[run.min_x].x) run.min_x = i;
    if (p.x > points[run.max_x].x) run.max_x = i;
    if (p.y < points[run.min_y].y) run.min_y = i;
    if (p.y > points[run.max_y].y) run.max_y = i;
    run.last = i;
  }
  flush();
  return kept;
}

// Draws the plan from `top`; returns the bottom of what it drew.
double draw_plan(Svg& svg, const ScenarioView& view, double top) {
  svg.text(kLeft, top, "Plan of the line (seen from above; north is up)",
           "font-size=\"16\" font-weight=\"bold\"");
  top += 20;
  if (!view.line) {
    svg.text(kLeft, top + 20, "no line file: the plan is not drawn", kLabel);
    return top + 40;
  }
  const LineFileView& line = *view.line;
  double min_x = 0, max_x = 0, min_y = 0, max_y = 0;
  int64_t count = 0;
  for (const PlanPoint& p : line.points) {
    if (!drawable(p)) continue;
    if (count++ == 0) {
      min_x = max_x = p.x;
      min_y = max_y = p.y;
    }
    min_x = std::min(min_x, p.x);
    max_x = std::max(max_x, p.x);
    min_y = std::min(min_y, p.y);
    max_y = std::max(max_y, p.y);
  }
  if (count < 2) {
    svg.text(kLeft, top + 20, "the line file holds no computed point: nothing to draw", kLabel);
    return top + 40;
  }
  // Equal scales on both axes, with a margin so that labels stay inside.
  double pad = std::max(max_x - min_x, max_y - min_y) * 0.04 + 1;
  min_x -= pad;
  max_x += pad;
  min_y -= pad;
  max_y += pad;
  double scale = std::min(kPlotWidth / (max_x - min_x), kPlanMaxHeight / (max_y - min_y));
  double width = (max_x - min_x) * scale, height = (max_y - min_y) * scale;
  double left = kLeft + (kPlotWidth - width) / 2;
  auto px = [&](double x) { return left + (x - min_x) * scale; };
  auto py = [&](double y) { return top + (max_y - y) * scale; };

  // Grid and axes in kilometres.
  double step = nice_step(std::max(max_x - min_x, max_y - min_y), 8);
  svg.rect(left, top, width, height, "fill=\"#fbfbf8\" " + kAxis);
  for (double g : ticks(min_x, max_x, step)) {
    svg.line(px(g), top, px(g), top + height, kGrid);
    svg.text(px(g), top + height + 15, tick_label(g / 1000, step / 1000),
             kSmall + " text-anchor=\"middle\"");
  }
  for (double g : ticks(min_y, max_y, step)) {
    svg.line(left, py(g), left + width, py(g), kGrid);
    svg.text(left - 6, py(g) + 4, tick_label(g / 1000, step / 1000),
             kSmall + " text-anchor=\"end\"");
  }
  svg.text(left + width / 2, top + height + 34, "x (km, east of the origin)",
           kLabel + " text-anchor=\"middle\"");
  svg.text(left - 44, top + height / 2, "y (km, north of the origin)",
           kLabel + " text-anchor=\"middle\" transform=\"rotate(-90 " + num(left - 44) + " " +
               num(top + height / 2) + ")\"");

  // The line itself, at the picture's resolution (plan_points_to_draw).
  // Past the route's length the spare track is drawn apart, dashed.
  const int32_t line_length = view.line_length();
  // A point written as the one before it is left out.
  std::string route_d, spare_d, last_route_point, last_spare_point;
  std::vector<std::pair<double, double>> drawn;
  for (size_t i : plan_points_to_draw(line, count, line_length > 0 ? line_length : -1)) {
    const PlanPoint& p = line.points[i];
    double x = px(p.x), y = py(p.y);
    drawn.emplace_back(x, y);
    std::string point = num(x) + " " + num(y);
    if (line_length > 0 && p.metre > line_length) {
      // The spare track continues from the route's last point.
      if (spare_d.empty() && !last_route_point.empty()) {
        spare_d = "M" + last_route_point;
        last_spare_point = last_route_point;
      }
      if (point == last_spare_point) continue;
      spare_d += (spare_d.empty() ? "M" : " L") + point;
      last_spare_point = point;
    } else {
      if (point == last_route_point) continue;
      route_d += (route_d.empty() ? "M" : " L") + point;
      last_route_point = point;
    }
  }
  svg.path(route_d,
           "id=\"plan\" fill=\"none\" stroke=\"" + colour(kLineColour) + "\" stroke-width=\"2\"");
  if (spare_d.find('L') != std::string::npos) {
    svg.path(spare_d,
             "id=\"plan-spare\" fill=\"none\" stroke=\"" + colour(kLineColour) +
                 "\" stroke-width=\"1.5\" stroke-dasharray=\"6 4\" stroke-opacity=\"0.6\"");
  }

  for (int32_t m : signal_positions(view)) {
    const PlanPoint* p = drawable_at(line, m);
    if (p == nullptr) continue;
    svg.rect(px(p->x) - 2.5, py(p->y) - 2.5, 5, 5, "fill=\"" + colour(kSignalColour) + "\"");
  }
  std::vector<Label> labels;
  for (const Station& s : stations_of(view)) {
    const PlanPoint* p = drawable_at(line, s.position);
    if (p == nullptr) continue;
    labels.push_back({px(p->x), py(p->y), s.name});
  }
  place_labels(labels, drawn, Box{left, top, left + width, top + height});
  for (const Label& l : labels) {
    svg.raw("<circle cx=\"" + num(l.x) + "\" cy=\"" + num(l.y) + "\" r=\"4.5\" " + kStationDot +
            "/>\n");
    if (l.leader) {
      double lx = std::clamp(l.x, l.box.x1, l.box.x2), ly = std::clamp(l.y, l.box.y1, l.box.y2);
      svg.line(l.x, l.y, lx, ly, "stroke=\"#777\" stroke-width=\"0.8\"");
    }
    svg.text(l.box.x1, l.box.y2 - 3, l.text, kSmall + " class=\"station-label\"");
  }
  // Legend.
  double ly = top + height + 56;
  svg.raw("<circle cx=\"" + num(kLeft + 6) + "\" cy=\"" + num(ly - 4) + "\" r=\"4.5\" " +
          kStationDot + "/>\n");
  svg.text(kLeft + 16, ly, "station", kSmall);
  svg.rect(kLeft + 86, ly - 7, 5, 5, "fill=\"" + colour(kSignalColour) + "\"");
  svg.text(kLeft + 96, ly, "signal", kSmall);
  svg.line(kLeft + 160, ly - 4, kLeft + 180, ly - 4,
           "stroke=\"" + colour(kLineColour) + "\" stroke-width=\"1.5\" stroke-dasharray=\"6 4\"");
  svg.text(kLeft + 186, ly, "spare track past the route's length", kSmall);
  return ly + 10;
}

// ---- Profiles -------------------------------------------------------------------

struct Axis {
  double lo, hi, top, height;
  double y(double v) const { return top + height - (v - lo) / (hi - lo) * height; }
};

void value_axis(Svg& svg, const Axis& a, const std::string& title) {
  double step = nice_step(a.hi - a.lo, 5);
  for (double g : ticks(a.lo, a.hi, step)) {
    svg.line(kLeft, a.y(g), kLeft + kPlotWidth, a.y(g), kGrid);
    svg.text(kLeft - 6, a.y(g) + 4, tick_label(g, step), kSmall + " text-anchor=\"end\"");
  }
  double cy = a.top + a.height / 2;
  svg.text(kLeft - 52, cy, title,
           kLabel + " text-anchor=\"middle\" transform=\"rotate(-90 " + num(kLeft - 52) + " " +
               num(cy) + ")\"");
}

void km_axis(Svg& svg, double extent, double bottom, const std::string& title) {
  double step = nice_step(extent, 20);
  for (double g : ticks(0, extent, step)) {
    double x = kLeft + g / extent * kPlotWidth;
    svg.line(x, bottom, x, bottom + 5, kAxis);
    svg.text(x, bottom + 17, tick_label(g / 1000, step / 1000), kSmall + " text-anchor=\"middle\"");
  }
  svg.text(kLeft + kPlotWidth / 2, bottom + 35, title, kLabel + " text-anchor=\"middle\"");
}

double draw_profiles(Svg& svg, const ScenarioView& view, double top) {
  svg.text(kLeft, top, "Profile along the line", "font-size=\"16\" font-weight=\"bold\"");
  top += 10;
  if (!view.track) {
    svg.text(kLeft, top + 20, "no track file: the profile is not drawn", kLabel);
    return top + 40;
  }
  const TrackFileView& track = *view.track;
  const std::vector<CellView>& cells = track.cells;
  const int64_t n = track.profile_cells;
  const double extent = static_cast<double>(track.profile_length());
  auto x_of = [&](double metres) {
    return kLeft + std::clamp(metres, 0.0, extent) / extent * kPlotWidth;
  };
  const int32_t line_length = view.line_length();

  // Station names, slanted, over both panels.
  double band_bottom = top + kStationBand;
  double elev_top = band_bottom + 10;
  double elev_bottom = elev_top + kElevationHeight;
  double speed_top = elev_bottom + 60;
  double speed_bottom = speed_top + kSpeedHeight;
  // Names closer than a line of text are moved right, with a short leader.
  std::vector<Station> stations = stations_of(view);
  std::stable_sort(stations.begin(), stations.end(),
                   [](const Station& a, const Station& b) { return a.position < b.position; });
  double next_free = -1e9;
  for (const Station& s : stations) {
    if (s.position < 0 || s.position > extent) continue;
    double x = x_of(s.position);
    double anchor = std::max(x, next_free);
    next_free = anchor + 16;
    svg.line(x, band_bottom, x, speed_bottom,
             "stroke=\"" + colour(kStationColour) + "\" stroke-dasharray=\"3 3\"");
    if (anchor > x) {
      svg.line(x, band_bottom, anchor + 3, band_bottom - 6,
               "stroke=\"" + colour(kStationColour) + "\"");
    }
    svg.text(anchor + 3, band_bottom - 6, s.name,
             kSmall + " class=\"station-label\" transform=\"rotate(-65 " + num(anchor + 3) + " " +
                 num(band_bottom - 6) + ")\"");
  }

  const std::vector<double>& elevation = track.elevation;
  auto [lo_it, hi_it] = std::minmax_element(elevation.begin(), elevation.end());
  double lo = *lo_it, hi = *hi_it;
  double margin = std::max((hi - lo) * 0.08, 5.0);
  Axis ea{lo - margin, hi + margin, elev_top, kElevationHeight};
  svg.rect(kLeft, elev_top, kPlotWidth, kElevationHeight, "fill=\"#fff\"");
  value_axis(svg, ea, "elevation (m, from 0 at the origin)");
  // Mountain stretches, those along the profile.
  struct Stretch {
    double x1, x2;
    int type;
  };
  std::vector<Stretch> stretches;
  for (const MountainStretchView& m : track.mountain_stretches) {
    if (m.first_cell >= n) break;
    stretches.push_back(
        {x_of(static_cast<double>(m.start)), x_of(static_cast<double>(m.end)), m.type});
  }
  const std::string mountain_style =
      "fill=\"" + colour(kMountainColour) + "\" fill-opacity=\"0.18\" class=\"mountain\"";
  // Past kMaxProfileMarks stretches, those that meet in a pixel column are
  // shaded as one.
  const bool merge_stretches = stretches.size() > kMaxProfileMarks;
  if (merge_stretches) {
    for (size_t i = 0; i < stretches.size();) {
      double x1 = stretches[i].x1, x2 = stretches[i].x2;
      size_t j = i + 1;
      while (j < stretches.size() && stretches[j].x1 < std::floor(x2) + 1) {
        x2 = std::max(x2, stretches[j].x2);
        ++j;
      }
      svg.rect(x1, elev_top, std::max(x2 - x1, 1.0), kElevationHeight, mountain_style);
      i = j;
    }
  }
  double last_type_label = -1e9;
  for (const Stretch& m : stretches) {
    if (!merge_stretches) {
      svg.rect(m.x1, elev_top, std::max(m.x2 - m.x1, 1.0), kElevationHeight, mountain_style);
    }
    // The type is written where it does not crowd the previous one.
    if ((m.x1 + m.x2) / 2 > last_type_label + 18) {
      last_type_label = (m.x1 + m.x2) / 2;
      svg.text(last_type_label, elev_top + 12, "M" + std::to_string(m.type),
               "font-size=\"9\" fill=\"" + colour(kMountainColour) + "\" text-anchor=\"middle\"");
    }
  }
  if (line_length > 0 && line_length < extent) {
    svg.rect(x_of(line_length), elev_top, kLeft + kPlotWidth - x_of(line_length), kElevationHeight,
             "fill=\"#888\" fill-opacity=\"0.12\"");
    svg.text(x_of(line_length) + 4, elev_bottom - 6, "spare track", kSmall);
  }
  Vertices line;
  line.reserve(static_cast<size_t>(n) + 1);
  for (int64_t c = 0; c <= n; ++c) {
    line.emplace_back(x_of(static_cast<double>(c * model::kCellLength)),
                      ea.y(elevation[static_cast<size_t>(c)]));
  }
  svg.path(path_of(at_resolution(std::move(line))), "id=\"elevation\" fill=\"none\" stroke=\"" +
                                                        std::string(kElevationColour) +
                                                        "\" stroke-width=\"1.8\"");
  svg.rect(kLeft, elev_top, kPlotWidth, kElevationHeight, "fill=\"none\" " + kAxis);
  km_axis(svg, extent, elev_bottom, "distance from the origin (km)");

  // Speed limit steps and slowdowns.
  double top_speed = 0;
  for (int64_t c = 0; c < n; ++c) {
    top_speed = std::max(top_speed, static_cast<double>(cells[static_cast<size_t>(c)].speed_limit));
  }
  std::vector<SlowdownView> slowdowns = track.slowdowns;
  for (const SlowdownView& s : slowdowns) {
    top_speed = std::max(top_speed, static_cast<double>(s.speed));
  }
  Axis sa{0, std::max(20.0, std::ceil(top_speed * 1.15 / 20) * 20), speed_top, kSpeedHeight};
  svg.rect(kLeft, speed_top, kPlotWidth, kSpeedHeight, "fill=\"#fff\"");
  value_axis(svg, sa, "speed (km/h)");
  if (slowdowns.size() > kMaxProfileMarks) {
    // The first slowdown that starts in each pixel column.
    std::vector<SlowdownView> thinned;
    int64_t last_column = -1;
    for (const SlowdownView& s : slowdowns) {
      int64_t column = profile_column(static_cast<double>(s.start), extent);
      if (column == last_column) continue;
      last_column = column;
      thinned.push_back(s);
    }
    slowdowns = std::move(thinned);
  }
  for (const SlowdownView& s : slowdowns) {
    double x1 = x_of(static_cast<double>(s.start));
    double x2 = std::max(x_of(static_cast<double>(s.end)), x1 + 2);
    double y = sa.y(std::clamp(static_cast<double>(s.speed), sa.lo, sa.hi));
    svg.rect(x1, y, x2 - x1, speed_top + kSpeedHeight - y,
             "fill=\"" + colour(kSlowdownColour) + "\" fill-opacity=\"0.25\" stroke=\"" +
                 colour(kSlowdownColour) + "\" class=\"slowdown\"");
    svg.text((x1 + x2) / 2, y - 4, std::to_string(s.speed),
             "font-size=\"10\" fill=\"" + colour(kSlowdownColour) + "\" text-anchor=\"middle\"");
  }
  Vertices steps;
  int prev = -1;
  for (int64_t c = 0; c < n; ++c) {
    int v = cells[static_cast<size_t>(c)].speed_limit;
    double x = x_of(static_cast<double>(c * model::kCellLength));
    if (c == 0) {
      steps.emplace_back(x, sa.y(v));
    } else if (v != prev) {
      steps.emplace_back(x, sa.y(prev));
      steps.emplace_back(x, sa.y(v));
    }
    prev = v;
  }
  steps.emplace_back(x_of(extent), sa.y(prev));
  svg.path(
      path_of(at_resolution(std::move(steps))),
      "id=\"speed\" fill=\"none\" stroke=\"" + colour(kLineColour) + "\" stroke-width=\"1.8\"");
  for (int32_t p : signal_positions(view)) {
    double x = x_of(p);
    svg.line(x, speed_bottom - 8, x, speed_bottom,
             "stroke=\"" + colour(kSignalColour) + "\" stroke-width=\"1.5\"");
  }
  svg.rect(kLeft, speed_top, kPlotWidth, kSpeedHeight, "fill=\"none\" " + kAxis);
  km_axis(svg, extent, speed_bottom, "distance from the origin (km)");

  // Legend.
  double ly = speed_bottom + 62;
  double x = kLeft;
  auto key = [&](const std::string& swatch, const std::string& label) {
    svg.raw(swatch);
    svg.text(x + 26, ly, label, kSmall);
    x += 40 + 7.0 * static_cast<double>(label.size());
  };
  key("<line x1=\"" + num(x) + "\" y1=\"" + num(ly - 4) + "\" x2=\"" + num(x + 20) + "\" y2=\"" +
          num(ly - 4) + "\" stroke=\"" + std::string(kElevationColour) +
          "\" stroke-width=\"2\"/>\n",
      "elevation");
  key("<rect x=\"" + num(x) + "\" y=\"" + num(ly - 10) + "\" width=\"20\" height=\"10\" fill=\"" +
          colour(kMountainColour) + "\" fill-opacity=\"0.3\"/>\n",
      "mountain stretch (M type)");
  key("<line x1=\"" + num(x) + "\" y1=\"" + num(ly - 4) + "\" x2=\"" + num(x + 20) + "\" y2=\"" +
          num(ly - 4) + "\" stroke=\"" + colour(kLineColour) + "\" stroke-width=\"2\"/>\n",
      "speed limit");
  key("<rect x=\"" + num(x) + "\" y=\"" + num(ly - 10) + "\" width=\"20\" height=\"10\" fill=\"" +
          colour(kSlowdownColour) + "\" fill-opacity=\"0.3\" stroke=\"" + colour(kSlowdownColour) +
          "\"/>\n",
      "slowdown (its speed above)");
  key("<line x1=\"" + num(x + 10) + "\" y1=\"" + num(ly - 10) + "\" x2=\"" + num(x + 10) +
          "\" y2=\"" + num(ly) + "\" stroke=\"" + colour(kSignalColour) +
          "\" stroke-width=\"1.5\"/>\n",
      "signal");
  return ly + 10;
}

}  // namespace

std::string xml_escape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string render_svg(const CompiledSet& set) { return render_svg(view_of(set)); }

std::string render_svg(const ScenarioView& view) {
  if (!view.track && !view.line) {
    throw ToolError("nothing to draw: the drawing needs a track file or a line file");
  }
  std::string title = "Compiled scenario";
  if (view.station) {
    const model::GeneralValues& g = view.station->general;
    title += " " + label_text(g.line.line_name) + " / " + label_text(g.train.train_code);
  }
  Svg body;
  body.text(kLeft, 32, title, "font-size=\"20\" font-weight=\"bold\"");
  double bottom = draw_plan(body, view, 70);
  bottom = draw_profiles(body, view, bottom + 40);
  double height = bottom + 20;

  std::string svg(kDrawingProlog);
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + num(kWidth) + "\" height=\"" +
         num(height) + "\" viewBox=\"0 0 " + num(kWidth) + " " + num(height) +
         "\" font-family=\"sans-serif\">\n";
  svg += "<title>" + xml_escape(title) + "</title>\n";
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"#fff\"/>\n";
  svg += body.take();
  svg += "</svg>\n";
  if (svg.size() > kMaxSvgSize) {
    // Every part above is bounded; this is a fault of the tool, not of the files.
    throw ToolError("the drawing came out at " + std::to_string(svg.size()) +
                    " bytes, past its bound of " + std::to_string(kMaxSvgSize) +
                    " bytes: it is not written");
  }
  return svg;
}

namespace {

// What --svg writes.
constexpr OutputKind kDrawing{"--svg", "drawing", "drawing.svg", kDrawingProlog, kMaxSvgSize};

}  // namespace

void check_drawing_target(platform::FileSystem& fs, const std::string& path) {
  check_output_target(fs, path, kDrawing);
}

void write_drawing(platform::FileSystem& fs, const std::string& path, std::string_view svg) {
  write_output(fs, path, svg, kDrawing);
}

}  // namespace tools
