#include "tools/preview/html_preview.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "compiled/test_scenario.h"
#include "compiled/text.h"
#include "platform/memory_file_system.h"
#include "tools/compile/compile_command.h"

namespace tools {
namespace {

using nlohmann::json;
using testing::set_of;
using testing::small_scenario;
using testing::TempFolder;

size_t count_of(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

const std::string kDataOpen = "<script type=\"application/json\" id=\"data\">";

// The data embedded in a page, read back as a browser's JSON.parse would.
json embedded_data(const std::string& page) {
  const size_t from = page.find(kDataOpen);
  EXPECT_NE(from, std::string::npos);
  const size_t begin = from + kDataOpen.size();
  const size_t end = page.find("</script>", begin);
  EXPECT_NE(end, std::string::npos);
  return json::parse(page.substr(begin, end - begin));
}

// ---- The built-in scenario --------------------------------------------------------

TEST(HtmlPreviewTest, TheBuiltInPageIsSelfContainedAndHoldsEveryNameOnce) {
  TempFolder dir("html_builtin");
  const std::vector<WrittenFile> written = write_builtin(dir.path(), false);
  CompileOptions o;
  o.route = dir.path() / written[0].first;
  o.train = dir.path() / written[1].first;
  o.out = dir.path() / "out";
  const CompileReport report = compile_descriptions(o);
  ASSERT_EQ(report.outcome, Outcome::kOk) << report.message();
  const CompiledSet set = load_compiled(platform::real_file_system(), o.out.string(), true);
  const std::string page = render_html(set, {"BRENTALVO / TRN4417", {}, false, {}});

  EXPECT_TRUE(page.starts_with(kPreviewProlog));
  // The one link is the empty icon, which keeps the browser from asking for
  // one.
  const std::string icon = "<link rel=\"icon\" href=\"data:,\">";
  ASSERT_EQ(count_of(page, icon), 1u);
  std::string rest = page;
  rest.erase(rest.find(icon), icon.size());
  for (const char* outside : {"http://", "https://", "<script src", "<link", "@import", "src="}) {
    EXPECT_EQ(rest.find(outside), std::string::npos) << outside;
  }
  EXPECT_NE(page.find("<body data-live=\"0\">"), std::string::npos);
  for (const char* id : {"id=\"range\"", "id=\"tooltip\"", "id=\"diagnostics\"", "id=\"search\"",
                         "id=\"view\"", "id=\"legend\""}) {
    EXPECT_EQ(count_of(page, id), 1u) << id;
  }

  const json data = embedded_data(page);
  const ScenarioView view = view_of(set);
  ASSERT_EQ(data["stations"].size(), view.station->stations.size());
  ASSERT_EQ(data["signs"].size(), view.station->signs.size());
  EXPECT_EQ(data["stations"].size(), 27u);
  EXPECT_EQ(data["signs"].size(), 51u);
  for (size_t i = 0; i < view.station->stations.size(); ++i) {
    const std::string name = to_utf8(view.station->stations[i].name);
    EXPECT_EQ(data["stations"][i]["name"], name);
    EXPECT_EQ(count_of(page, "\"name\":" + json(name).dump()), 1u) << name;
  }
  for (size_t i = 0; i < view.station->signs.size(); ++i) {
    const std::string text = to_utf8(view.station->signs[i].text);
    EXPECT_EQ(data["signs"][i]["text"], text);
    EXPECT_TRUE(data["signs"][i].contains("km")) << text;  // every built-in sign is placed
  }
  // The profiles are runs: far fewer than the cells.
  EXPECT_LT(data["gradient"].size(), static_cast<size_t>(view.track->profile_cells) / 4);
  EXPECT_EQ(data["plan"]["stored"], view.line->points.size());
  EXPECT_LE(data["plan"]["points"].size(), kPreviewPlanPoints);
  EXPECT_LT(page.size(), size_t{1} << 20);
  std::printf("built-in page: %zu bytes, %zu plan points of %zu\n", page.size(),
              data["plan"]["points"].size(), view.line->points.size());
}

// ---- Texts that could break the page ----------------------------------------------

TEST(HtmlPreviewTest, HostileTextsStayText) {
  model::Scenario s = small_scenario();
  s.item_table[1].item_name = "</script><b>";
  s.item_table[79].item_name = "<!--<script>";
  Diagnostic d;
  d.file = "x</script>.txt";
  d.line = 3;
  d.code = 6;
  d.message = "route sign on a cell already taken & more";
  const std::string page =
      render_html(set_of(s), {"</title><script>alert(1)</script>", {d}, false, {}});

  // Two script elements, each closed once: no text closes one early.
  EXPECT_EQ(count_of(page, "<script"), 2u);
  EXPECT_EQ(count_of(page, "</script>"), 2u);
  EXPECT_EQ(page.find("<b>"), std::string::npos);
  EXPECT_EQ(page.find("<!--<"), std::string::npos);
  EXPECT_NE(page.find("<title>&lt;/title&gt;&lt;script&gt;alert(1)&lt;/script&gt;</title>"),
            std::string::npos);

  const json data = embedded_data(page);
  EXPECT_EQ(data["stations"][0]["name"], "</script><b>");
  EXPECT_EQ(data["signs"][1]["text"], "<!--<script>");
  EXPECT_EQ(data["stations"][1]["name"], "BETA & <GAMMA> \u00b0");
  ASSERT_EQ(data["diagnostics"].size(), 1u);
  EXPECT_EQ(data["diagnostics"][0]["error"], true);
  EXPECT_EQ(data["diagnostics"][0]["heading"], d.heading());
}

// The driver's documents ride in the data as UTF-8 lines, and their texts
// stay text like every other.
TEST(HtmlPreviewTest, TheDriversDocumentsInTheirPanel) {
  EXPECT_TRUE(preview_data(set_of(small_scenario()), {})["documents"].is_null());
  PreviewOptions options{"docs",
                         {},
                         false,
                         {{"L_T_scheda_treno.txt", "CITT\xC0\r\n</script><b>\r\n"},
                          {"L_T_rallentamenti.txt", "O1\r\n"}}};
  const std::string page = render_html(set_of(small_scenario()), options);
  EXPECT_EQ(count_of(page, "</script>"), 2u);
  EXPECT_NE(page.find("id=\"documents-panel\""), std::string::npos);
  const json data = embedded_data(page);
  EXPECT_EQ(data["documents"]["timetable_card"]["file"], "L_T_scheda_treno.txt");
  EXPECT_EQ(data["documents"]["timetable_card"]["lines"],
            json::array({"CITT\u00c0", "</script><b>"}));
  EXPECT_EQ(data["documents"]["slow_order_form"]["lines"], json::array({"O1"}));
}

TEST(HtmlPreviewTest, InvalidUtf8InTheTitleIsReplacedNotThrown) {
  const std::string page = render_html(set_of(small_scenario()), {"bad \xff byte", {}, true, {}});
  EXPECT_NE(page.find("<title>bad \xEF\xBF\xBD byte</title>"), std::string::npos);
  EXPECT_NE(page.find("<body data-live=\"1\">"), std::string::npos);
}

// ---- The data, by value -------------------------------------------------------------

TEST(HtmlPreviewTest, TheSmallScenarioByValue) {
  const json data = preview_data(set_of(small_scenario()), {});
  EXPECT_EQ(data["length"], 9900);  // 198 profile cells
  EXPECT_EQ(data["names"]["line"], "LINEA");
  EXPECT_EQ(data["names"]["train"], "TR1");

  const json& alfa = data["stations"][0];
  EXPECT_EQ(alfa["name"], "ALFA");
  EXPECT_EQ(alfa["km"], "km 0+000");
  EXPECT_EQ(alfa["time"], 26940);
  EXPECT_EQ(alfa["time_text"], "07:29:00");
  const json& beta = data["stations"][1];
  EXPECT_EQ(beta["position"], 2000);
  EXPECT_EQ(beta["km"], "km 2+000");
  EXPECT_EQ(beta["stop_time"], 30);
  EXPECT_EQ(beta["time_text"], "07:49:30");
  EXPECT_EQ(beta["area"], json::array({1800, 2200}));

  EXPECT_EQ(data["signs"][0], (json{{"slot", 80},
                                    {"text", "(CULMINE)(Km.1+000)"},
                                    {"cell", 21},
                                    {"position", 1000},
                                    {"km", "km 1+000"}}));
  EXPECT_EQ(data["signals"][0]["position"], 500);
  EXPECT_EQ(data["signals"][0]["codes"], json::array({30, 0, 0, 3}));
  // value4 3 is sx 1 and dx 0; value1 30 the aspects 3 and 0.
  EXPECT_EQ(data["signals"][0]["left"], json::array({1, 3, 0, 0}));
  EXPECT_EQ(data["signals"][0]["right"], json::array({0, 0, 0, 0}));
  EXPECT_EQ(data["signals"][0]["rapp"], 0);
  EXPECT_EQ(data["slowdowns"][0]["start"], 2500);
  EXPECT_EQ(data["slowdowns"][0]["end"], 2800);
  EXPECT_EQ(data["slowdowns"][0]["speed"], 30);
  EXPECT_EQ(data["mountains"][0], (json{{"start", 3000}, {"end", 3550}, {"type", 2}}));
  // The stop and the warning, each with its kind.
  ASSERT_EQ(data["cells"].size(), 2u);
  EXPECT_EQ(data["cells"][0]["kind"], "station stop");
  EXPECT_EQ(data["cells"][0]["position"], 200);
  EXPECT_EQ(data["cells"][1]["kind"], "slowdown warning");

  EXPECT_EQ(data["speed"], json::parse("[[0,1200,95],[1200,9900,140]]"));
  EXPECT_EQ(data["speed_shown"],
            json::parse("[[0,1200,95],[1200,2500,140],[2500,2800,30],[2800,9900,140]]"));
  EXPECT_EQ(data["gradient"], json::parse("[[0,5000,10],[5000,9900,-10]]"));
  EXPECT_EQ(data["elevation"], json::parse("[[0,0.0],[5000,50.0],[9900,1.0]]"));
  EXPECT_EQ(data["plan"]["stored"], 9999);  // the last two points are not computed
  EXPECT_LE(data["plan"]["points"].size(), kPreviewPlanPoints);
  EXPECT_EQ(data["plan"]["points"][0], json::parse("[0,0.0,0.0]"));
  EXPECT_EQ(data["plan"]["points"].back()[0], 9998);
}

TEST(HtmlPreviewTest, SlowdownsOnlyLowerTheSpeed) {
  model::Scenario s = small_scenario();
  // A second slowdown, cells 70 .. 75 at 60 km/h, dips; a third at 200 km/h, above the
  // limit, changes nothing.
  s.track[70].kind = model::kSlowdownStart;
  s.track[70].value1 = 60;
  s.track[75].kind = model::kSlowdownEnd;
  s.track[80].kind = model::kSlowdownStart;
  s.track[80].value1 = 200;
  s.track[90].kind = model::kSlowdownEnd;
  const json data = preview_data(set_of(s), {});
  EXPECT_EQ(data["slowdowns"].size(), 3u);
  EXPECT_EQ(data["speed_shown"],
            json::parse("[[0,1200,95],[1200,2500,140],[2500,2800,30],[2800,3450,140],"
                        "[3450,3700,60],[3700,9900,140]]"));
}

// Where dips overlap, the lowest of them and the limit is shown; a dip
// that ends leaves the others of the same speed in place. (The track file
// pairs each start with the next end, so the overlaps are made in the view.)
TEST(HtmlPreviewTest, OverlappingDipsShowTheLowest) {
  const ScenarioView base = view_of(set_of(small_scenario()));  // limit 95, then 140 from 1200 m
  const struct {
    const char* name;
    std::vector<SlowdownView> dips;
    const char* shown;
  } cases[] = {
      {"one inside another",
       {{0, 0, 3000, 4000, 80}, {0, 0, 3200, 3500, 50}},
       "[[0,1200,95],[1200,3000,140],[3000,3200,80],[3200,3500,50],[3500,4000,80],"
       "[4000,9900,140]]"},
      {"the lower inside a higher one",
       {{0, 0, 3000, 4000, 50}, {0, 0, 3200, 3500, 80}},
       "[[0,1200,95],[1200,3000,140],[3000,4000,50],[4000,9900,140]]"},
      {"two of one speed, ending apart",
       {{0, 0, 3000, 3500, 60}, {0, 0, 3200, 4000, 60}},
       "[[0,1200,95],[1200,3000,140],[3000,4000,60],[4000,9900,140]]"},
      {"a low one inside one above the limit",
       {{0, 0, 3000, 4000, 200}, {0, 0, 3500, 3700, 40}},
       "[[0,1200,95],[1200,3500,140],[3500,3700,40],[3700,9900,140]]"},
      {"over the step of the limit",
       {{0, 0, 1000, 1500, 100}},
       "[[0,1200,95],[1200,1500,100],[1500,9900,140]]"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScenarioView view = base;
    view.track->slowdowns = c.dips;
    EXPECT_EQ(preview_data(view, {})["speed_shown"], json::parse(c.shown));
  }
}

// A signal whose eight codes all differ: each shown in its place.
TEST(HtmlPreviewTest, ASignalsCodesLeftAndRight) {
  model::Scenario s = small_scenario();
  // Left: sx 2 and aspects 3, 6, 7; right: dx 1 and aspects 5, 8, 9; rapp 4.
  s.track[11].value1 = 35;
  s.track[11].value2 = 68;
  s.track[11].value3 = 79;
  s.track[11].value4 = 47;
  const json data = preview_data(set_of(s), {});
  ASSERT_EQ(data["signals"].size(), 1u);
  const json& signal = data["signals"][0];
  EXPECT_EQ(signal["codes"], json::array({35, 68, 79, 47}));
  EXPECT_EQ(signal["left"], json::array({2, 3, 6, 7}));
  EXPECT_EQ(signal["right"], json::array({1, 5, 8, 9}));
  EXPECT_EQ(signal["rapp"], 4);
}

TEST(HtmlPreviewTest, PartsWithoutTheirFileAreEmpty) {
  const model::Scenario s = small_scenario();
  CompiledSet track_only;
  add_file(track_only, FileKind::kTrack, model::track_file_name(s), model::encode_track_file(s));
  const json data = preview_data(track_only, {});
  EXPECT_EQ(data["stations"], json::array());
  EXPECT_EQ(data["plan"]["points"], json::array());
  EXPECT_EQ(data["length"], 9900);
  EXPECT_FALSE(render_html(track_only, {}).empty());
}

// ---- The largest scenario -----------------------------------------------------------

TEST(HtmlPreviewTest, TheLargestPlanAndTrackStaySmall) {
  CompiledSet set;
  LineFile line;
  line.x.resize(kMaxPlanPoints);
  line.y.resize(kMaxPlanPoints);
  double heading = 0, x = 0, y = 0, min_x = 0, max_x = 0;
  for (int64_t m = 0; m < kMaxPlanPoints; ++m) {
    heading += 0.002 * std::sin(static_cast<double>(m) / 20000);  // long, winding bends
    x += std::sin(heading);
    y += std::cos(heading);
    min_x = std::min(min_x, x);
    max_x = std::max(max_x, x);
    line.x[static_cast<size_t>(m)] = {kPlanDouble, x};
    line.y[static_cast<size_t>(m)] = {kPlanDouble, y};
  }
  line.x[500000].value = std::nan("");  // a damaged value is left out, not written as null
  set.line = Loaded<LineFile>{"BIG_linea.dat", 0, std::move(line)};

  TrackFile track;
  track.cells.resize(static_cast<size_t>(kMaxCellCount) + 1);
  for (size_t c = 0; c < track.cells.size(); ++c) {
    model::TrackCell& cell = track.cells[c];
    cell.gradient_code = static_cast<uint8_t>(100 + (c / 7) % 30);
    cell.speed_code = static_cast<uint8_t>(20 + (c / 11) % 10);
    if (c % 40 == 3) cell.kind = model::kSignal;
  }
  set.track = Loaded<TrackFile>{"BIG_T1.dat", 0, std::move(track)};

  const std::string page = render_html(set, {"big", {}, false, {}});
  EXPECT_LT(page.size(), size_t{2} << 20);
  const json data = embedded_data(page);
  const json& points = data["plan"]["points"];
  EXPECT_LE(points.size(), kPreviewPlanPoints);
  EXPECT_GE(points.size(), kPreviewPlanPoints / 2);
  EXPECT_EQ(points.front()[0], 0);
  EXPECT_EQ(points.back()[0], kMaxPlanPoints - 1);
  EXPECT_EQ(data["plan"]["stored"], kMaxPlanPoints);
  double kept_min = 0, kept_max = 0;
  int32_t last_metre = -1;
  for (const json& p : points) {
    ASSERT_TRUE(p[1].is_number() && p[2].is_number());
    EXPECT_GT(p[0].get<int32_t>(), last_metre);  // in order, each once
    last_metre = p[0].get<int32_t>();
    kept_min = std::min(kept_min, p[1].get<double>());
    kept_max = std::max(kept_max, p[1].get<double>());
  }
  // The cut keeps the plan's shape: its extent within a few metres.
  EXPECT_NEAR(kept_min, min_x, 5);
  EXPECT_NEAR(kept_max, max_x, 5);
  EXPECT_EQ(data["signals"].size(), 504u);
  std::printf("largest page: %zu bytes\n", page.size());
}

// ---- Where the page may be written --------------------------------------------------

std::string refusal(platform::FileSystem& fs, const std::string& path) {
  try {
    write_preview(fs, path, std::string(kPreviewProlog) + "<html></html>");
  } catch (const ToolError& e) {
    return e.what();
  }
  return "(written)";
}

TEST(HtmlPreviewTest, ThePageReplacesOnlyAnEarlierPage) {
  platform::MemoryFileSystem fs;
  const std::map<std::string, std::string> files = {
      {"d/A_T.sim", "compiled"},         {"d/A_linea.dat", "compiled"},
      {"d/A_linea.txt", "[generale]"},   {"d/A_T-.txt", "[generale]"},
      {"d/notes.html", "<html></html>"},
  };
  for (const auto& [path, bytes] : files) fs.add_file(path, bytes);
  fs.add_folder("d/folder.html");
  for (const char* path : {"d/A_T.sim", "d/A_linea.dat", "d/A_linea.txt", "d/A_T-.txt", "d/NEW.DAT",
                           "d/new_LINEA.TXT"}) {
    EXPECT_EQ(refusal(fs, path).rfind(std::string(path) + ": refused: a name ending in", 0), 0u)
        << path;
  }
  EXPECT_EQ(refusal(fs, "d/notes.html"),
            "d/notes.html exists and is not a page of scenario_tool render: it is left as it is: "
            "give --html another name, such as preview.html, or remove the file first");
  EXPECT_NE(refusal(fs, "d/folder.html").find("is a folder"), std::string::npos);
  for (const auto& [path, bytes] : files) EXPECT_EQ(fs.contents(path), bytes) << path;

  const std::string page = render_html(set_of(small_scenario()), {"one", {}, false, {}});
  write_preview(fs, "d/preview.html", page);
  EXPECT_EQ(fs.contents("d/preview.html"), page);
  const std::string second = render_html(set_of(small_scenario()), {"two", {}, false, {}});
  write_preview(fs, "d/preview.html", second);
  EXPECT_EQ(fs.contents("d/preview.html"), second);
}

}  // namespace
}  // namespace tools
