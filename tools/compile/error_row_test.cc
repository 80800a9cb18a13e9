// The row an error arose in, and what took the cell of a row refused for a
// taken one: the mistakes authors make, each with its whole diagnostic (the
// error's place, the row's or the occupant's place, the hint, the JSON and
// the exit status).
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "compiled/test_scenario.h"
#include "platform/memory_file_system.h"
#include "sources/builtin_texts.h"
#include "sources/line_writer.h"
#include "tools/compile/compile_command.h"

namespace tools {
namespace {

using json = nlohmann::ordered_json;

constexpr char kRouteFile[] = "/w/r.txt";
constexpr char kTrainFile[] = "/w/t.txt";

// A route of 10000 m whose body is `rows` (from line 4).
std::string route_with(const std::string& rows) {
  return "[generale]\r\nlunghezza percorso, 10000\r\n[corpo]\r\n" + rows + "[fine]\r\n";
}
// A train of five cars whose rows are `rows` (from line 3).
std::string train_with(const std::string& rows) {
  return "[generale]\r\nnumero vetture, 5\r\n" + rows + "[fine]\r\n";
}

CompileReport check(const std::string& route, const std::string& train) {
  platform::MemoryFileSystem memory;
  memory.add_file(kRouteFile, route);
  memory.add_file(kTrainFile, train);
  CompileOptions o;
  o.route = kRouteFile;
  o.train = kTrainFile;
  o.files = &memory;
  o.documents = false;
  return check_descriptions(o);
}

struct Case {
  const char* name;
  std::string route;
  std::string train;
  std::string text;  // the error's whole diagnostic
  json row;          // "error".row
  json occupant;     // "error".occupant
};

json row(const char* file, int line, int column, const char* kind, const char* value) {
  return json{{"file", file},
              {"line", line},
              {"column", column},
              {"kind", kind},
              {"value", value ? json(value) : json(nullptr)}};
}
json occupant(const char* kind, const char* file, int line) {
  return json{{"kind", kind}, {"file", file}, {"line", line}};
}

const std::string kSign3800 = "cartello_indicatore, 3800, (A)\r\n";

const Case kCases[] = {
    {"comma missing after the keyword",
     route_with("pendenza, 0, 5\r\npendenza 5000, 12\r\npendenza, 6000, 3\r\n"),
     testing::kSmallTrain,
     "/w/r.txt:6:1: error 25: the description could not be read here: a field is not a whole "
     "number\n"
     "pendenza, 6000, 3\n"
     "^\n"
     "/w/r.txt:5:1: note: in the gradient row that begins here\n"
     "pendenza 5000, 12\n"
     "^\n"
     "note: a comma may be missing after the keyword: \"pendenza 5000\" is one field, read as "
     "the keyword of a gradient row, and the row's values are taken from the fields after it\n",
     row(kRouteFile, 5, 1, "gradient", "gradient"), nullptr},
    {"row a value short", route_with("pendenza, 0, 5\r\npendenza, 5000\r\npendenza, 6000, 3\r\n"),
     testing::kSmallTrain,
     "/w/r.txt:6:1: error 25: the description could not be read here: a field is not a whole "
     "number\n"
     "pendenza, 6000, 3\n"
     "^\n"
     "/w/r.txt:5:1: note: in the gradient row that begins here\n"
     "pendenza, 5000\n"
     "^\n"
     "note: a value may be missing: a gradient row has 2 values (position, gradient), and the "
     "field read here for one of them is on a later line\n",
     row(kRouteFile, 5, 1, "gradient", "gradient"), nullptr},
    {"semicolons for commas", route_with("pendenza; 5000; 12\r\npendenza, 6000, 3\r\n"),
     testing::kSmallTrain,
     "/w/r.txt:5:1: error 25: the description could not be read here: a field is not a whole "
     "number\n"
     "pendenza, 6000, 3\n"
     "^\n"
     "/w/r.txt:4:1: note: in the gradient row that begins here\n"
     "pendenza; 5000; 12\n"
     "^\n"
     "note: fields are separated by commas, not semicolons: \"pendenza; 5000; 12\" is one "
     "field, read as the keyword of a gradient row, and the row's values are taken from the "
     "fields after it\n",
     row(kRouteFile, 4, 1, "gradient", "position"), nullptr},
    {"note holding a keyword",
     route_with("pendenza, 0, 5\r\nqui la pendenza sale\r\npendenza, 6000, 3\r\n"),
     testing::kSmallTrain,
     "/w/r.txt:6:1: error 25: the description could not be read here: a field is not a whole "
     "number\n"
     "pendenza, 6000, 3\n"
     "^\n"
     "/w/r.txt:5:1: note: in the gradient row that begins here\n"
     "qui la pendenza sale\n"
     "^\n"
     "note: if \"qui la pendenza sale\" is a note: a field that holds \"pendenza\" starts a "
     "gradient row wherever it stands, and the fields after it are read as the row's values; "
     "reword the note so that it holds no keyword\n",
     row(kRouteFile, 5, 1, "gradient", "position"), nullptr},
    {"speed limit that fails where the next row fills the cells", testing::kSmallRoute,
     train_with("velocita, 0, 100\r\nvelocita, 2000, 1300\r\nvelocita, 3000, 80\r\n"),
     "/w/t.txt:5:17: error 25: the description could not be read here: a value does not fit "
     "its field\n"
     "velocita, 3000, 80\n"
     "                ^\n"
     "/w/t.txt:4:1: note: in the speed limit row that begins here\n"
     "velocita, 2000, 1300\n"
     "^\n"
     "note: this row's speed limit of 1300 km/h is stored as the limit / 5, rounded, in one "
     "byte of every cell, which holds limits up to 1277 km/h; the cells receive it only where "
     "the next speed limit row (or the end of the rows) fills them, and that is where the "
     "reading failed\n",
     row(kTrainFile, 4, 1, "speed limit", "limit"), nullptr},
    {"route sign on a signal's cell", route_with(kSign3800),
     train_with("segnale, 3800, 1, 3, 4, 0, 0, 0, 0,0,0, 0\r\n"),
     "/w/t.txt:3:10: error 16: signal on a cell already taken (3800 m, km 3+800)\n"
     "segnale, 3800, 1, 3, 4, 0, 0, 0, 0,0,0, 0\n"
     "         ^\n"
     "/w/r.txt:4:1: note: cell 77 is taken by the route sign of this row\n"
     "cartello_indicatore, 3800, (A)\n"
     "^\n",
     row(kTrainFile, 3, 1, "signal", "posizione (position)"),
     occupant("route sign", kRouteFile, 4)},
    {"route sign on a speed indicator's cell",
     route_with(kSign3800 + "indicatori_vmax, 3800, 100, 0, 0, 0, 0, 0, 0, 0\r\n"),
     testing::kSmallTrain,
     "/w/r.txt:5:18: error 21: speed indicator on a cell already taken (3800 m, km 3+800)\n"
     "indicatori_vmax, 3800, 100, 0, 0, 0, 0, 0, 0, 0\n"
     "                 ^\n"
     "/w/r.txt:4:1: note: cell 77 is taken by the route sign of this row\n"
     "cartello_indicatore, 3800, (A)\n"
     "^\n",
     row(kRouteFile, 5, 1, "speed indicator", "position"), occupant("route sign", kRouteFile, 4)},
    {"route sign on a slowdown's warning cell", route_with(kSign3800),
     train_with("rallentamento, 5000, 30, 100, 1, 0, 0\r\n"),
     "/w/t.txt:3:16: error 17: the warning cell of a slowdown (1200 m before its start) is "
     "already taken (5000 m, km 5+000)\n"
     "rallentamento, 5000, 30, 100, 1, 0, 0\n"
     "               ^\n"
     "/w/r.txt:4:1: note: cell 77 is taken by the route sign of this row\n"
     "cartello_indicatore, 3800, (A)\n"
     "^\n",
     row(kTrainFile, 3, 1, "slowdown", "x (start)"), occupant("route sign", kRouteFile, 4)},
    {"signals where the finishing pass puts its marks", testing::kSmallRoute,
     train_with("rallentamento, 5000, 30, 100, 1, 0, 0\r\n"
                "segnale, 4750, 1, 3, 4, 0, 0, 0, 0,0,0, 0\r\n"
                "segnale, 4700, 1, 3, 4, 0, 0, 0, 0,0,0, 0\r\n"
                "segnale, 4650, 1, 3, 4, 0, 0, 0, 0,0,0, 0\r\n"),
     "error 12: no free cell for a mark 250-350, 550-650 or 900-1000 m before a slowdown start "
     "(cell 101, 5050 m, km 5+050)\n"
     "/w/t.txt:4:1: note: cell 96 is taken by the signal of this row\n"
     "segnale, 4750, 1, 3, 4, 0, 0, 0, 0,0,0, 0\n"
     "^\n",
     nullptr, occupant("signal", kTrainFile, 4)},
    {"a mark of the finishing pass where another slowdown's mark goes", testing::kSmallRoute,
     train_with("rallentamento, 5000, 30, 1000, 1, 0, 0\r\n"
                "rallentamento, 5650, 60, 100, 1, 0, 0\r\n"
                "segnale, 5350, 1, 3, 4, 0, 0, 0, 0,0,0, 0\r\n"
                "segnale, 5300, 1, 3, 4, 0, 0, 0, 0,0,0, 0\r\n"),
     "error 12: no free cell for a mark 250-350, 550-650 or 900-1000 m before a slowdown start "
     "(cell 114, 5700 m, km 5+700)\n"
     "/w/t.txt:3:1: note: cell 109 is taken by a mark the finishing pass puts around the "
     "slowdown at /w/t.txt:3\n"
     "rallentamento, 5000, 30, 1000, 1, 0, 0\n"
     "^\n",
     nullptr, occupant("finishing mark", kTrainFile, 3)},
};

TEST(ErrorRowTest, TheRowThatHoldsTheFaultAndWhatTookTheCell) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const CompileReport report = check(c.route, c.train);
    ASSERT_TRUE(report.error.has_value()) << report.message();
    EXPECT_EQ(report.error->text(), c.text);
    const json error = report.to_json()["error"];
    EXPECT_EQ(error["row"], c.row) << error.dump();
    EXPECT_EQ(error["occupant"], c.occupant) << error.dump();
    EXPECT_EQ(report.check_status(false), 1);
    EXPECT_EQ(report.exit_status(), 1);
  }
}

// A row that fails on its own line names the row in the JSON, and the text
// needs no second caret; an error outside any row has neither.
TEST(ErrorRowTest, ARowOnTheErrorsOwnLineAndNoRowAtAll) {
  CompileReport same_line =
      check(route_with("pendenza, 0, 5\r\npendenza, 50, 5x\r\n"), testing::kSmallTrain);
  ASSERT_TRUE(same_line.error);
  EXPECT_EQ(same_line.to_json()["error"]["row"], row(kRouteFile, 5, 1, "gradient", "gradient"));
  EXPECT_TRUE(same_line.error->related.empty()) << same_line.error->text();

  CompileReport no_route = check("", testing::kSmallTrain);
  ASSERT_TRUE(no_route.error);
  EXPECT_EQ(no_route.to_json()["error"]["row"], nullptr);
  EXPECT_EQ(no_route.to_json()["error"]["occupant"], nullptr);
}

// The identity stamp needs cell 1: when a row took it, the identity error
// names that row as a taken cell's error does.
TEST(ErrorRowTest, AnIdentityErrorNamesWhatTookCellOne) {
  const struct {
    const char* name;
    std::string route, train;
    int code;
    json occupant;  // "identity_occupant"
  } cases[] = {
      {"a route sign on the first 50 m",
       "[generale]\r\nlunghezza percorso, 10000\r\n[cartelli]\r\n"
       "cartello_indicatore, 0, (ORIGINE)\r\n[fine]\r\n",
       testing::kSmallTrain, 1250, occupant("route sign", kRouteFile, 4)},
      {"a signal at 0 m, its first aspects in value1", route_with(""),
       train_with("segnale, 0, 1, 3, 0, 0, 0, 0, 0, 0, 0, 0\r\n"), 1250,
       occupant("signal", kTrainFile, 3)},
      {"a signal at 24 m, only its second aspects, in value2", route_with(""),
       train_with("segnale, 24, 1, 0, 4, 0, 0, 0, 0, 0, 0, 0\r\n"), 1251,
       occupant("signal", kTrainFile, 3)},
      {"a mark the finishing pass puts before a slowdown", route_with(""),
       train_with("abbattimento, 100, 60\r\nabbattimento, 150, 60\r\n"
                  "rallentamento, 350, 30, 100, 1, 0, 0\r\n"),
       1250, occupant("finishing mark", kTrainFile, 5)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const CompileReport report = check(c.route, c.train);
    ASSERT_EQ(report.identity_error, c.code) << report.message();
    const json out = report.to_json();
    EXPECT_EQ(out["identity_occupant"], c.occupant) << out.dump();
    const std::vector<Diagnostic> all = report.diagnostics();
    ASSERT_FALSE(all.empty());
    const std::string text = all.back().text();
    EXPECT_NE(text.find("note: cell 1 is taken by"), std::string::npos) << text;
    EXPECT_EQ(report.check_status(false), 1);
  }
  // Without a row on cell 1 there is no occupant to name.
  const CompileReport clean = check(route_with(""), testing::kSmallTrain);
  EXPECT_EQ(clean.to_json()["identity_occupant"], nullptr);
}

TEST(ErrorRowTest, TheBuiltInPairGivesNoDiagnostic) {
  const CompileReport report = check(sources::line_array_bytes(sources::route_description_text()),
                                     sources::line_array_bytes(sources::train_description_text()));
  EXPECT_TRUE(report.diagnostics().empty()) << report.message();
  EXPECT_EQ(report.to_json()["error"], nullptr);
}

}  // namespace
}  // namespace tools
