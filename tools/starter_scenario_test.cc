// The starter scenario of scenario_tool new: clean, roomy, every kind of row
// present in what it compiles to, and its notes truly passed over.
#include "tools/starter_scenario.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "compiled/compiled_set.h"
#include "compiled/scenario_view.h"
#include "compiled/test_scenario.h"
#include "tools/compile/compile_command.h"
#include "tools/tool_run.h"

namespace tools {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::TempFolder;
using testing::tool;
using testing::write_file;

constexpr char kRoute[] = "BRENTALVO_linea.txt";
constexpr char kTrain[] = "BRENTALVO_TRN4417-.txt";

TEST(StarterScenarioTest, ItChecksCleanAndLeavesRoom) {
  TempFolder dir("starter_check");
  testing::ToolRun r = tool({"new", dir.path().string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("compile it with: scenario_tool compile --route "), std::string::npos);
  CompileOptions o;
  o.route = dir.path() / kRoute;
  o.train = dir.path() / kTrain;
  CompileReport report = check_descriptions(o);
  EXPECT_EQ(report.outcome, Outcome::kOk) << report.message();
  EXPECT_EQ(report.warning_count, 0);
  for (const Diagnostic& d : report.diagnostics()) ADD_FAILURE() << d.text();
  EXPECT_EQ(report.slots.stations, 3);
  EXPECT_EQ(report.slots.signs, 4);
  EXPECT_GE(report.slots.free(), 60);
}

TEST(StarterScenarioTest, EveryKindOfRowLandsInTheCompiledFiles) {
  TempFolder dir("starter_compile");
  ASSERT_EQ(tool({"new", dir.path().string()}).status, 0);
  const fs::path out = dir.path() / "out";
  testing::ToolRun r = tool({"compile", "--route", (dir.path() / kRoute).string(), "--train",
                             (dir.path() / kTrain).string(), "--out", out.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  const ScenarioView view =
      view_of(load_compiled(platform::real_file_system(), out.string(), true));
  ASSERT_TRUE(view.station && view.track && view.line);
  EXPECT_EQ(view.line_length(), 20000);
  EXPECT_EQ(view.station->stations.size(), 3u);
  EXPECT_EQ(view.station->signs.size(), 4u);
  EXPECT_EQ(view.track->signals.size(), 6u);
  EXPECT_EQ(view.track->slowdowns.size(), 1u);
  EXPECT_EQ(view.track->speed_indicators.size(), 1u);
  EXPECT_FALSE(view.track->mountain_stretches.empty());
  std::set<int> gradients, speeds;
  for (int32_t i = 0; i < view.track->profile_cells; ++i) {
    gradients.insert(view.track->cells[static_cast<size_t>(i)].gradient);
    speeds.insert(view.track->cells[static_cast<size_t>(i)].speed_limit);
  }
  EXPECT_EQ(gradients, (std::set<int>{-8, 0, 3, 5, 12}));
  EXPECT_TRUE(speeds.contains(60) && speeds.contains(80) && speeds.contains(100));
  // The curves turn the line: it does not end where a straight one would.
  ASSERT_FALSE(view.line->points.empty());
  const PlanPoint& last = view.line->points.back();
  EXPECT_GT(std::abs(last.x), 100.0);
}

TEST(StarterScenarioTest, TheNotesAreNotRead) {
  TempFolder dir("starter_notes");
  auto compile = [&](const std::string& name, bool with_notes) {
    const fs::path src = dir.path() / name;
    fs::create_directories(src);
    write_file(src / kRoute, starter_route_text(with_notes));
    write_file(src / kTrain, starter_train_text(with_notes));
    testing::ToolRun r = tool({"compile", "--route", (src / kRoute).string(), "--train",
                               (src / kTrain).string(), "--out", (src / "out").string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    return src / "out";
  };
  const fs::path noted = compile("noted", true), bare = compile("bare", false);
  EXPECT_NE(starter_route_text(true), starter_route_text(false));
  EXPECT_NE(starter_train_text(true), starter_train_text(false));
  for (const char* file :
       {"BRENTALVO_linea.dat", "BRENTALVO_TRN4417.sim", "BRENTALVO_TRN4417.dat"}) {
    EXPECT_TRUE(read_file(noted / file) == read_file(bare / file)) << file;
  }
}

TEST(StarterScenarioTest, NamesAndAnAuthorsFiles) {
  TempFolder dir("starter_names");
  testing::ToolRun r =
      tool({"new", dir.path().string(), "--line-name", "VALLE", "--train-code", "R7"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(dir.path() / "VALLE_linea.txt"));
  EXPECT_TRUE(fs::exists(dir.path() / "VALLE_R7-.txt"));
  EXPECT_NE(r.out.find("--line-name VALLE --train-code R7"), std::string::npos) << r.out;

  // An author's edits are not replaced without --force.
  write_file(dir.path() / "VALLE_linea.txt", "my edits");
  testing::ToolRun again =
      tool({"new", dir.path().string(), "--line-name", "VALLE", "--train-code", "R7"});
  EXPECT_EQ(again.status, 2);
  EXPECT_NE(again.err.find("may hold your edits"), std::string::npos) << again.err;
  EXPECT_EQ(read_file(dir.path() / "VALLE_linea.txt"), "my edits");
  EXPECT_EQ(read_file(dir.path() / "VALLE_R7-.txt"), starter_train_text());
  ASSERT_EQ(
      tool({"new", dir.path().string(), "--line-name", "VALLE", "--train-code", "R7", "--force"})
          .status,
      0);
  EXPECT_EQ(read_file(dir.path() / "VALLE_linea.txt"), starter_route_text());
}

TEST(StarterScenarioTest, TheBuiltInSaysItHasNoRoom) {
  TempFolder dir("starter_builtin");
  testing::ToolRun r = tool({"builtin", dir.path().string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("slots: 27 stations + 51 route signs = 78 of 80: no room for another "
                       "station or route sign"),
            std::string::npos)
      << r.out;
}

}  // namespace
}  // namespace tools
