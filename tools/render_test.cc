#include "tools/render.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "tools/test_scenario.h"
#include "tools/xml_check.h"

namespace tools {
namespace {

using testing::parse_xml;
using testing::small_scenario;
using testing::XmlElement;

CompiledSet set_of(const model::Scenario& s) {
  CompiledSet set;
  add_file(set, FileKind::kStation, model::station_file_name(s), model::encode_station_file(s));
  add_file(set, FileKind::kTrack, model::track_file_name(s), model::encode_track_file(s));
  add_file(set, FileKind::kLine, model::line_file_name(s), model::encode_line_file(s));
  return set;
}

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

}  // namespace
}  // namespace tools
