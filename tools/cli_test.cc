// The tool end to end, through its command line, on the compiler's own
// compile pass: built-in texts, description pairs with one fault of each
// class, bad usage, inspection and drawing of the result.
#include "tools/cli.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "app/version.h"
#include "compiled/test_scenario.h"
#include "model/compile_errors.h"
#include "tools/preview/xml_check.h"
#include "tools/tool_run.h"

namespace tools {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::TempFolder;
using testing::write_file;

using testing::tool;
using testing::ToolRun;

std::set<std::string> names_in(const fs::path& dir) {
  std::set<std::string> names;
  if (!fs::exists(dir)) return names;
  for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
  return names;
}

// Bytes and modification times of the author's files, to show that no run
// changes, moves or deletes them.
class Untouched {
 public:
  explicit Untouched(std::vector<fs::path> files) {
    for (const fs::path& f : files) state_[f] = {read_file(f), fs::last_write_time(f)};
  }
  void check() const {
    for (const auto& [f, s] : state_) {
      ASSERT_TRUE(fs::exists(f)) << f;
      EXPECT_EQ(read_file(f), s.first) << f;
      EXPECT_EQ(fs::last_write_time(f), s.second) << f;
    }
  }

 private:
  std::map<fs::path, std::pair<std::string, fs::file_time_type>> state_;
};

// ---- The built-in pair --------------------------------------------------------

class BuiltinTest : public ::testing::Test {
 protected:
  // One built-in compile for the whole suite: by the compiler and by the tool.
  static void SetUpTestSuite() {
    dir_ = new TempFolder("builtin");
    fs::path bin = dir_->path() / "bin";
    fs::create_directories(bin);
    fs::copy_file(SCENARIO_COMPILER, bin / "scenario_compiler");
    std::string command = "cd '" + bin.string() + "' && ./scenario_compiler </dev/null >/dev/null";
    compiler_status_ = std::system(command.c_str());
    builtin_ = new ToolRun(tool({"builtin", (dir_->path() / "src").string()}));
    untouched_ = new Untouched({route(), train()});
    compile_ = new ToolRun(tool({"compile", "--route", route().string(), "--train",
                                 train().string(), "--out", out().string()}));
  }
  static void TearDownTestSuite() {
    delete compile_;
    delete untouched_;
    delete builtin_;
    delete dir_;
  }
  static fs::path route() { return dir_->path() / "src" / "BRENTALVO_linea.txt"; }
  static fs::path train() { return dir_->path() / "src" / "BRENTALVO_TRN4417-.txt"; }
  static fs::path out() { return dir_->path() / "out"; }

  static TempFolder* dir_;
  static int compiler_status_;
  static ToolRun* builtin_;
  static Untouched* untouched_;
  static ToolRun* compile_;
};
TempFolder* BuiltinTest::dir_ = nullptr;
int BuiltinTest::compiler_status_ = -1;
ToolRun* BuiltinTest::builtin_ = nullptr;
Untouched* BuiltinTest::untouched_ = nullptr;
ToolRun* BuiltinTest::compile_ = nullptr;

TEST_F(BuiltinTest, CompilingTheBuiltInPairGivesTheCompilersFiles) {
  ASSERT_EQ(compiler_status_, 0);
  ASSERT_EQ(builtin_->status, 0) << builtin_->err;
  EXPECT_EQ(names_in(dir_->path() / "src"),
            (std::set<std::string>{
                "BRENTALVO_linea.txt", "BRENTALVO_TRN4417-.txt", "BRENTALVO_TRN4417_note.txt",
                "BRENTALVO_TRN4417_rallentamenti.txt", "BRENTALVO_TRN4417_scheda_treno.txt"}));
  // The documents are left by the compiler too: the same bytes.
  for (const char* doc : {"BRENTALVO_TRN4417_note.txt", "BRENTALVO_TRN4417_rallentamenti.txt",
                          "BRENTALVO_TRN4417_scheda_treno.txt"}) {
    EXPECT_EQ(read_file(dir_->path() / "src" / doc), read_file(dir_->path() / "bin" / doc)) << doc;
  }

  ASSERT_EQ(compile_->status, 0) << compile_->err;
  EXPECT_EQ(compile_->err, "");
  EXPECT_EQ(compile_->out.rfind("compiled with no error\nwrote into ", 0), 0u) << compile_->out;
  EXPECT_NE(compile_->out.find("BRENTALVO_TRN4417.dat "), std::string::npos) << compile_->out;
  EXPECT_NE(compile_->out.find(" 32115 bytes"), std::string::npos) << compile_->out;
  EXPECT_EQ(names_in(out()),
            (std::set<std::string>{"BRENTALVO_linea.dat", "BRENTALVO_TRN4417.sim",
                                   "BRENTALVO_TRN4417.dat", "BRENTALVO_TRN4417_scheda_treno.txt",
                                   "BRENTALVO_TRN4417_rallentamenti.txt",
                                   "BRENTALVO_TRN4417_documenti.impronte"}));
  // The form generated from the built-in train is the built-in form.
  EXPECT_EQ(read_file(out() / "BRENTALVO_TRN4417_rallentamenti.txt"),
            read_file(dir_->path() / "src" / "BRENTALVO_TRN4417_rallentamenti.txt"));
  for (const char* file :
       {"BRENTALVO_linea.dat", "BRENTALVO_TRN4417.sim", "BRENTALVO_TRN4417.dat"}) {
    std::string ours = read_file(out() / file);
    EXPECT_FALSE(ours.empty()) << file;
    EXPECT_TRUE(ours == read_file(dir_->path() / "bin" / file)) << file << " differs";
  }
  untouched_->check();
}

TEST_F(BuiltinTest, InspectShowsTheStationsAndSigns) {
  ToolRun r = tool({"inspect", out().string(), "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  nlohmann::json j = r.json();
  const nlohmann::json& st = j["station_file"];
  EXPECT_EQ(st["stations"].size(), 27u);
  EXPECT_EQ(st["signs"].size(), 51u);
  EXPECT_EQ(st["stations"][0]["name"], "ZARNETTO");
  EXPECT_EQ(st["stations"][26]["name"], "PALVESCO");
  EXPECT_EQ(st["stations"][26]["position"], 99550);
  EXPECT_EQ(st["signs"][0]["slot"], 80);
  EXPECT_EQ(st["signs"][50]["slot"], 30);
  for (const auto& sign : st["signs"]) EXPECT_FALSE(sign["cell"].is_null()) << sign;
  EXPECT_EQ(st["general"]["line_length"], 100000);
  EXPECT_EQ(st["identity"]["marker_ok"], true);
  EXPECT_EQ(st["identity"]["weighted_code_ok"], true);
  EXPECT_EQ(j["track_file"]["cell_count"], 2140);
  EXPECT_EQ(j["track_file"]["identity"]["ordinary_code_ok"], true);
  EXPECT_EQ(j["line_file"]["points"], 107001);
  EXPECT_EQ(j["line_file"]["computed_points"], 106999);

  ToolRun cells = tool({"inspect", (out() / "BRENTALVO_TRN4417.dat").string(), "--cells"});
  ASSERT_EQ(cells.status, 0) << cells.err;
  EXPECT_NE(cells.out.find("\n    2140  107000"), std::string::npos);
}

TEST_F(BuiltinTest, TheDrawingIsXmlWithThePlanAndTheStations) {
  fs::path svg = dir_->path() / "drawing.svg";
  ToolRun r = tool({"render", out().string(), "--svg", svg.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  testing::XmlResult xml = testing::parse_xml(read_file(svg));
  ASSERT_EQ(xml.error, "");
  bool plan = false;
  for (const testing::XmlElement* p : xml.root->all("path")) {
    auto id = p->attributes.find("id");
    if (id != p->attributes.end() && id->second == "plan") {
      plan = std::count(p->attributes.at("d").begin(), p->attributes.at("d").end(), 'L') > 1000;
    }
  }
  EXPECT_TRUE(plan);
  std::multiset<std::string> labels;
  for (const testing::XmlElement* t : xml.root->all("text")) {
    auto c = t->attributes.find("class");
    if (c != t->attributes.end() && c->second == "station-label") labels.insert(t->text);
  }
  nlohmann::json stations =
      tool({"inspect", out().string(), "--json"}).json()["station_file"]["stations"];
  for (const auto& s : stations) {
    // On the plan and over the profile.
    EXPECT_EQ(labels.count(s["name"].get<std::string>()), 2u) << s["name"];
  }
}

// ---- One fixture for each class of error ---------------------------------------

constexpr const char* kRoute = testing::kSmallRoute;
constexpr const char* kTrain = testing::kSmallTrain;

struct ErrorCase {
  const char* name;
  const char* route;  // nullptr: no --route
  const char* train;  // nullptr: no --train
  int status;
  int error_code;
  int error_position;  // -1: not checked (the model's value as the train half left it)
  const char* outcome;
  int identity_error;  // 0: null
  const char* file;    // "route", "train" or nullptr
  int line;            // 0: null
  int column;          // 0: null
  const char* message;
};

const ErrorCase kErrorCases[] = {
    {"clean", kRoute, kTrain, 0, 0, 0, "ok", 0, nullptr, 0, 0, "no compile error"},
    {"route sign on a taken cell",
     "[generale]\r\nlunghezza percorso, 10000\r\n[cartelli]\r\n"
     "cartello_indicatore, 3000, (A)\r\ncartello_indicatore, 3010, (B)\r\n[fine]\r\n",
     kTrain, 1, 6, 3010, "compile_error", 0, "route", 5, 22,
     "error 6: route sign on a cell already taken (3010 m, km 3+010)"},
    {"route row not a number",
     "[generale]\r\nlunghezza percorso, 10000\r\n[pendenze]\r\npendenza, 0, 5\r\n"
     "pendenza, 50, 5x\r\n[fine]\r\n",
     kTrain, 1, 25, 0, "compile_error", 0, "route", 5, 15,
     "error 25: the description could not be read here: a field is not a whole number"},
    {"route row past the end, train read after it",
     "[generale]\r\nlunghezza percorso, 10000\r\n[pendenze]\r\npendenza, 0, 5\r\n"
     "pendenza, 20000, 3\r\n[fine]\r\n",
     "[generale]\r\nnumero vetture, 5\r\n[segnali]\r\n"
     "segnale, 4750, 1, 3, 4, 0, 0, 0, 0,0,0, 0\r\n[fine]\r\n",
     1, 15, 20000, "compile_error", 0, "route", 5, 11,
     "error 15: position beyond the end of the track: the track runs 7000 m past the route "
     "length, and a row must lie at least 100 m before its end, a station 800 m (20000 m, km "
     "20+000; the track ends at 17000 m)"},
    {"station position", kRoute,
     "[generale]\r\nnumero vetture, 5\r\n[stazioni]\r\n"
     "stazione, 0, 8, 300, 1, 0, 0, 4,1,0, 2,1,1, 1, 7,29,0, ALFA\r\n"
     "stazione, 4525, 1, 400, 0,0,0, 1,1,0, 2,1,1, 0, 8,0,0, BETA\r\n[fine]\r\n",
     1, 8, 4525, "compile_error", 0, "train", 5, 11,
     "error 8: station position is not a multiple of 50 m (4525 m, km 4+525)"},
    {"train value too large", kRoute,
     "[generale]\r\nnumero vetture, 5\r\n"
     "stazione, 0, 300, 300, 1, 0, 0, 4,1,0, 2,1,1, 1, 7,29,0, ALFA\r\n[fine]\r\n",
     1, 25, 0, "compile_error", 0, "train", 3, 14,
     "error 25: the description could not be read here: a value does not fit its field"},
    {"finishing pass", kRoute,
     "[generale]\r\n[rallentamenti]\r\nrallentamento, 5000, 30, 100, 1, 0, 0\r\n[segnali]\r\n"
     "segnale, 4750, 1, 3, 4, 0, 0, 0, 0,0,0, 0\r\nsegnale, 4700, 1, 3, 4, 0, 0, 0, 0,0,0, 0\r\n"
     "segnale, 4650, 1, 3, 4, 0, 0, 0, 0,0,0, 0\r\n[fine]\r\n",
     1, 12, 5050, "compile_error", 0, nullptr, 0, 0,
     "error 12: no free cell for a mark 250-350, 550-650 or 900-1000 m before a slowdown start "
     "(cell 101, 5050 m, km 5+050)"},
    {"identity",
     "[generale]\r\nlunghezza percorso, 10000\r\n[cartelli]\r\n"
     "cartello_indicatore, 0, (ORIGINE)\r\n[fine]\r\n",
     kTrain, 2, 0, 0, "identity_error", 1250, nullptr, 0, 0, "error 1250: identity error: cell 1"},
    {"route length refused", "[generale]\r\nlunghezza percorso, 1000001\r\n[fine]\r\n", kTrain, 2,
     1, 0, "runtime_failure", 0, "route", 2, 21,
     "error 1: route length is above the limit of 1000000 m (1000001 m); then the compile "
     "stopped with a failure: no track was built, as the route description gave no accepted "
     "route length; no compiled file was replaced"},
};

TEST(CompileTest, OneFixturePerClassOfError) {
  for (const ErrorCase& c : kErrorCases) {
    SCOPED_TRACE(c.name);
    TempFolder dir("compile");
    std::vector<std::string> args{"compile", "--out", (dir.path() / "out").string(), "--json"};
    std::vector<fs::path> inputs;
    // The author's files keep names of their own.
    if (c.route) {
      inputs.push_back(dir.path() / "my route.txt");
      write_file(inputs.back(), c.route);
      args.insert(args.end(), {"--route", inputs.back().string()});
    }
    if (c.train) {
      inputs.push_back(dir.path() / "my train.txt");
      write_file(inputs.back(), c.train);
      args.insert(args.end(), {"--train", inputs.back().string()});
    }
    Untouched untouched(inputs);
    ToolRun r = tool(args);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.err, "");
    nlohmann::json j = r.json();
    EXPECT_EQ(j["error_code"], c.error_code);
    if (c.error_position >= 0) {
      EXPECT_EQ(j["error_position"], c.error_position);
    }
    EXPECT_EQ(j["outcome"], c.outcome);
    if (c.identity_error) {
      EXPECT_EQ(j["identity_error"], c.identity_error);
    } else {
      EXPECT_TRUE(j["identity_error"].is_null());
    }
    if (c.file) {
      EXPECT_EQ(j["file"], (dir.path() / (std::string("my ") + c.file + ".txt")).string());
    } else {
      EXPECT_TRUE(j["file"].is_null());
    }
    if (c.line) {
      EXPECT_EQ(j["line"], c.line);
    } else {
      EXPECT_TRUE(j["line"].is_null());
    }
    std::string message = j["message"];
    EXPECT_EQ(message.rfind(c.message, 0), 0u) << message;
    // The error object holds the same, with the column and the position.
    if (c.error_code != 0) {
      const nlohmann::json& e = j["error"];
      EXPECT_EQ(e["code"], c.error_code);
      EXPECT_EQ(e["file"], j["file"]);
      EXPECT_EQ(e["line"], j["line"]);
      if (c.column) {
        EXPECT_EQ(e["column"], c.column);
      } else {
        EXPECT_TRUE(e["column"].is_null());
      }
      if (model::find_error(c.error_code)->has_position) {
        EXPECT_EQ(e["position"], j["error_position"]);
      } else {
        EXPECT_TRUE(e["position"].is_null());
      }
      EXPECT_EQ(("error " + std::to_string(c.error_code) + ": " + e["message"].get<std::string>())
                    .rfind(std::string(c.message).substr(0, message.find(';')), 0),
                0u);
    } else {
      EXPECT_TRUE(j["error"].is_null());
    }
    EXPECT_EQ(j["warnings"], nlohmann::json::array());

    std::set<std::string> written;
    for (const auto& f : j["files"]) written.insert(f);
    std::set<std::string> present = names_in(dir.path() / "out");
    std::erase_if(present, [](const std::string& name) {
      return name.ends_with("_documenti.impronte");  // the documents' record
    });
    EXPECT_EQ(present, written);
    const bool written_all =
        std::string(c.outcome) == "ok" || std::string(c.outcome) == "compile_error";
    // The driver's documents come with a compile without error.
    EXPECT_EQ(written.size(), std::string(c.outcome) == "ok" ? 5u : written_all ? 3u : 0u);
    untouched.check();
    // Nothing but the author's files and the output beside them.
    EXPECT_EQ(names_in(dir.path()).size(), inputs.size() + (written.empty() ? 0 : 1));

    // The same run as text: the diagnostic names the line.
    args.erase(std::find(args.begin(), args.end(), "--json"));
    fs::remove_all(dir.path() / "out");
    ToolRun text = tool(args);
    EXPECT_EQ(text.status, c.status);
    if (c.error_code != 0) {
      std::string where = c.file ? j["file"].get<std::string>() + ":" : "";
      if (c.line) where += std::to_string(c.line) + ":" + std::to_string(c.column) + ":";
      const std::string heading = where + (where.empty() ? "" : " ") + c.message;
      EXPECT_EQ(text.err.rfind(heading.substr(0, heading.find(';')), 0), 0u) << text.err;
    }
    if (c.identity_error) {
      EXPECT_NE(text.err.find("error " + std::to_string(c.identity_error) + ": identity error"),
                std::string::npos)
          << text.err;
    }
    untouched.check();
  }
}

// Without --line-name and --train-code the names come from descriptions
// named LINE_linea.txt and LINE_TRAIN-.txt; a name given still wins, and
// other file names keep the defaults, with a note that says so.
TEST(CompileTest, NamesComeFromTheFileNamesUnlessGiven) {
  const std::string kDefaultsNote =
      "note: the file names are not LINE_linea.txt and LINE_TRAIN-.txt of one LINE, so the "
      "compiled files are named after line BRENTALVO and train TRN4417 (--line-name and "
      "--train-code choose them)\n";
  struct Case {
    const char* route;
    const char* train;
    std::vector<std::string> options;
    std::string line, train_code;  // the names of the compiled files
    std::string err;
  } cases[] = {
      {"VALDORA_linea.txt", "VALDORA_R2231-.txt", {}, "VALDORA", "R2231", ""},
      {"VALDORA_linea.txt", "VALDORA_R2231-.txt", {"--train-code", "X9"}, "VALDORA", "X9", ""},
      {"VALDORA_linea.txt", "VALDORA_R2231-.txt", {"--line-name", "ALTRA"}, "ALTRA", "R2231", ""},
      {"route.txt", "train.txt", {}, "BRENTALVO", "TRN4417", kDefaultsNote},
      {"route.txt", "train.txt", {"--line-name", "ALTRA", "--train-code", "X9"}, "ALTRA", "X9", ""},
      // Two lines: no one LINE names both.
      {"VALDORA_linea.txt", "MONTE_R1-.txt", {}, "BRENTALVO", "TRN4417", kDefaultsNote},
      {"VALDORA_linea.txt", "VALDORA_-.txt", {}, "BRENTALVO", "TRN4417", kDefaultsNote},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.route) + " " + c.train);
    TempFolder dir("names");
    write_file(dir.path() / c.route, kRoute);
    write_file(dir.path() / c.train, kTrain);
    std::vector<std::string> args{"compile",
                                  "--route",
                                  (dir.path() / c.route).string(),
                                  "--train",
                                  (dir.path() / c.train).string(),
                                  "--out",
                                  (dir.path() / "out").string(),
                                  "--no-documents"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    ToolRun r = tool(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, c.err);
    const std::string stem = c.line + "_" + c.train_code;
    EXPECT_EQ(names_in(dir.path() / "out"),
              (std::set<std::string>{c.line + "_linea.dat", stem + ".sim", stem + ".dat"}));

    // check names the driver's documents by the same names, without a note
    // (it writes nothing).
    std::vector<std::string> check_args = args;
    check_args[0] = "check";
    check_args.erase(check_args.begin() + 5, check_args.begin() + 8);
    check_args.push_back("--json");
    ToolRun checked = tool(check_args);
    EXPECT_EQ(checked.status, 0);
    EXPECT_EQ(checked.err, "");
    EXPECT_EQ(checked.json()["documents"]["timetable_card"]["file"], stem + "_scheda_treno.txt");
  }

  // The set carries its names: decompile writes descriptions named after
  // them, which compile back under the same names.
  TempFolder dir("names_back");
  write_file(dir.path() / "VALDORA_linea.txt", kRoute);
  write_file(dir.path() / "VALDORA_R2231-.txt", kTrain);
  ASSERT_EQ(
      tool({"compile", "--route", (dir.path() / "VALDORA_linea.txt").string(), "--train",
            (dir.path() / "VALDORA_R2231-.txt").string(), "--out", (dir.path() / "out").string()})
          .status,
      0);
  ToolRun back =
      tool({"decompile", (dir.path() / "out").string(), "--out", (dir.path() / "back").string()});
  EXPECT_EQ(back.status, 0) << back.err;
  EXPECT_EQ(names_in(dir.path() / "back"),
            (std::set<std::string>{"VALDORA_linea.txt", "VALDORA_R2231-.txt"}));
}

TEST(CompileTest, WithoutTheLineFileAnOldOneStays) {
  TempFolder dir("noline");
  write_file(dir.path() / "r.txt", kRoute);
  write_file(dir.path() / "t.txt", kTrain);
  fs::create_directories(dir.path() / "out");
  write_file(dir.path() / "out" / "LINEA_linea.dat", "older");
  write_file(dir.path() / "out" / "LINEA_T9.sim", "older");
  ToolRun r = tool({"compile", "--route", (dir.path() / "r.txt").string(), "--train",
                    (dir.path() / "t.txt").string(), "--out", (dir.path() / "out").string(),
                    "--line-name", "LINEA", "--train-code", "T9", "--no-line-file", "--json"});
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.json()["files"],
            nlohmann::json({"LINEA_T9.sim", "LINEA_T9.dat", "LINEA_T9_scheda_treno.txt",
                            "LINEA_T9_rallentamenti.txt"}));
  EXPECT_EQ(read_file(dir.path() / "out" / "LINEA_linea.dat"), "older");
  EXPECT_NE(read_file(dir.path() / "out" / "LINEA_T9.sim"), "older");
  // The station file carries the names given.
  nlohmann::json j =
      tool({"inspect", (dir.path() / "out" / "LINEA_T9.sim").string(), "--json"}).json();
  EXPECT_EQ(j["station_file"]["general"]["line_name"], "LINEA");
  EXPECT_EQ(j["station_file"]["general"]["train_code"], "T9");
  EXPECT_EQ(j["station_file"]["identity"]["weighted_code_ok"], true);
}

TEST(CompileTest, CompiledFilesNeverReplaceADescription) {
  TempFolder dir("clash");
  // An author who named a description like a compiled file, in --out.
  fs::path route = dir.path() / "BRENTALVO_TRN4417.dat";
  write_file(route, kRoute);
  write_file(dir.path() / "t.txt", kTrain);
  Untouched untouched({route});
  ToolRun r = tool({"compile", "--route", route.string(), "--train",
                    (dir.path() / "t.txt").string(), "--out", dir.path().string()});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("would replace the description"), std::string::npos) << r.err;
  untouched.check();
  EXPECT_EQ(names_in(dir.path()), (std::set<std::string>{"BRENTALVO_TRN4417.dat", "t.txt"}));
}

// ---- Bad names and bad arguments --------------------------------------------------

TEST(CompileTest, BadNamesAndArgumentsAreRefusedBeforeAnythingIsWritten) {
  TempFolder dir("usage");
  fs::path route = dir.path() / "r.txt", train = dir.path() / "t.txt";
  write_file(route, kRoute);
  write_file(train, kTrain);
  write_file(dir.path() / "a file", "x");
  std::string out = (dir.path() / "out").string();
  const std::vector<std::string> compile{
      "compile", "--route", route.string(), "--train", train.string(), "--out", out};
  auto with = [&](std::vector<std::string> extra) {
    std::vector<std::string> args = compile;
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  };
  struct Case {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {with({"--line-name", "A/B"}), "line name \"A/B\" is refused"},
      {with({"--line-name", ".."}), "line name \"..\" is refused"},
      {with({"--line-name", ""}), "line name \"\" is refused: it is empty"},
      {with({"--train-code", std::string(33, 'X')}), "it has 33 characters"},
      {with({"--train-code", "T 1"}), "train code \"T 1\" is refused"},
      {with({"--train-code", "\xC3\xA9"}), "train code"},
      {with({"--bogus"}), "bogus"},
      {with({"--json", "extra"}), "extra"},
      {{"compile", "--route", route.string(), "--train", train.string()}, "--out is required"},
      {{"compile", "--train", train.string(), "--out", out}, "--route is required"},
      {{"compile", "--route", route.string(), "--out", out}, "--train is required"},
      {{"compile", "--route", (dir.path() / "none.txt").string(), "--out", out}, "none.txt"},
      {{"compile", "--route", route.string(), "--train", train.string(), "--out",
        (dir.path() / "a file").string()},
       "is a file, not a folder"},
      {{}, "A subcommand is required"},
      {{"translate"}, "translate"},
      {{"compil"}, "unknown command \"compil\"; did you mean \"compile\"?"},
      {{"compile", "--rout", route.string(), "--train", train.string(), "--out", out},
       "\"--rout\": did you mean \"--route\"?"},
      {{"render", dir.path().string(), "--svgg=" + out + ".svg"},
       "\"--svgg\": did you mean \"--svg\"?"},
      {{"builtin"}, "DIR is required"},
      {{"inspect"}, "PATH is required"},
      {{"inspect", (dir.path() / "none").string()}, "no such file or folder"},
      {{"inspect", route.string()}, "not a compiled file name"},
      {{"render", dir.path().string()}, "render needs --svg FILE, --html FILE or both"},
      {{"render", dir.path().string(), "--svg", out + ".svg", "--html", out + ".svg"},
       "name the same file"},
      {{"render", dir.path().string(), "--svg", out + ".svg"}, "holds no compiled file"},
  };
  Untouched untouched({route, train});
  for (const Case& c : cases) {
    std::string shown;
    for (const std::string& a : c.args) shown += a + " ";
    SCOPED_TRACE(shown);
    ToolRun r = tool(c.args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(out));
    EXPECT_FALSE(fs::exists(out + ".svg"));
  }
  untouched.check();
  EXPECT_EQ(names_in(dir.path()), (std::set<std::string>{"r.txt", "t.txt", "a file"}));
}

TEST(CompileTest, BuiltinKeepsExistingFilesUnlessForced) {
  TempFolder dir("keep");
  ASSERT_EQ(tool({"builtin", dir.path().string()}).status, 0);
  fs::path route = dir.path() / "BRENTALVO_linea.txt";
  write_file(route, "my edits");
  ToolRun again = tool({"builtin", dir.path().string()});
  EXPECT_EQ(again.status, 2);
  EXPECT_NE(again.err.find("may hold your edits"), std::string::npos) << again.err;
  EXPECT_EQ(read_file(route), "my edits");
  EXPECT_EQ(tool({"builtin", dir.path().string(), "--force"}).status, 0);
  EXPECT_NE(read_file(route), "my edits");
}

TEST(CompileTest, EveryCommandHasHelpAndTheToolAVersion) {
  const char* const commands[] = {"builtin", "compile", "check", "inspect",
                                  "render",  "watch",   "diff"};
  for (const char* command : commands) {
    ToolRun r = tool({command, "--help"});
    EXPECT_EQ(r.status, 0) << command;
    EXPECT_NE(r.out.find(std::string("Usage: scenario_tool ") + command), std::string::npos)
        << r.out;
  }
  ToolRun r = tool({"--help"});
  EXPECT_EQ(r.status, 0);
  for (const char* command : commands) {
    EXPECT_NE(r.out.find(std::string("\n  ") + command + " "), std::string::npos) << command;
  }
  // What is needed says so.
  EXPECT_NE(tool({"compile", "--help"}).out.find("--route FILE REQUIRED"), std::string::npos);
  ToolRun version = tool({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, std::string("scenario_tool ") + app::kVersion + "\n");
}

TEST(CompileTest, AFileThatDoesNotFitIsRefused) {
  TempFolder dir("damaged");
  write_file(dir.path() / "L_T.dat", std::string(31, '\0'));
  ToolRun r = tool({"inspect", dir.path().string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "scenario_tool: L_T.dat: track file: 31 bytes does not fit: expected a whole number "
            "of 15-byte cell records, at least two (cells 0 and 1), but 1 bytes are left over\n");
}

// The executable itself: one JSON object alone on standard output.
TEST(CompileTest, TheProgramPrintsOneJsonObject) {
  TempFolder dir("program");
  write_file(dir.path() / "r.txt", kRoute);
  write_file(dir.path() / "t.txt", kTrain);
  std::string command =
      std::string("'") + SCENARIO_TOOL + "' compile --route '" + (dir.path() / "r.txt").string() +
      "' --train '" + (dir.path() / "t.txt").string() + "' --out '" +
      (dir.path() / "out").string() + "' --json >'" + (dir.path() / "stdout").string() + "' 2>'" +
      (dir.path() / "stderr").string() + "' </dev/null";
  int raw = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(raw));
  EXPECT_EQ(WEXITSTATUS(raw), 0);
  EXPECT_EQ(read_file(dir.path() / "stderr"), "");
  nlohmann::json j = nlohmann::json::parse(read_file(dir.path() / "stdout"));
  EXPECT_EQ(j["outcome"], "ok");
  EXPECT_EQ(j.size(), 15u);
  EXPECT_EQ(j["identity_occupant"], nullptr);
  EXPECT_EQ(j["errors"], nlohmann::json::array());
}

// Output that cannot reach its reader is never a success with the result
// cut short: a full device is a failure with its reason; a pipe closed by
// its reader (as head does) ends the tool quietly with the status a shell
// shows for a program that SIGPIPE ended, 141.
TEST(CompileTest, ALostStandardOutputIsAFailure) {
  TempFolder dir("stdout");
  write_file(dir.path() / "r.txt", kRoute);
  write_file(dir.path() / "t.txt", kTrain);
  const std::string compile = std::string("'") + SCENARIO_TOOL + "' compile --route '" +
                              (dir.path() / "r.txt").string() + "' --train '" +
                              (dir.path() / "t.txt").string() + "' --out '" +
                              (dir.path() / "out").string() + "' --json";
  const std::string err = (dir.path() / "stderr").string();
  struct Case {
    std::string command;
    int status;
    std::string err;
  };
  // The reader of the pipe ends at once; the compile writes half a second later.
  for (const Case& c :
       {Case{compile + " >/dev/full 2>'" + err + "'", 2,
             "scenario_tool: cannot write to standard output (No space left on device)\n"},
        Case{"(sleep 0.5; " + compile + " 2>'" + err + "'; echo $? >'" +
                 (dir.path() / "status").string() + "') | true",
             141, ""}}) {
    SCOPED_TRACE(c.command);
    int raw = std::system(("exec </dev/null; " + c.command).c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    int status = WEXITSTATUS(raw);
    if (fs::exists(dir.path() / "status")) {
      status = std::stoi(read_file(dir.path() / "status"));
      fs::remove(dir.path() / "status");
    }
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(read_file(err), c.err);
  }
}

// Two compiles into one folder at once: the second waits for the first, so
// the folder ends with one of the two sets, whole, never a blend.
TEST(CompileTest, CompilesIntoOneFolderAtOnceNeverMixTheirFiles) {
  TempFolder dir("concurrent");
  std::string longer = kRoute;
  longer.replace(longer.find("10000"), 5, "20000");
  write_file(dir.path() / "a.txt", kRoute);
  write_file(dir.path() / "b.txt", longer);
  write_file(dir.path() / "t.txt", kTrain);
  auto compile = [&](const char* route, const fs::path& out) {
    return std::string("'") + SCENARIO_TOOL + "' compile --route '" +
           (dir.path() / route).string() + "' --train '" + (dir.path() / "t.txt").string() +
           "' --out '" + out.string() + "' >/dev/null";
  };
  std::map<std::string, std::string> sets[2];
  for (int i = 0; i < 2; ++i) {
    fs::path ref = dir.path() / (i == 0 ? "ref_a" : "ref_b");
    ASSERT_EQ(std::system(compile(i == 0 ? "a.txt" : "b.txt", ref).c_str()), 0);
    for (const auto& e : fs::directory_iterator(ref)) {
      sets[i][e.path().filename().string()] = read_file(e.path());
    }
    ASSERT_EQ(sets[i].size(), 6u);  // three compiled files, two documents and their record
  }
  ASSERT_NE(sets[0], sets[1]);
  const fs::path out = dir.path() / "out";
  for (int round = 0; round < 10; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    std::string both = "exec </dev/null; " + compile("a.txt", out) + " & a=$!; " +
                       compile("b.txt", out) + " || exit 1; wait $a";
    EXPECT_EQ(std::system(both.c_str()), 0);
    std::map<std::string, std::string> found;
    for (const auto& e : fs::directory_iterator(out)) {
      found[e.path().filename().string()] = read_file(e.path());
    }
    EXPECT_TRUE(found == sets[0] || found == sets[1]) << "a blend of two compiles";
  }
}

}  // namespace
}  // namespace tools
