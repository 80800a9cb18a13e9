// The diff command end to end, in-process: description pairs compiled into
// two folders that differ in one thing each, with every line the author
// reads, in rows (the default) and in cells (--cells); identical sets, sets
// that cannot be compared, the JSON and the bound on long sections.
#include "tools/report/diff.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "compiled/test_scenario.h"
#include "compiled/text.h"
#include "tools/tool_run.h"

namespace tools {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::TempFolder;
using testing::tool;
using testing::ToolRun;
using testing::write_file;

// The pair every case starts from: a 10000 m route with a steeper stretch
// at km 3+000 - 3+500, a route sign and a bend; two stations.
const std::string kRoute =
    "[generale]\r\nlunghezza percorso, 10000\r\nripetizione segnali 4 codici, 0, 0\r\n"
    "[pendenze]\r\npendenza, 0, 5\r\npendenza, 3000, 7\r\npendenza, 3500, 5\r\n"
    "[cartelli]\r\ncartello_indicatore, 2000, (PONTE)\r\n"
    "[curve]\r\ncurvad4, 1000, 300\r\n[fine]\r\n";
const std::string kTrain =
    "[generale]\r\nnumero vetture, 5\r\n[vel_limite]\r\nvelocita, 0, 100\r\n[stazioni]\r\n"
    "stazione, 0, 8, 300, 1, 0, 0, 4,1,0, 2,1,1, 1, 7,29,0, ALFA\r\n"
    "stazione, 5000, 1, 400, 0,0,0, 1,1,0, 2,1,1, 0, 8,0,0, BETA\r\n[fine]\r\n";

// `text` with its first `from` replaced by `to`.
std::string with(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

// Compiles the pair into `dir`/`name` and returns that folder.
fs::path compile(const fs::path& dir, const std::string& name, const std::string& route,
                 const std::string& train, const std::vector<std::string>& options = {}) {
  const fs::path r = dir / (name + "_route.txt"), t = dir / (name + "_train.txt");
  write_file(r, route);
  write_file(t, train);
  const fs::path out = dir / name;
  std::vector<std::string> args{"compile",  "--route", r.string(),   "--train",
                                t.string(), "--out",   out.string(), "--json"};
  args.insert(args.end(), options.begin(), options.end());
  ToolRun run = tool(args);
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  return out;
}

// The lines joined, "{A}" and "{B}" standing for the two paths.
std::string lines(const std::vector<std::string>& l, const fs::path& a = {},
                  const fs::path& b = {}) {
  std::string out;
  for (std::string s : l) {
    for (const auto& [mark, path] : {std::pair{"{A}", a}, std::pair{"{B}", b}}) {
      if (size_t at = s.find(mark); at != std::string::npos) s.replace(at, 3, path.string());
    }
    out += s + "\n";
  }
  return out;
}

// ---- One change at a time ----------------------------------------------------

struct DiffCase {
  const char* name;
  std::string route;  // B's descriptions
  std::string train;
  std::vector<std::string> out;
  std::vector<std::string> b_options = {};  // for B's compile
  bool reversed = false;                    // compare B with A instead
};

TEST(DiffTest, EachChangeIsReportedInTheAuthorsTerms) {
  const std::string gamma = "stazione, 8000, 1, 400, 0,0,0, 1,1,0, 2,1,1, 0, 8,30,0, GAMMA\r\n";
  const DiffCase cases[] = {
      {"a gradient row",
       with(kRoute, "3000, 7", "3000, 8"),
       kTrain,
       {"files", "  track file BRENTALVO_TRN4417.dat differs (5115 -> 5115 bytes)", "cells",
        "  gradient km 3+000 - km 3+450: 7 -> 8"}},
      {"a station time",
       kRoute,
       with(kTrain, "8,0,0, BETA", "8,1,0, BETA"),
       {"files", "  station file BRENTALVO_TRN4417.sim differs (2989 -> 2989 bytes)", "stations",
        "  station 2 \"BETA\": time 08:00:00 -> 08:01:00"}},
      // The station stop is shown where inspect --cells shows its cell.
      {"a station added",
       kRoute,
       with(kTrain, "[fine]", gamma + "[fine]"),
       {"files", "  station file BRENTALVO_TRN4417.sim differs (2989 -> 2994 bytes)",
        "  track file BRENTALVO_TRN4417.dat differs (5115 -> 5115 bytes)", "stations",
        "  station 3 \"GAMMA\" added: time 08:30:00, position 8000 m (km 8+000)", "cells",
        "  kind km 8+150: empty -> station stop", "  value 1 km 8+150: 0 -> 3",
        "  approach mark km 7+950 - km 8+100: varying over 4 cells, first 0 -> 84"}},
      {"a station removed",
       kRoute,
       with(kTrain, "[fine]", gamma + "[fine]"),
       {"files", "  station file BRENTALVO_TRN4417.sim differs (2994 -> 2989 bytes)",
        "  track file BRENTALVO_TRN4417.dat differs (5115 -> 5115 bytes)", "stations",
        "  station 3 \"GAMMA\" removed: time 08:30:00, position 8000 m (km 8+000)", "cells",
        "  kind km 8+150: station stop -> empty", "  value 1 km 8+150: 3 -> 0",
        "  approach mark km 7+950 - km 8+100: varying over 4 cells, first 84 -> 0"},
       {},
       true},
      {"a sign text",
       with(kRoute, "(PONTE)", "(VIADOTTO)"),
       kTrain,
       {"files", "  station file BRENTALVO_TRN4417.sim differs (2989 -> 2992 bytes)", "route signs",
        "  route sign 80 \"(PONTE)\": text \"(PONTE)\" -> \"(VIADOTTO)\""}},
      {"a sign added",
       with(kRoute, "[curve]", "cartello_indicatore, 4000, (GALLERIA)\r\n[curve]"),
       kTrain,
       {"files", "  station file BRENTALVO_TRN4417.sim differs (2989 -> 2999 bytes)",
        "  track file BRENTALVO_TRN4417.dat differs (5115 -> 5115 bytes)", "route signs",
        "  route sign 79 \"(GALLERIA)\" added: position 4000 m (km 4+000)", "cells",
        "  kind km 4+050: empty -> route sign", "  value 1 km 4+050: 0 -> 79"}},
      // The spare track after the route moves with it; the plan is computed
      // up to two points before its end.
      {"the route length",
       with(kRoute, "10000", "12000"),
       kTrain,
       {"files", "  station file BRENTALVO_TRN4417.sim differs (2989 -> 2989 bytes)",
        "  track file BRENTALVO_TRN4417.dat differs (5115 -> 5715 bytes)",
        "  line file BRENTALVO_linea.dat differs (339964 -> 379964 bytes)", "general values",
        "  line length: 10000 m -> 12000 m", "cells",
        "  track cells 0 .. 340 (17000 m) -> cells 0 .. 380 (19000 m); cells 0 .. 340 compared",
        "  gradient km 16+900 - km 17+000: -100 -> 5",
        "  speed limit km 16+900 - km 17+000: 0 -> 100", "plan",
        "  points 0 .. 17000 -> 0 .. 19000; points 0 .. 17000 compared",
        "  no point computed in both plans moved", "  2 points computed in one plan only"}},
      {"a bend",
       with(kRoute, "1000, 300", "1000, 400"),
       kTrain,
       {"files", "  line file BRENTALVO_linea.dat differs (339964 -> 339964 bytes)", "plan",
        "  largest displacement 1564.471 m, at km 16+998"}},
      // The names give other file names and identity stamps; the stamp in
      // cell 1 is a general value, not a cell change. The line files hold the
      // same bytes under their two names.
      {"other names",
       kRoute,
       kTrain,
       {"files",
        "  station file differs: BRENTALVO_TRN4417.sim (2989 bytes) -> LINEA_T9.sim (2980 bytes)",
        "  track file differs: BRENTALVO_TRN4417.dat (5115 bytes) -> LINEA_T9.dat (5115 bytes)",
        "general values", "  line name: \"BRENTALVO\" -> \"LINEA\"",
        "  train code: \"TRN4417\" -> \"T9\"", "  slot 85 weighted code: 32816 -> 34771",
        "  cell 1 ordinary code: 2435 -> 2602"},
       {"--line-name", "LINEA", "--train-code", "T9"}},
      {"no line file",
       kRoute,
       kTrain,
       {"files", "  line file BRENTALVO_linea.dat only in {A}: the plan is not compared"},
       {"--no-line-file"}},
  };
  for (const DiffCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder dir("diff");
    fs::path a = compile(dir.path(), "a", kRoute, kTrain);
    fs::path b = compile(dir.path(), "b", c.route, c.train, c.b_options);
    if (c.reversed) std::swap(a, b);
    ToolRun r = tool({"diff", "--cells", a.string(), b.string()});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, lines(c.out, a, b));
  }
}

// ---- In rows ------------------------------------------------------------------------

// By default both sets are decompiled and the change told as the rows that
// differ; A here also has a signal.
TEST(DiffTest, InRowsByDefault) {
  const std::string signal = "segnale, 6000, 1, 3, 4, 0, 0, 0, 0, 0, 0, 0\r\n";
  const std::string train = with(kTrain, "[fine]", signal + "[fine]");
  const std::string gamma = "stazione, 8000, 1, 400, 0,0,0, 1,1,0, 2,1,1, 0, 8,30,0, GAMMA\r\n";
  const std::string same =
      "the rows are the same, the compiled files are not: diff --cells "
      "shows where they differ";
  const DiffCase cases[] = {
      {"a signal moved",
       kRoute,
       with(train, "6000, 1", "6500, 1"),
       {"rows", "  signal at 6000 m moved to 6500 m"}},
      {"a gradient changed",
       with(kRoute, "3000, 7", "3000, 8"),
       train,
       {"rows", "  gradient from km 3+000: 7 -> 8"}},
      {"a station retimed",
       kRoute,
       with(train, "8,0,0, BETA", "8,1,30, BETA"),
       {"rows", "  station BETA: departure 08:00:00 -> 08:01:30"}},
      {"a station added",
       kRoute,
       with(train, "[fine]", gamma + "[fine]"),
       {"rows", "  station GAMMA added at 8000 m"}},
      {"a station removed",
       kRoute,
       with(train, "[fine]", gamma + "[fine]"),
       {"rows", "  station GAMMA removed"},
       {},
       true},
      {"several at once",
       with(kRoute, "3500, 5", "3500, 6"),
       with(with(train, "6000, 1", "7000, 1"), "velocita, 0, 100", "velocita, 0, 110"),
       {"rows", "  gradient from km 3+500: 5 -> 6", "  speed limit from km 0+000: 100 -> 110",
        "  signal at 6000 m moved to 7000 m"}},
      // Files that differ where no row does, and curves that one side cannot
      // know: the notes say so rather than show nothing or every curve gone.
      {"other names",
       kRoute,
       train,
       {"notes", "  " + same},
       {"--line-name", "LINEA", "--train-code", "T9"}},
      {"no line file",
       kRoute,
       with(train, "6000, 1", "6500, 1"),
       {"rows", "  signal at 6000 m moved to 6500 m", "notes",
        "  {B} was compiled without its line file: curves are not compared"},
       {"--no-line-file"}},
  };
  for (const DiffCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder dir("rowdiff");
    fs::path a = compile(dir.path(), "a", kRoute, train);
    fs::path b = compile(dir.path(), "b", c.route, c.train, c.b_options);
    if (c.reversed) std::swap(a, b);
    ToolRun r = tool({"diff", a.string(), b.string()});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, lines(c.out, a, b));

    // The JSON holds the same lines.
    ToolRun j = tool({"diff", a.string(), b.string(), "--json"});
    EXPECT_EQ(j.status, 1) << j.err;
    const nlohmann::json o = j.json();
    EXPECT_EQ(o["a"], a.string());
    EXPECT_EQ(o["b"], b.string());
    EXPECT_EQ(o["identical"], false);
    std::string text;
    for (const char* section : {"rows", "notes"}) {
      if (o[section].empty()) continue;
      text += std::string(section) + "\n";
      for (const auto& l : o[section]) text += "  " + l.get<std::string>() + "\n";
    }
    EXPECT_EQ(text, r.out);
  }

  // Identical sets: one line, status 0, in text and in JSON.
  TempFolder dir("rowsame");
  const fs::path a = compile(dir.path(), "a", kRoute, train);
  const fs::path b = compile(dir.path(), "b", kRoute, train);
  ToolRun r = tool({"diff", a.string(), b.string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "no difference: " + a.string() + " and " + b.string() +
                       " hold the same compiled files\n");
  ToolRun j = tool({"diff", a.string(), b.string(), "--json"});
  EXPECT_EQ(j.status, 0) << j.err;
  const nlohmann::json expected = {{"a", a.string()},
                                   {"b", b.string()},
                                   {"identical", true},
                                   {"rows", nlohmann::json::array()},
                                   {"notes", nlohmann::json::array()}};
  EXPECT_EQ(j.json(), expected);
}

// ---- The same files ---------------------------------------------------------------

TEST(DiffTest, TheSameFilesGiveOneLineAndStatusZero) {
  TempFolder dir("diffsame");
  const fs::path a = compile(dir.path(), "a", kRoute, kTrain);
  const fs::path b = compile(dir.path(), "b", kRoute, kTrain);
  // A folder, or one file that brings its set.
  for (const fs::path& other : {b, b / "BRENTALVO_TRN4417.sim", b / "BRENTALVO_linea.dat"}) {
    SCOPED_TRACE(other);
    ToolRun r = tool({"diff", "--cells", a.string(), other.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "no difference: " + a.string() + " and " + other.string() +
                         " hold the same compiled files\n");
  }
  ToolRun j = tool({"diff", "--cells", a.string(), b.string(), "--json"});
  EXPECT_EQ(j.status, 0);
  nlohmann::json expected = {
      {"a", a.string()},
      {"b", b.string()},
      {"identical", true},
      {"files", nlohmann::json::array()},
      {"general", nlohmann::json::array()},
      {"stations", nlohmann::json::array()},
      {"route_signs", nlohmann::json::array()},
      {"track", nullptr},
      {"cells", nlohmann::json::array()},
      {"plan", nullptr},
      {"left_out",
       {{"files", 0}, {"general", 0}, {"stations", 0}, {"route_signs", 0}, {"cells", 0}}}};
  EXPECT_EQ(j.json(), expected);

  // A byte changed by hand is a difference, shown by its field where it has
  // one; slot 0, which nothing fills, is told by the file alone.
  const fs::path station = b / "BRENTALVO_TRN4417.sim";
  const std::string original = read_file(station);
  const std::string beta = std::string("\x04\x00", 2) + "BETA";
  const size_t at = original.find(beta);
  ASSERT_NE(at, std::string::npos);
  const std::string changed = "  station file BRENTALVO_TRN4417.sim differs (2989 -> 2989 bytes)";
  const struct {
    size_t offset;
    std::vector<std::string> out;
  } edits[] = {
      {at + beta.size() + 4, {"files", changed, "stations", "  station 2 \"BETA\": word 3 2 -> 3"}},
      {0, {"files", changed}},
  };
  for (const auto& e : edits) {
    std::string bytes = original;
    bytes[e.offset] ^= 1;
    write_file(station, bytes);
    ToolRun r = tool({"diff", "--cells", a.string(), b.string()});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, lines(e.out));
  }
}

// ---- A station's flags --------------------------------------------------------------

// Fields 5, 6, 9 and 13 of a station row are bytes 4, 3, 1 and 2 (the stop
// time) of its record; each changed to a value of its own, so that a byte
// shown under another's name shows.
TEST(DiffTest, TheBytesOfAStationEachUnderItsName) {
  TempFolder dir("diffbytes");
  // A 600 m station keeps its field 5; a field 6 other than 0 adds 50 m to
  // the area on both sides alike.
  const std::string a_train = with(kTrain, "5000, 1, 400, 0,0,0, 1,1,0, 2,1,1, 0,",
                                   "5000, 1, 600, 0,1,1, 1,1,2, 2,1,1, 20,");
  const std::string b_train = with(kTrain, "5000, 1, 400, 0,0,0, 1,1,0, 2,1,1, 0,",
                                   "5000, 1, 600, 0,3,4, 1,1,5, 2,1,1, 30,");
  const fs::path a = compile(dir.path(), "a", kRoute, a_train);
  const fs::path b = compile(dir.path(), "b", kRoute, b_train);
  ToolRun r = tool({"diff", "--cells", a.string(), b.string()});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(r.out,
            lines({"files", "  station file BRENTALVO_TRN4417.sim differs (2989 -> 2989 bytes)",
                   "stations",
                   "  station 2 \"BETA\": stop time 20 s -> 30 s, byte 1 2 -> 5, "
                   "byte 3 1 -> 4, byte 4 1 -> 3"}));
  ToolRun j = tool({"diff", "--cells", a.string(), b.string(), "--json"});
  EXPECT_EQ(j.status, 1) << j.err;
  EXPECT_EQ(j.json()["stations"], nlohmann::json::parse(R"j([
      {"slot": 2, "name": "BETA", "change": "changed", "fields": [
        {"field": "stop_time", "a": 20, "b": 30, "a_text": "20 s", "b_text": "30 s"},
        {"field": "byte1", "a": 2, "b": 5, "a_text": "2", "b_text": "5"},
        {"field": "byte3", "a": 1, "b": 4, "a_text": "1", "b_text": "4"},
        {"field": "byte4", "a": 1, "b": 3, "a_text": "1", "b_text": "3"}]}])j"));
}

// ---- The plan's figures ---------------------------------------------------------------

// The value of the first double of a line file, as its offset in the bytes.
size_t first_double(const std::string& line) {
  size_t at = 0;
  while (at + 2 <= line.size()) {
    const int type = static_cast<unsigned char>(line[at]);
    if (type == 5) return at + 2;
    at += 2 + (type == 2 ? 2 : 0);
  }
  ADD_FAILURE() << "no double in the line file";
  return 0;
}

// Each figure of the plan's comparison in the text and in the JSON, with
// fixtures where no two figures are equal.
TEST(DiffTest, ThePlanFiguresInTextAndJson) {
  TempFolder dir("diffplan");
  const fs::path a = compile(dir.path(), "a", kRoute, kTrain);
  const fs::path bend = compile(dir.path(), "bend", with(kRoute, "1000, 300", "1000, 400"), kTrain);
  const fs::path longer = compile(dir.path(), "long", with(kRoute, "10000", "12000"), kTrain);
  // The bend, and one coordinate of B's plan made not a number.
  const fs::path nan = compile(dir.path(), "nan", with(kRoute, "1000, 300", "1000, 400"), kTrain);
  std::string line = read_file(nan / "BRENTALVO_linea.dat");
  const size_t at = first_double(line);
  line.replace(at, 8, std::string("\x00\x00\x00\x00\x00\x00\xF8\x7F", 8));
  write_file(nan / "BRENTALVO_linea.dat", line);

  const struct {
    const char* name;
    fs::path b;
    std::vector<std::string> text;  // the plan section
    const char* json;
  } cases[] = {
      {"a bend",
       bend,
       {"plan", "  largest displacement 1564.471 m, at km 16+998"},
       R"j({"a_last_point": 17000, "b_last_point": 17000, "largest_displacement": 1564.471,
            "at_point": 16998, "computed_on_one_side": 0, "not_finite": 0})j"},
      {"a longer route",
       longer,
       {"plan", "  points 0 .. 17000 -> 0 .. 19000; points 0 .. 17000 compared",
        "  no point computed in both plans moved", "  2 points computed in one plan only"},
       R"j({"a_last_point": 17000, "b_last_point": 19000, "largest_displacement": 0,
            "at_point": null, "computed_on_one_side": 2, "not_finite": 0})j"},
      {"a coordinate not a number",
       nan,
       {"plan", "  largest displacement 1564.471 m, at km 16+998",
        "  1 points differ where a coordinate is not a finite number"},
       R"j({"a_last_point": 17000, "b_last_point": 17000, "largest_displacement": 1564.471,
            "at_point": 16998, "computed_on_one_side": 0, "not_finite": 1})j"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ToolRun r = tool({"diff", "--cells", a.string(), c.b.string()});
    EXPECT_EQ(r.status, 1) << r.err;
    const size_t plan = r.out.find("plan\n");
    ASSERT_NE(plan, std::string::npos) << r.out;
    EXPECT_EQ(r.out.substr(plan), lines(c.text));

    ToolRun j = tool({"diff", "--cells", a.string(), c.b.string(), "--json"});
    EXPECT_EQ(j.status, 1) << j.err;
    nlohmann::json figures = j.json()["plan"];
    // The displacement to the millimetre, as the text gives it.
    if (figures["largest_displacement"].is_number()) {
      figures["largest_displacement"] =
          std::round(figures["largest_displacement"].get<double>() * 1000) / 1000;
    }
    EXPECT_EQ(figures, nlohmann::json::parse(c.json));
  }
}

// ---- Sets that cannot be compared -----------------------------------------------------

// Status 1 means that the sets differ: every failure is 2, a file that does
// not fit its format too (which inspect reports with 1).
TEST(DiffTest, WhatCannotBeComparedIsAnErrorNotADifference) {
  TempFolder dir("differr");
  const fs::path a = compile(dir.path(), "a", kRoute, kTrain);
  const fs::path longer = compile(dir.path(), "long", with(kRoute, "10000", "12000"), kTrain);
  const fs::path empty = dir.path() / "empty";
  fs::create_directories(empty);
  const fs::path cut = dir.path() / "cut";
  fs::copy(a, cut);
  write_file(cut / "BRENTALVO_TRN4417.dat", read_file(a / "BRENTALVO_TRN4417.dat").substr(0, 100));
  const fs::path mixed = dir.path() / "mixed";
  fs::copy(a, mixed);
  fs::copy_file(longer / "BRENTALVO_TRN4417.dat", mixed / "BRENTALVO_TRN4417.dat",
                fs::copy_options::overwrite_existing);
  const std::string missing = (dir.path() / "nowhere").string();

  struct ErrorCase {
    const char* name;
    std::vector<std::string> args;
    std::string err;  // the start of standard error
  } cases[] = {
      {"a folder with no compiled file",
       {a.string(), empty.string()},
       "scenario_tool: " + empty.string() + " holds no compiled file (*.sim, *.dat)\n"},
      {"no such folder",
       {missing, a.string()},
       "scenario_tool: " + missing + ": no such file or folder\n"},
      {"a track file cut short",
       {a.string(), cut.string()},
       "scenario_tool: " + cut.string() +
           ": BRENTALVO_TRN4417.dat: track file: 100 bytes does "
           "not fit"},
      {"files of two compiles",
       {mixed.string(), a.string()},
       "scenario_tool: " + mixed.string() + ": the files were not written by one compile: "},
      {"one folder only", {a.string()}, "scenario_tool: "},
  };
  // The same refusals in rows and in cells.
  for (const ErrorCase& c : cases) {
    for (bool cells : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (cells ? " --cells" : " in rows"));
      std::vector<std::string> args{"diff"};
      if (cells) args.push_back("--cells");
      args.insert(args.end(), c.args.begin(), c.args.end());
      for (bool json : {false, true}) {
        if (json) args.push_back("--json");
        ToolRun r = tool(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind(c.err, 0), 0u) << r.err;
      }
    }
  }
}

// ---- JSON -------------------------------------------------------------------------------

TEST(DiffTest, JsonHoldsTheSectionsFieldByField) {
  TempFolder dir("diffjson");
  const fs::path a = compile(dir.path(), "a", kRoute, kTrain);
  const fs::path b =
      compile(dir.path(), "b", with(with(kRoute, "3000, 7", "3000, 8"), "2000, (P", "2500, (P"),
              with(kTrain, "5000, 1, 400, 0,0,0, 1,1,0, 2,1,1, 0, 8,0,0",
                   "5500, 1, 400, 0,0,0, 1,1,0, 2,1,1, 0, 8,1,0"));
  ToolRun r = tool({"diff", "--cells", a.string(), b.string(), "--json"});
  ASSERT_EQ(r.status, 1) << r.err;
  const nlohmann::json j = r.json();
  EXPECT_EQ(j["a"], a.string());
  EXPECT_EQ(j["b"], b.string());
  EXPECT_EQ(j["identical"], false);
  EXPECT_EQ(j["files"], nlohmann::json::parse(R"j([
      {"kind": "station file", "a": {"name": "BRENTALVO_TRN4417.sim", "size": 2989},
                               "b": {"name": "BRENTALVO_TRN4417.sim", "size": 2989}},
      {"kind": "track file", "a": {"name": "BRENTALVO_TRN4417.dat", "size": 5115},
                             "b": {"name": "BRENTALVO_TRN4417.dat", "size": 5115}}])j"));
  EXPECT_EQ(j["general"], nlohmann::json::array());
  EXPECT_EQ(j["stations"], nlohmann::json::parse(R"j([
      {"slot": 2, "name": "BETA", "change": "changed", "fields": [
        {"field": "time", "a": 28800, "b": 28860, "a_text": "08:00:00", "b_text": "08:01:00"},
        {"field": "position", "a": 5000, "b": 5500,
         "a_text": "5000 m (km 5+000)", "b_text": "5500 m (km 5+500)"
},
        {"field": "area_start", "a": 4800, "b": 5300, "a_text": "4800 m", "b_text": "5300 m"},
        {"field": "area_end", "a": 5200, "b": 5700, "a_text": "5200 m", "b_text": "5700 m"}]
}])j"));
  EXPECT_EQ(j["route_signs"], nlohmann::json::parse(R"j([
      {"slot": 80, "text": "(PONTE)", "change": "changed", "fields": [
        {"field": "position", "a": 2000, "b": 2500,
         "a_text": "2000 m (km 2+000)", "b_text": "2500 m (km 2+500)"}]
}])j"));
  EXPECT_EQ(j["track"], nullptr);
  ASSERT_GE(j["cells"].size(), 2u);
  EXPECT_EQ(j["cells"][0], nlohmann::json::parse(R"j(
      {"field": "gradient", "first_cell": 60, "last_cell": 69, "from_metres": 3000,
       "to_metres": 3450, "cells": 10, "a": 7, "b": 8, "varying": false})j"));
  EXPECT_EQ(j["cells"][1], nlohmann::json::parse(R"j(
      {"field": "kind", "first_cell": 41, "last_cell": 41, "from_metres": 2050,
       "to_metres": 2050, "cells": 1, "a": "route sign", "b": "empty", "varying": false})j"));
  EXPECT_EQ(j["plan"], nullptr);
  EXPECT_EQ(j["left_out"]["cells"], 0);

  // The text shows the same entries.
  ToolRun text = tool({"diff", "--cells", a.string(), b.string()});
  const std::string cells = text.out.substr(text.out.find("\ncells\n") + 7);
  EXPECT_EQ(static_cast<size_t>(std::count(cells.begin(), cells.end(), '\n')), j["cells"].size());
}

// ---- Long sections ------------------------------------------------------------------------

TEST(DiffTest, ALongSectionIsCutAndCounted) {
  TempFolder dir("difflong");
  const std::string flat = with(kRoute, "pendenza, 3000, 7\r\npendenza, 3500, 5\r\n", "");
  // Every other cell of the route one per mille steeper: a run per cell.
  std::string rows;
  for (int m = 0; m < 10000; m += 50) {
    rows += "pendenza, " + std::to_string(m) + ", " + (m % 100 == 0 ? "5" : "6") + "\r\n";
  }
  const fs::path a = compile(dir.path(), "a", flat, kTrain);
  const fs::path b = compile(dir.path(), "b", with(flat, "pendenza, 0, 5\r\n", rows), kTrain);

  ToolRun r = tool({"diff", "--cells", a.string(), b.string()});
  ASSERT_EQ(r.status, 1) << r.err;
  std::vector<std::string> expected{
      "files", "  track file BRENTALVO_TRN4417.dat differs (5115 -> 5115 bytes)", "cells"};
  for (int cell = 1; cell < 100; cell += 2) {
    expected.push_back("  gradient " + km_text(cell * 50) + ": 5 -> 6");
  }
  expected.push_back("  ... and 50 more");
  EXPECT_EQ(r.out, lines(expected));

  ToolRun j = tool({"diff", "--cells", a.string(), b.string(), "--json"});
  const nlohmann::json cells = j.json()["cells"];
  ASSERT_EQ(cells.size(), kDiffSectionLimit);
  EXPECT_EQ(cells.back()["first_cell"], 99);
  EXPECT_EQ(j.json()["left_out"]["cells"], 50);
}

// ---- Coordinates that are not numbers ---------------------------------------------------

// A point whose coordinate is not a finite number has no displacement: it
// differs when the bits of its coordinates differ, and the very same NaN on
// both sides is the same point.
TEST(DiffTest, ANaNCoordinateDiffersOnlyByItsBits) {
  TempFolder dir("diffnan");
  // The line file with its first coordinate (point 0, before the bend)
  // replaced by the NaN of `bits`, little-endian.
  auto with_nan = [](const fs::path& folder, const char* bits) {
    std::string line = read_file(folder / "BRENTALVO_linea.dat");
    size_t at = 0;
    while (at + 2 <= line.size() && static_cast<unsigned char>(line[at]) != 5) {
      at += 2 + (static_cast<unsigned char>(line[at]) == 2 ? 2 : 0);
    }
    ASSERT_LE(at + 10, line.size());
    line.replace(at + 2, 8, std::string(bits, 8));
    write_file(folder / "BRENTALVO_linea.dat", line);
  };
  const char kQuiet[] = "\x00\x00\x00\x00\x00\x00\xF8\x7F";
  const char kPayload[] = "\x01\x00\x00\x00\x00\x00\xF8\x7F";
  const std::string bend = with(kRoute, "1000, 300", "1000, 400");
  const struct {
    const char* name;
    const char* b_bits;
    int not_finite;
  } cases[] = {{"the same NaN on both sides", kQuiet, 0}, {"two different NaNs", kPayload, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path a =
        compile(dir.path(), std::string("a") + std::to_string(c.not_finite), kRoute, kTrain);
    const fs::path b =
        compile(dir.path(), std::string("b") + std::to_string(c.not_finite), bend, kTrain);
    with_nan(a, kQuiet);
    with_nan(b, c.b_bits);

    std::vector<std::string> plan{"plan", "  largest displacement 1564.471 m, at km 16+998"};
    if (c.not_finite > 0) {
      plan.push_back("  1 points differ where a coordinate is not a finite number");
    }
    ToolRun r = tool({"diff", "--cells", a.string(), b.string()});
    EXPECT_EQ(r.status, 1) << r.err;
    const size_t at = r.out.find("plan\n");
    ASSERT_NE(at, std::string::npos) << r.out;
    EXPECT_EQ(r.out.substr(at), lines(plan));
    ToolRun j = tool({"diff", "--cells", a.string(), b.string(), "--json"});
    EXPECT_EQ(j.json()["plan"]["not_finite"], c.not_finite);
    EXPECT_EQ(j.json()["plan"]["at_point"], 16998);
  }
}

}  // namespace
}  // namespace tools
