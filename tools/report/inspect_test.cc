#include "tools/report/inspect.h"

#include <gtest/gtest.h>

#include <sstream>

#include "compiled/set_check.h"
#include "compiled/test_scenario.h"
#include "platform/file_system.h"

namespace tools {
namespace {

using testing::small_scenario;
using testing::TempFolder;
using testing::write_compiled;
using testing::write_file;

// Loads from the machine's file system.
CompiledSet load_compiled(const std::filesystem::path& path, bool whole_scenario) {
  return tools::load_compiled(platform::real_file_system(), path.string(), whole_scenario);
}

TEST(InspectTest, AFolderShowsItsScenario) {
  TempFolder dir("inspect");
  model::Scenario s = small_scenario();
  write_compiled(s, dir.path());
  CompiledSet set = load_compiled(dir.path(), false);
  nlohmann::ordered_json j = inspection_json(set, false);

  const nlohmann::ordered_json& st = j["station_file"];
  EXPECT_EQ(st["name"], "LINEA_TR1.sim");
  ASSERT_EQ(st["stations"].size(), 2u);
  EXPECT_EQ(st["stations"][0]["name"], "ALFA");
  EXPECT_EQ(st["stations"][0]["time_text"], "07:29:00");
  EXPECT_EQ(st["stations"][1]["name"], "BETA & <GAMMA> \xC2\xB0");
  EXPECT_EQ(st["stations"][1]["area_start"], 1800);
  EXPECT_EQ(st["stations"][1]["stop_time"], 30);
  ASSERT_EQ(st["signs"].size(), 2u);
  EXPECT_EQ(st["signs"][0]["slot"], 80);
  EXPECT_EQ(st["signs"][0]["cell"], 21);
  EXPECT_EQ(st["signs"][0]["position"], 1000);
  EXPECT_EQ(st["signs"][1]["text"], "(GALLERIA)");
  EXPECT_EQ(st["general"]["line_length"], 3000);
  EXPECT_EQ(st["general"]["clock"], "07:28:30");
  EXPECT_EQ(st["general"]["background"]["two"], 20000);
  EXPECT_EQ(st["identity"]["marker_ok"], true);
  EXPECT_EQ(st["identity"]["weighted_code_ok"], true);
  EXPECT_EQ(st["identity"]["names_match_file_name"], true);

  const nlohmann::ordered_json& tr = j["track_file"];
  EXPECT_EQ(tr["cell_count"], 200);
  EXPECT_EQ(tr["identity"]["marker_ok"], true);
  EXPECT_EQ(tr["identity"]["ordinary_code_ok"], true);
  EXPECT_EQ(tr["identity"]["names"], "LINEA / TR1");
  std::map<int, int> kinds;
  for (const auto& k : tr["kinds"]) kinds[k["kind"]] = k["count"];
  EXPECT_EQ(kinds, (std::map<int, int>{
                       {0, 193}, {1, 1}, {2, 1}, {3, 1}, {4, 1}, {10, 1}, {11, 1}, {14, 2}}));
  EXPECT_FALSE(tr.contains("cells"));

  const nlohmann::ordered_json& ln = j["line_file"];
  EXPECT_EQ(ln["points"], 10001);
  EXPECT_EQ(ln["computed_points"], 9999);
  EXPECT_EQ(ln["extent"]["min_y"], 0.0);
  EXPECT_GT(ln["extent"]["max_x"].get<double>(), 500);

  std::ostringstream text;
  print_inspection(set, false, text);
  for (const char* expected : {
           "station file LINEA_TR1.sim: ",
           "    84  braked mass 115 %, line length 3000 m, cars 5\n",
           "slot 85 weighted code ",
           "(matches LINEA / TR1)",
           "  stations: 2\n",
           "BETA & <GAMMA> \xC2\xB0",
           "  route signs: 2\n",
           "track file LINEA_TR1.dat: 3015 bytes, cells 0 .. 200 (10000 m)\n",
           "cell 1 marker 5121 (ok)",
           "line file LINEA_linea.dat: ",
           "points 0 .. 10000, 9999 computed",
       }) {
    EXPECT_NE(text.str().find(expected), std::string::npos) << expected << "\n" << text.str();
  }
}

// Every general value distinct from every other, so that a value shown under
// another's name shows. The three progressive records are given in the
// order the route reader leaves them: "tre" with the greatest position.
TEST(InspectTest, GeneralSlotsAreShownUnderTheirNames) {
  model::Scenario s = small_scenario();
  struct Progressive {
    int slot;
    int32_t position, value, flag;
  };
  const Progressive progressives[] = {
      {81, 30000, 30150, 7}, {82, 20000, 20250, 8}, {83, 10000, 10350, 9}};
  for (const Progressive& p : progressives) {
    model::ItemRecord& r = s.item_table[static_cast<size_t>(p.slot)];
    r.area_start = p.position;
    r.area_end = p.value;
    r.item_position = p.flag;
  }
  s.item_table[85].area_start = 11;
  s.item_table[85].item_position = 22;
  s.item_table[85].area_end = 33;
  s.item_table[86].area_start = 400;
  s.item_table[86].area_end = 650;
  s.item_table[86].item_position = 9;
  TempFolder dir("general");
  write_compiled(s, dir.path());
  CompiledSet set = load_compiled(dir.path(), false);

  std::ostringstream text;
  print_inspection(set, false, text);
  for (const char* line : {
           "    81  progressive \"tre\": position 30000 m, value 30150 m, flag 7\n",
           "    82  progressive \"due\": position 20000 m, value 20250 m, flag 8\n",
           "    83  progressive \"uno\": position 10000 m, value 10350 m, flag 9\n",
           "    84  braked mass 115 %, line length 3000 m, cars 5\n",
           "    85  backgrounds one 11, two 22, three 33; line name LINEA\n",
           "    86  signal repetition 400 m and 650 m, code count 9; train code TR1; sand 300; "
           "clock 07:28:30\n",
       }) {
    EXPECT_NE(text.str().find(line), std::string::npos) << line << "\n" << text.str();
  }

  const nlohmann::ordered_json g = inspection_json(set, false)["station_file"]["general"];
  const char* const records[] = {"tre", "due", "uno"};
  ASSERT_EQ(g["progressive"].size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    const nlohmann::ordered_json& r = g["progressive"][i];
    EXPECT_EQ(r["slot"], progressives[i].slot);
    EXPECT_EQ(r["record"], records[i]);
    EXPECT_EQ(r["position"], progressives[i].position);
    EXPECT_EQ(r["value"], progressives[i].value);
    EXPECT_EQ(r["flag"], progressives[i].flag);
  }
  EXPECT_EQ(g["background"], nlohmann::ordered_json({{"one", 11}, {"two", 22}, {"three", 33}}));
  EXPECT_EQ(g["signal_repetition"],
            nlohmann::ordered_json({{"one", 400}, {"two", 650}, {"code_count", 9}}));
  EXPECT_EQ(g["braked_mass_percent"], 115);
  EXPECT_EQ(g["cars"], 5);
  EXPECT_EQ(g["sand"], 300);
}

TEST(InspectTest, CellsOneLineEach) {
  TempFolder dir("cells");
  model::Scenario s = small_scenario();
  write_compiled(s, dir.path());
  CompiledSet set = load_compiled(dir.path() / "LINEA_TR1.dat", false);
  EXPECT_FALSE(set.station);
  nlohmann::ordered_json j = inspection_json(set, true);
  ASSERT_EQ(j["track_file"]["cells"].size(), 201u);
  const nlohmann::ordered_json& signal = j["track_file"]["cells"][11];
  EXPECT_EQ(signal["metres"], 550);
  EXPECT_EQ(signal["kind"], 1);
  EXPECT_EQ(signal["values"], nlohmann::ordered_json({30, 0, 0, 3}));
  EXPECT_EQ(signal["gradient"], 10);
  EXPECT_EQ(signal["speed"], 95);
  // Without the station file, the names come from the file name.
  EXPECT_EQ(j["track_file"]["identity"]["names"], "file name LINEA_TR1");
  EXPECT_EQ(j["track_file"]["identity"]["ordinary_code_ok"], true);

  std::ostringstream text;
  print_inspection(set, true, text);
  std::string t = text.str();
  size_t header = t.find("cell  metres");
  ASSERT_NE(header, std::string::npos) << t;
  EXPECT_EQ(std::count(t.begin() + static_cast<std::ptrdiff_t>(header), t.end(), '\n'), 202);
  EXPECT_NE(t.find(" slowdown start "), std::string::npos);
}

TEST(InspectTest, NamesWithUnderscoresAreFoundFromTheTrackFileName) {
  TempFolder dir("names");
  model::Scenario s = small_scenario();
  s.line_name = "MY_LINE";
  s.train_code = "T_2";
  s.item_table[85].item_name = s.line_name;
  s.item_table[86].item_name = s.train_code;
  s.track[1].value1 = s.track[1].value2 = 0;
  s.item_table[85].item_word1 = 0;
  s.item_table[85].item_time = 0;
  finish::stamp_identity(s);
  write_file(dir.path() / "MY_LINE_T_2.dat", model::encode_track_file(s));
  nlohmann::ordered_json j = inspection_json(load_compiled(dir.path(), false), false);
  EXPECT_EQ(j["track_file"]["identity"]["names"], "file name MY_LINE_T_2");
  EXPECT_EQ(j["track_file"]["identity"]["ordinary_code_ok"], true);
  EXPECT_TRUE(j["station_file"].is_null());
}

// A file inspected alone shows stamps that do not match; as a scenario, the
// files are refused.
TEST(InspectTest, StampsThatDoNotMatchAreShown) {
  TempFolder dir("stamps");
  model::Scenario s = small_scenario();
  s.item_table[85].item_time += 1;
  s.track[1].value1 = 7;
  write_compiled(s, dir.path());
  std::ostringstream text;
  print_inspection(load_compiled(dir.path() / "LINEA_TR1.sim", false), false, text);
  print_inspection(load_compiled(dir.path() / "LINEA_TR1.dat", false), false, text);
  EXPECT_NE(text.str().find("does not match LINEA / TR1: expected"), std::string::npos);
  EXPECT_NE(text.str().find("cell 1 marker 7 (expected 5121)"), std::string::npos);
  EXPECT_THROW(load_compiled(dir.path(), false), SetMismatch);
  EXPECT_THROW(load_compiled(dir.path() / "LINEA_TR1.dat", true), SetMismatch);
}

// Whatever the bytes, inspection either shows them, as text and as JSON, or
// refuses them: never a read outside the buffer, never a hang.
TEST(InspectTest, DamagedBytesInspectSafely) {
  testing::for_each_damaged_file([](FileKind kind, const std::string& bytes) {
    try {
      inspect_bytes(kind, bytes);
    } catch (const BadFile&) {
    }
  });
  // Doubles that are not numbers, or huge, still inspect.
  EXPECT_NE(inspect_bytes(FileKind::kLine, testing::line_file_of_odd_doubles()).find("line file"),
            std::string::npos);
}

TEST(InspectTest, FoldersAndFilesThatCannotBeInspected) {
  TempFolder dir("refused");
  EXPECT_THROW(load_compiled(dir.path(), false), ToolError);  // empty folder
  EXPECT_THROW(load_compiled(dir.path() / "none", false), ToolError);
  write_file(dir.path() / "notes.txt", "x");
  EXPECT_THROW(load_compiled(dir.path() / "notes.txt", false), ToolError);

  model::Scenario s = small_scenario();
  write_compiled(s, dir.path());
  s.train_code = "TR2";
  write_file(dir.path() / model::track_file_name(s), model::encode_track_file(s));
  try {
    load_compiled(dir.path(), false);
    FAIL() << "two scenarios in one folder";
  } catch (const ToolError& e) {
    EXPECT_NE(std::string(e.what()).find("2 scenarios (LINEA_TR1, LINEA_TR2)"), std::string::npos)
        << e.what();
  }
  // One of them by its file, with the rest of its scenario.
  CompiledSet set = load_compiled(dir.path() / "LINEA_TR1.sim", true);
  EXPECT_TRUE(set.station && set.track && set.line);
  EXPECT_EQ(set.track->name, "LINEA_TR1.dat");

  write_file(dir.path() / "LINEA_TR2.dat", "short");
  try {
    load_compiled(dir.path() / "LINEA_TR2.dat", false);
    FAIL() << "a damaged file";
  } catch (const BadFile& e) {
    EXPECT_EQ(std::string(e.what()).rfind("LINEA_TR2.dat: track file: 5 bytes does not fit", 0), 0u)
        << e.what();
  }
}

}  // namespace
}  // namespace tools
