#include "tools/preview/render.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <vector>

#include "compiled/test_compile.h"
#include "compiled/test_scenario.h"
#include "platform/memory_file_system.h"
#include "tools/preview/mark_colours.h"
#include "tools/preview/preview_page.h"
#include "tools/preview/xml_check.h"

namespace tools {
namespace {

using testing::parse_xml;
using testing::set_of;
using testing::small_scenario;
using testing::XmlElement;

const XmlElement* by_id(const XmlElement& root, const std::string& element, const std::string& id) {
  for (const XmlElement* e : root.all(element)) {
    auto a = e->attributes.find("id");
    if (a != e->attributes.end() && a->second == id) return e;
  }
  return nullptr;
}

std::multiset<std::string> station_labels(const XmlElement& root) {
  std::multiset<std::string> labels;
  for (const XmlElement* t : root.all("text")) {
    auto c = t->attributes.find("class");
    if (c != t->attributes.end() && c->second == "station-label") labels.insert(t->text);
  }
  return labels;
}

TEST(RenderTest, DrawsThePlanAndTheProfiles) {
  std::string svg = render_svg(set_of(small_scenario()));
  auto xml = parse_xml(svg);
  ASSERT_EQ(xml.error, "");
  EXPECT_EQ(xml.root->name, "svg");

  const XmlElement* plan = by_id(*xml.root, "path", "plan");
  ASSERT_NE(plan, nullptr);
  const std::string& d = plan->attributes.at("d");
  EXPECT_EQ(d.rfind("M", 0), 0u);
  EXPECT_GT(std::count(d.begin(), d.end(), 'L'), 1000);
  EXPECT_NE(by_id(*xml.root, "path", "elevation"), nullptr);
  EXPECT_NE(by_id(*xml.root, "path", "speed"), nullptr);

  // Each station is named on the plan and over the profile, escaped and in
  // UTF-8.
  std::multiset<std::string> labels = station_labels(*xml.root);
  EXPECT_EQ(labels.count("ALFA"), 2u);
  EXPECT_EQ(labels.count("BETA & <GAMMA> \xC2\xB0"), 2u);

  // Axes are labelled.
  std::string all_text;
  for (const XmlElement* t : xml.root->all("text")) all_text += t->text + "\n";
  for (const char* label : {"distance from the origin (km)", "elevation (m, from 0 at the origin)",
                            "speed (km/h)", "x (km, east of the origin)"}) {
    EXPECT_NE(all_text.find(label), std::string::npos) << label;
  }
  // One mountain stretch and one slowdown.
  int mountains = 0, slowdowns = 0;
  for (const XmlElement* r : xml.root->all("rect")) {
    auto c = r->attributes.find("class");
    if (c == r->attributes.end()) continue;
    mountains += c->second == "mountain";
    slowdowns += c->second == "slowdown";
  }
  EXPECT_EQ(mountains, 1);
  EXPECT_EQ(slowdowns, 1);
}

// ---- Reading values back off the drawing -----------------------------------------

double attr(const XmlElement& e, const std::string& name) {
  return std::stod(e.attributes.at(name));
}

bool has(const XmlElement& e, const std::string& name, const std::string& value) {
  auto a = e.attributes.find(name);
  return a != e.attributes.end() && a->second == value;
}

// One colour per kind of mark, the same on paper and on the page: the page's
// style holds each colour of the drawing, and no two kinds share one.
TEST(RenderTest, EachKindOfMarkHasOneColourInBothPictures) {
  const std::string_view style = preview_style();
  std::set<std::string_view> colours;
  for (const MarkColour& mark : kMarkColours) {
    EXPECT_NE(style.find("--" + std::string(mark.property) + ": " + std::string(mark.colour) + ";"),
              std::string_view::npos)
        << mark.property;
    EXPECT_TRUE(colours.insert(mark.colour).second) << mark.property << " shares its colour";
  }
  EXPECT_NE(style.find(".elevation { fill: none; stroke: " + std::string(kElevationColour) + ";"),
            std::string_view::npos);

  // The drawing's signals (a square on the plan, a tick on the speed
  // profile) and slowdowns each in their own colour.
  auto xml = parse_xml(render_svg(set_of(small_scenario())));
  ASSERT_EQ(xml.error, "");
  std::map<std::string, std::set<std::string>> colours_of;
  for (const XmlElement* r : xml.root->all("rect")) {
    if (has(*r, "width", "5.0") && has(*r, "height", "5.0")) {
      colours_of["signal on the plan"].insert(r->attributes.at("fill"));
    }
    if (has(*r, "class", "slowdown")) colours_of["slowdown"].insert(r->attributes.at("fill"));
    if (has(*r, "class", "mountain")) colours_of["mountain"].insert(r->attributes.at("fill"));
  }
  for (const XmlElement* c : xml.root->all("circle")) {
    colours_of["station"].insert(c->attributes.at("fill"));
  }
  const std::map<std::string, std::set<std::string>> expected = {
      {"signal on the plan", {std::string(kSignalColour.colour)}},
      {"slowdown", {std::string(kSlowdownColour.colour)}},
      {"mountain", {std::string(kMountainColour.colour)}},
      {"station", {std::string(kStationColour.colour)}}};
  EXPECT_EQ(colours_of, expected);
}

// One panel of the profiles as a reader of the page sees it: its frame, and
// its value axis from the labelled grid lines.
struct Panel {
  double left = 0, top = 0, width = 0, height = 0;
  std::vector<std::pair<double, double>> grid;  // (y, labelled value)

  double bottom() const { return top + height; }
  // The value at height y, by the first and last grid lines.
  double value_at(double y) const {
    const auto& [y0, v0] = grid.front();
    const auto& [y1, v1] = grid.back();
    return v0 + (y - y0) * (v1 - v0) / (y1 - y0);
  }
};

// The elevation panel, then the speed panel: the two frames drawn without a
// fill, each with the grid lines across it and the labels left of them.
std::vector<Panel> profile_panels(const XmlElement& root) {
  std::vector<Panel> panels;
  for (const XmlElement* r : root.all("rect")) {
    if (!has(*r, "fill", "none") || !has(*r, "stroke", "#333")) continue;
    Panel p{attr(*r, "x"), attr(*r, "y"), attr(*r, "width"), attr(*r, "height"), {}};
    std::vector<double> lines, values;
    for (const XmlElement* l : root.all("line")) {
      const double y = attr(*l, "y1");
      if (has(*l, "stroke", "#ddd") && attr(*l, "x1") == p.left && y == attr(*l, "y2") &&
          y >= p.top && y <= p.bottom()) {
        lines.push_back(y);
      }
    }
    for (const XmlElement* t : root.all("text")) {
      const double y = attr(*t, "y");
      if (has(*t, "text-anchor", "end") && attr(*t, "x") < p.left && y >= p.top &&
          y <= p.bottom() + 5) {
        values.push_back(std::stod(t->text));
      }
    }
    EXPECT_EQ(lines.size(), values.size());
    EXPECT_GE(lines.size(), 2u);
    for (size_t i = 0; i < std::min(lines.size(), values.size()); ++i) {
      p.grid.emplace_back(lines[i], values[i]);
    }
    panels.push_back(std::move(p));
  }
  return panels;
}

// The x of a kilometre label ("5.0") under a panel.
double km_x(const XmlElement& root, const Panel& panel, const std::string& label) {
  for (const XmlElement* t : root.all("text")) {
    const double y = attr(*t, "y");
    if (has(*t, "text-anchor", "middle") && t->text == label && y > panel.bottom() &&
        y < panel.bottom() + 25) {
      return attr(*t, "x");
    }
  }
  ADD_FAILURE() << "no kilometre label " << label;
  return 0;
}

std::vector<std::pair<double, double>> vertices(const std::string& d) {
  std::vector<std::pair<double, double>> v;
  std::istringstream in(d);
  char command;
  double x, y;
  while (in >> command >> x >> y) v.emplace_back(x, y);
  return v;
}

// The height of a line at x: of its vertex there, or of its level step over x.
double y_of_line(const std::vector<std::pair<double, double>>& v, double x) {
  for (size_t i = 0; i < v.size(); ++i) {
    if (std::abs(v[i].first - x) < 0.01) return v[i].second;
    if (i + 1 < v.size() && v[i].first < x && x < v[i + 1].first &&
        v[i].second == v[i + 1].second) {
      return v[i].second;
    }
  }
  ADD_FAILURE() << "the line does not pass over x " << x;
  return 0;
}

// Read off the page against its own axes: the elevation at a kilometre is
// the sum of gradient x 50 m over the cells before it (+10 per mille to
// 5 km, -10 after), the speed line sits at the limit in force (95 km/h to
// 1.2 km, 140 km/h after).
TEST(RenderTest, TheProfilesShowTheirValuesOnTheirAxes) {
  auto xml = parse_xml(render_svg(set_of(small_scenario())));
  ASSERT_EQ(xml.error, "");
  const std::vector<Panel> panels = profile_panels(*xml.root);
  ASSERT_EQ(panels.size(), 2u);
  const Panel& elevation = panels[0];
  const Panel& speed = panels[1];

  const auto line = vertices(by_id(*xml.root, "path", "elevation")->attributes.at("d"));
  struct Height {
    const char* km;
    double metres;
  };
  const Height heights[] = {{"0", 0},    {"0.5", 5},  {"2.0", 20},
                            {"5.0", 50}, {"7.5", 25}, {"9.5", 5}};
  for (const Height& h : heights) {
    const double x = km_x(*xml.root, elevation, h.km);
    EXPECT_NEAR(elevation.value_at(y_of_line(line, x)), h.metres, 0.1) << "km " << h.km;
  }

  const auto steps = vertices(by_id(*xml.root, "path", "speed")->attributes.at("d"));
  struct Limit {
    const char* km;
    double kmh;
  };
  const Limit limits[] = {{"0.5", 95}, {"1.0", 95}, {"1.5", 140}, {"5.0", 140}, {"9.5", 140}};
  for (const Limit& l : limits) {
    const double x = km_x(*xml.root, speed, l.km);
    EXPECT_NEAR(speed.value_at(y_of_line(steps, x)), l.kmh, 0.5) << "km " << l.km;
  }
  // The slowdown's top edge stands at its 30 km/h.
  for (const XmlElement* r : xml.root->all("rect")) {
    if (has(*r, "class", "slowdown")) {
      EXPECT_NEAR(speed.value_at(attr(*r, "y")), 30, 0.5);
    }
  }
}

TEST(RenderTest, MissingFilesAreLeftOutWithANote) {
  model::Scenario s = small_scenario();
  CompiledSet no_line = set_of(s);
  no_line.line.reset();
  auto xml = parse_xml(render_svg(no_line));
  ASSERT_EQ(xml.error, "");
  EXPECT_EQ(by_id(*xml.root, "path", "plan"), nullptr);
  EXPECT_NE(by_id(*xml.root, "path", "elevation"), nullptr);

  CompiledSet line_only = set_of(s);
  line_only.station.reset();
  line_only.track.reset();
  xml = parse_xml(render_svg(line_only));
  ASSERT_EQ(xml.error, "");
  EXPECT_NE(by_id(*xml.root, "path", "plan"), nullptr);

  CompiledSet nothing;
  nothing.station = set_of(s).station;
  EXPECT_THROW(render_svg(nothing), ToolError);
}

// Odd values from a damaged file still give a well-formed page, quickly.
// Every set the compile pass writes draws within the bound, whatever compile
// error it met: a track shorter than the plan, no line file, a line length
// the compiler refuses in the station file.
TEST(RenderTest, EverySetTheCompilerWritesDraws) {
  using testing::kTrain;
  using testing::route_of_length;
  const struct {
    const char* name;
    std::string route;
    bool line_file;
  } cases[] = {
      {"clean", route_of_length(3000), true},
      {"clean without a line file", route_of_length(3000), false},
      {"a negative length", route_of_length(-5000), true},
      {"a length above the limit after another",
       "[generale]\r\nlunghezza percorso, 3000\r\nlunghezza percorso, 2000000000\r\n[fine]\r\n",
       true},
      {"a length that gives no plan after another",
       "[generale]\r\nlunghezza percorso, 3000\r\nlunghezza percorso, -7010\r\n[fine]\r\n", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    platform::MemoryFileSystem fs;
    ASSERT_FALSE(testing::compile(fs, "out", c.route, kTrain, c.line_file).ended);
    const std::string svg = render_svg(load_compiled(fs, "out", false));
    EXPECT_EQ(parse_xml(svg).error, "");
    EXPECT_LE(svg.size(), kMaxSvgSize);
  }
  // A station file that says a length of 2 000 000 000 m over a track and a
  // plan of 10000 m.
  model::Scenario s = small_scenario();
  s.item_table[model::kSlotTrainGeneral].area_end = 2000000000;
  EXPECT_LE(render_svg(set_of(s)).size(), kMaxSvgSize);
}

TEST(RenderTest, OddValuesStillDraw) {
  model::Scenario s = small_scenario();
  s.track_plan.x[5000] = std::nan("");
  s.track_plan.y[6000] = 1e300;
  s.track_plan.x[7000] = -1e300;
  s.item_table[1].item_position = -5;
  s.item_table[2].item_position = 99999999;
  for (auto& c : s.track) c.gradient_code = 255;
  auto xml = parse_xml(render_svg(set_of(s)));
  EXPECT_EQ(xml.error, "");
}

// The plan is drawn at the picture's resolution: far fewer points than the
// line file holds, the bends and the extent kept.
TEST(RenderTest, ThePlanIsDrawnAtThePicturesResolution) {
  // The small scenario's plan, drawn whole, continued to 60000 m with more
  // bends; the route ends at 50000 m.
  model::Scenario s = small_scenario();
  s.item_table[84].area_end = 50000;
  s.track_plan.last = 60000;
  s.track_plan.cursor = 60000;
  s.track_plan.x.resize(60001);
  s.track_plan.y.resize(60001);
  double heading = 1.5;
  for (int m = 9999; m < 60000; ++m) {
    heading -= 0.00002;  // a long left-hand bend, to north-east
    s.track_plan.x[m] = s.track_plan.x[m - 1] + std::sin(heading);
    s.track_plan.y[m] = s.track_plan.y[m - 1] + std::cos(heading);
  }
  std::string svg = render_svg(set_of(s));
  ASSERT_EQ(svg.rfind(kDrawingProlog, 0), 0u);
  auto xml = parse_xml(svg);
  ASSERT_EQ(xml.error, "");
  const std::string& d = by_id(*xml.root, "path", "plan")->attributes.at("d");
  const std::string& spare = by_id(*xml.root, "path", "plan-spare")->attributes.at("d");
  int64_t points = std::count(d.begin(), d.end(), 'L') + 1;
  int64_t spare_points = std::count(spare.begin(), spare.end(), 'L');
  EXPECT_LE(points + spare_points, 6 * kPlanBuckets + 1);
  EXPECT_GT(points, 2000);
  EXPECT_GT(spare_points, 200);
  // The first point and the route's last are drawn.
  auto numbers = [](const std::string& text) {
    std::vector<double> v;
    for (size_t i = 0; i < text.size();) {
      char* end = nullptr;
      double x = std::strtod(text.c_str() + i, &end);
      if (end == text.c_str() + i) {
        ++i;
      } else {
        v.push_back(x);
        i = static_cast<size_t>(end - text.c_str());
      }
    }
    return v;
  };
  std::vector<double> first = numbers(d.substr(1, d.find('L') - 1));
  std::vector<double> last = numbers(d.substr(d.rfind('L') + 1));
  ASSERT_EQ(first.size(), 2u);
  ASSERT_EQ(last.size(), 2u);
  // The line runs north, then bends to the east and back to the north-east:
  // the route's last point lies east of and above the first. The spare
  // track goes on from it.
  EXPECT_GT(last[0], first[0]);
  EXPECT_LT(last[1], first[1]);
  EXPECT_EQ(numbers(spare.substr(1, spare.find('L') - 1)), last);
}

// The largest files the compiler can write, filled to draw as much as they
// can: a signal or a slowdown, a change of mountain type, gradient and speed
// in every cell, a zigzag plan of a million points, names of 65535 bytes
// that each need escaping. The page stays within its bound.
TEST(RenderTest, TheLargestFilesDrawWithinTheBound) {
  model::Scenario s = small_scenario();
  s.cell_count = static_cast<int32_t>(kMaxCellCount);
  s.total_length = static_cast<int32_t>(kMaxTotalLength);
  s.track.assign(static_cast<size_t>(kMaxCellCount) + 1, model::TrackCell{});
  for (size_t i = 0; i < s.track.size(); ++i) {
    model::TrackCell& c = s.track[i];
    c.kind = i % 3 == 0 ? model::kSignal : model::kSlowdownStart;
    c.value1 = static_cast<int16_t>(i % 2 ? 30 : 150);
    c.mountain_type = static_cast<uint8_t>(1 + i % 2);
    c.gradient_code = static_cast<uint8_t>(i % 2 ? 0 : 255);
    c.speed_code = static_cast<uint8_t>(i % 2 ? 1 : 60);
  }
  for (int slot = 1; slot <= 80; ++slot) {
    model::ItemRecord& r = s.item_table[static_cast<size_t>(slot)];
    r = model::ItemRecord{};
    r.item_kind = 1;
    r.item_position = slot * 12000;
    r.item_name = std::string(static_cast<size_t>(kMaxNameSize), '\'');
  }
  s.item_table[85].item_name = std::string(static_cast<size_t>(kMaxNameSize), '&');
  s.item_table[86].item_name = std::string(static_cast<size_t>(kMaxNameSize), '<');
  s.track_plan.last = static_cast<int32_t>(kMaxTotalLength);
  s.track_plan.cursor = s.track_plan.last + 1;
  s.track_plan.x.assign(static_cast<size_t>(kMaxPlanPoints), 0);
  s.track_plan.y.assign(static_cast<size_t>(kMaxPlanPoints), 0);
  for (size_t m = 0; m < s.track_plan.x.size(); ++m) {
    s.track_plan.x[m] = m % 2 ? 1e6 : -1e6;
    s.track_plan.y[m] = static_cast<double>(m);
  }
  s.track_plan.x[123456] = std::nan("");
  CompiledSet set = set_of(s);
  ASSERT_LE(set.station->size, kMaxStationFileSize);
  ASSERT_EQ(set.track->size, kMaxTrackFileSize);
  ASSERT_GT(set.line->size, kMaxLineFileSize - 100);

  std::string svg = render_svg(set);
  EXPECT_LE(svg.size(), kMaxSvgSize);
  auto xml = parse_xml(svg);
  ASSERT_EQ(xml.error, "");
  const std::string& d = by_id(*xml.root, "path", "plan")->attributes.at("d");
  EXPECT_LE(std::count(d.begin(), d.end(), 'L'), 6 * kPlanBuckets);
  // Names are cut, and still there.
  std::multiset<std::string> labels = station_labels(*xml.root);
  ASSERT_FALSE(labels.empty());
  EXPECT_EQ(labels.begin()->rfind("''''", 0), 0u);
  EXPECT_LT(labels.begin()->size(), kMaxLabelCharacters + 3);
}

// ---- Where the drawing may be written ------------------------------------------

std::string refusal(platform::FileSystem& fs, const std::string& path) {
  try {
    write_drawing(fs, path, "<svg/>");
  } catch (const ToolError& e) {
    return e.what();
  }
  return "(written)";
}

TEST(RenderTest, TheDrawingNeverReplacesADescriptionACompiledFileOrAnotherFile) {
  platform::MemoryFileSystem fs;
  const std::string svg = render_svg(set_of(small_scenario()));
  const std::map<std::string, std::string> files = {
      {"d/BRENTALVO_TRN4417.sim", "compiled"},
      {"d/BRENTALVO_TRN4417.dat", "compiled"},
      {"d/BRENTALVO_linea.dat", "compiled"},
      {"d/BRENTALVO_linea.txt", "[generale]"},
      {"d/BRENTALVO_TRN4417-.txt", "[generale]"},
      {"d/notes.txt", "my notes"},
      {"d/other.svg", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg/>"},
      {"d/huge.svg", std::string(kDrawingProlog) + std::string(kMaxSvgSize, ' ')},
  };
  for (const auto& [path, bytes] : files) fs.add_file(path, bytes);
  fs.add_link("d/link.svg");
  fs.add_folder("d/folder.svg");

  for (const char* path :
       {"d/BRENTALVO_TRN4417.sim", "d/BRENTALVO_TRN4417.dat", "d/BRENTALVO_linea.dat",
        "d/BRENTALVO_linea.txt", "d/BRENTALVO_TRN4417-.txt", "d/NEW.SIM", "d/new_LINEA.TXT"}) {
    std::string message = refusal(fs, path);
    EXPECT_EQ(message.rfind(std::string(path) + ": refused: a name ending in", 0), 0u) << message;
    EXPECT_NE(message.find("a drawing never replaces a description or a compiled file"),
              std::string::npos)
        << message;
  }
  for (const char* path : {"d/notes.txt", "d/other.svg", "d/huge.svg"}) {
    EXPECT_EQ(refusal(fs, path), std::string(path) +
                                     " exists and is not a drawing of scenario_tool render: it is "
                                     "left as it is: give --svg another name, such as "
                                     "drawing.svg, or remove the file first");
  }
  EXPECT_NE(refusal(fs, "d/link.svg").find("is a symbolic link"), std::string::npos);
  EXPECT_NE(refusal(fs, "d/folder.svg").find("is a folder"), std::string::npos);
  for (const auto& [path, bytes] : files) EXPECT_EQ(fs.contents(path), bytes) << path;
  EXPECT_EQ(fs.kind("d/NEW.SIM"), platform::FileKind::kMissing);

  // A new file, then the drawing over its own earlier one.
  write_drawing(fs, "d/drawing.svg", svg);
  EXPECT_EQ(fs.contents("d/drawing.svg"), svg);
  model::Scenario other = small_scenario();
  other.item_table[1].item_name = "OTHER";
  const std::string second = render_svg(set_of(other));
  ASSERT_NE(second, svg);
  write_drawing(fs, "d/drawing.svg", second);
  EXPECT_EQ(fs.contents("d/drawing.svg"), second);
  // Nothing left beside it.
  EXPECT_EQ(fs.files().size(), files.size() + 1);
}

}  // namespace
}  // namespace tools
