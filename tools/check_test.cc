// The check command end to end, in-process: one small description pair for
// each warning and for each way the compile can fail, with the whole
// headings the author reads, in file order, and the exit status.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "compiled/test_scenario.h"
#include "tools/tool_run.h"

namespace tools {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;
using testing::tool;
using testing::ToolRun;
using testing::write_file;

// A clean pair: each row below changes one side of it.
constexpr const char* kRoute = testing::kSmallRoute;
constexpr const char* kTrain = testing::kSmallTrain;

// A route 10000 m long (the track ends at 17000 m) whose body rows start on
// line 4.
std::string route_with(const std::string& body) {
  return "[generale]\r\nlunghezza percorso, 10000\r\n[tracciato]\r\n" + body + "[fine]\r\n";
}

// A train whose rows start on line 3.
std::string train_with(const std::string& rows) {
  return "[generale]\r\nnumero vetture, 5\r\n" + rows + "[fine]\r\n";
}

// A signal row at `metres` with no time and no repetition.
std::string signal_at(int metres) {
  return "segnale, " + std::to_string(metres) + ", 1, 3, 4, 0, 0, 0, 0,0,0, 0\r\n";
}

// `count` route signs 100 m apart, each on a cell of its own.
std::string signs(int count) {
  std::string rows;
  for (int i = 0; i < count; ++i) {
    rows += "cartello_indicatore, " + std::to_string(1000 + 100 * i) + ", (S" + std::to_string(i) +
            ")\r\n";
  }
  return rows;
}

const char kAlfa[] = "stazione, 0, 8, 300, 1, 0, 0, 4,1,0, 2,1,1, 1, 7,29,0, ALFA\r\n";

struct CheckCase {
  const char* name;
  std::string route;
  std::string train;
  int status;
  // Every heading in order, the descriptions named "route.txt" and
  // "train.txt" as if given from their folder.
  std::vector<std::string> headings;
  // The slots line, last on standard output; empty when a run-time failure
  // ends the run (standard error then says so, and nothing follows).
  std::string slots;
  std::vector<std::string> notes = {};
};

const std::string kTwoStations = "slots: 2 stations + 0 route signs = 2 of 80";
const std::string kNothingRead = "slots: 0 stations + 0 route signs = 0 of 80";

const std::string kBeyondTrack =
    "error 15: position beyond the end of the track: the track runs 7000 m past the route "
    "length, and a row must lie at least 100 m before its end, a station 800 m";
const std::string kNotANumber =
    "error 25: the description could not be read here: a field is not a whole number (type "
    "mismatch: not a whole number)";
const std::string kNoGeneral =
    "error 102: no field holds \"[generale]\", or the file ends right after it: the general "
    "section is missing";
const std::string kPassedOver =
    " the field is passed over, and each field after it is taken as a keyword in turn";

const std::vector<CheckCase>& check_cases() {
  static const std::vector<CheckCase> cases = {
      {"the clean pair", kRoute, kTrain, 0, {}, kTwoStations},

      // ---- Warnings: the compile goes on, the exit status stays 0 -------------
      {"unknown row in the route body, near a keyword",
       route_with("pendenza, 0, 5\r\npendenzza, 100, 3\r\n"),
       kTrain,
       0,
       {"route.txt:5:1: warning unknown-row: \"pendenzza\" is no keyword of the route body:" +
        kPassedOver + "; did you mean \"pendenza\"?"},
       kTwoStations},
      {"unknown row in the route body, near no keyword",
       route_with("galleria, 1000, 2000\r\n"),
       kTrain,
       0,
       {"route.txt:4:1: warning unknown-row: \"galleria\" is no keyword of the route body:" +
        kPassedOver},
       kTwoStations},
      {"unknown row in the route's general section",
       "[generale]\r\nlunghezza percorso, 10000\r\nripetizone segnali 4 codici, 0, 0\r\n"
       "[fine]\r\n",
       kTrain,
       0,
       {"route.txt:3:1: warning unknown-row: \"ripetizone segnali 4 codici\" is no keyword of "
        "the general section of the route:" +
        kPassedOver + "; did you mean \"ripetizione segnali 4 codici\"?"},
       kTwoStations},
      {"unknown row in the train",
       kRoute,
       "[generale]\r\nnumero veture, 5\r\nvelocita, 0, 100\r\n[fine]\r\n",
       0,
       {"train.txt:2:1: warning unknown-row: \"numero veture\" is no keyword of the train "
        "description:" +
        kPassedOver + "; did you mean \"numero vetture\"?"},
       kNothingRead},
      // A number taken as a keyword, or a word alone on its line (or with
      // only blanks after its comma), is no misspelt row.
      {"fields that cannot start a misspelt row",
       route_with("5a, 7\r\npendenzza\r\npendenza, 100, 3\r\ngalleria,   \r\n"),
       kTrain,
       0,
       {},
       kTwoStations},
      {"gradient rows out of order",
       route_with("pendenza, 0, 5\r\npendenza, 2000, 3\r\npendenza, 1000, 2\r\n"),
       kTrain,
       0,
       {"route.txt:6:11: warning gradient-order: gradient row at 1000 m (cell 20) lies behind "
        "the previous gradient row's cell 40 (line 5): rows are taken in file order, and a row "
        "behind the last one sets one cell only"},
       kTwoStations},
      // The quoted text keeps its comma and gives nothing.
      {"sign text cut at a comma",
       route_with("cartello_indicatore, 3000, GALLERIA, LUNGA\r\n"
                  "cartello_indicatore, 4000, \"PONTE, ALTO\"\r\n"),
       kTrain,
       0,
       {"route.txt:4:28: warning sign-comma: the sign text \"GALLERIA\" ends at a comma: the "
        "rest of its line is read as further fields; put the whole text in double quotes to "
        "keep the comma"},
       "slots: 2 stations + 2 route signs = 4 of 80"},
      {"UTF-8 in a description",
       route_with("cartello_indicatore, 3000, CITT\xC3\x80 VECCHIA\r\n"
                  "cartello_indicatore, 4000, PER\xC3\x99\r\n"),
       kTrain,
       0,
       {"route.txt:4:32: warning utf8: the description holds UTF-8 sequences (C3 80 here, 2 in "
        "all), but descriptions are Windows-1252: each byte is read as a character of its own; "
        "save the file as Windows-1252"},
       "slots: 2 stations + 2 route signs = 4 of 80"},
      {"adhesion kept in its low bits",
       kRoute,
       train_with("aderenza, 0, 300\r\n"),
       0,
       {"train.txt:3:14: warning low-bits: adhesion 300 does not fit its field: only its low "
        "bits are kept, and it is stored as 44"},
       kNothingRead},
      {"gradient kept in its low bits",
       route_with("pendenza, 100, 200\r\n"),
       kTrain,
       0,
       {"route.txt:4:16: warning low-bits: gradient 200 does not fit its field: only its low "
        "bits are kept, and it is stored as -56"},
       kTwoStations},
      {"station time past midnight",
       kRoute,
       train_with("stazione, 0, 8, 300, 1, 0, 0, 4,1,0, 2,1,1, 1, 25,28,30, ALFA\r\n"),
       0,
       {"train.txt:3:48: warning station-time: station time 25:28:30 is no time of day (hours 0 "
        "to 23, minutes and seconds 0 to 59): it is stored as 91710 s after midnight"},
       "slots: 1 station + 0 route signs = 1 of 80"},
      {"station time with 60 minutes",
       kRoute,
       train_with("stazione, 0, 8, 300, 1, 0, 0, 4,1,0, 2,1,1, 1, 8,60,0, ALFA\r\n"),
       0,
       {"train.txt:3:48: warning station-time: station time 8:60:00 is no time of day (hours 0 "
        "to 23, minutes and seconds 0 to 59): it is stored as 32400 s after midnight"},
       "slots: 1 station + 0 route signs = 1 of 80"},
      {"train without its general heading",
       kRoute,
       "numero vetture, 5\r\nvelocita, 0, 100\r\n",
       0,
       {"train.txt: warning no-train: the train description has no \"[generale]\" field: none "
        "of its rows is read, and every cell's speed limit and adhesion are 0"},
       kNothingRead},
      {"train with no row after its general heading",
       kRoute,
       "[generale]\r\n[fine]\r\n",
       0,
       {"train.txt:1:1: warning no-train: the train description has no row after "
        "\"[generale]\": every cell's speed limit and adhesion are 0"},
       kNothingRead},
      // Found in another order: the UTF-8 when the route is opened, the
      // progressive's error once the train is read. Shown in file order,
      // the route's before the train's.
      {"the error and the warnings of both descriptions in file order",
       "[generale]\r\nlunghezza percorso, 10000\r\nprogressiva chilometrica uno, 125, 0, 1\r\n"
       "[tracciato]\r\npendenza, 100, 200\r\ncartello_indicatore, 3000, CITT\xC3\x80\r\n"
       "[fine]\r\n",
       train_with("aderenza, 0, 300\r\n"),
       1,
       {"route.txt:3:31: error 2: a kilometric progressive row (\"progressiva ... "
        "uno/due/tre\") has a start or value that is not a multiple of 50 m",
        "route.txt:5:16: warning low-bits: gradient 200 does not fit its field: only its low "
        "bits are kept, and it is stored as -56",
        "route.txt:6:32: warning utf8: the description holds UTF-8 sequences (C3 80 here, 1 in "
        "all), but descriptions are Windows-1252: each byte is read as a character of its own; "
        "save the file as Windows-1252",
        "train.txt:3:14: warning low-bits: adhesion 300 does not fit its field: only its low "
        "bits are kept, and it is stored as 44"},
       "slots: 0 stations + 1 route sign = 1 of 80"},

      // ---- The route's errors ----------------------------------------------------
      // A track from an earlier length row lets the compile run to its end.
      {"route length too large after a good one",
       "[generale]\r\nlunghezza percorso, 10000\r\nlunghezza percorso, 1000001\r\n[fine]\r\n",
       kTrain,
       1,
       {"route.txt:3:21: error 1: route length is above the limit of 1000000 m (1000001 m)"},
       kNothingRead},
      // Without any track the compile cannot go on: a run-time failure.
      {"route length too large alone",
       "[generale]\r\nlunghezza percorso, 1000001\r\n[fine]\r\n",
       kTrain,
       1,
       {"route.txt:2:21: error 1: route length is above the limit of 1000000 m (1000001 m)"},
       ""},
      {"two progressives off the 50 m grid: one error, for the first",
       "[generale]\r\nlunghezza percorso, 10000\r\nprogressiva chilometrica uno, 125, 0, 1\r\n"
       "progressiva chilometrica due, 3000, 75, 0\r\n[fine]\r\n",
       kTrain,
       1,
       {"route.txt:3:31: error 2: a kilometric progressive row (\"progressiva ... "
        "uno/due/tre\") has a start or value that is not a multiple of 50 m"},
       kTwoStations},
      {"progressive off the 50 m grid",
       "[generale]\r\nlunghezza percorso, 10000\r\nprogressiva chilometrica uno, 125, 0, 1\r\n"
       "[fine]\r\n",
       kTrain,
       1,
       {"route.txt:3:31: error 2: a kilometric progressive row (\"progressiva ... "
        "uno/due/tre\") has a start or value that is not a multiple of 50 m"},
       kTwoStations},
      {"first repetition value off the grid",
       "[generale]\r\nlunghezza percorso, 10000\r\nripetizione segnali 4 codici, 25, 0\r\n"
       "[fine]\r\n",
       kTrain,
       1,
       {"route.txt:3:31: error 3: the first signal repetition value (\"ripetizione segnali\" "
        "row) is not a multiple of 50"},
       kNothingRead},
      {"second repetition value off the grid",
       "[generale]\r\nlunghezza percorso, 10000\r\nripetizione segnali 4 codici, 0, 25\r\n"
       "[fine]\r\n",
       kTrain,
       1,
       {"route.txt:3:34: error 4: the second signal repetition value (\"ripetizione segnali\" "
        "row) is not a multiple of 50"},
       kNothingRead},
      {"repetition without its count",
       "[generale]\r\nlunghezza percorso, 10000\r\nripetizione segnali codici, 0, 0\r\n"
       "[fine]\r\n",
       kTrain,
       1,
       {"route.txt:3:1: error 5: the signal repetition keyword (\"ripetizione segnali\") holds "
        "neither 4 nor 9, the number of codes"},
       kNothingRead},
      {"route sign on a taken cell",
       route_with("cartello_indicatore, 3000, (A)\r\ncartello_indicatore, 3010, (B)\r\n"),
       kTrain,
       1,
       {"route.txt:5:22: error 6: route sign on a cell already taken (3010 m, km 3+010)"},
       "slots: 0 stations + 1 route sign = 1 of 80"},
      {"route row beyond the track",
       route_with("pendenza, 20000, 3\r\n"),
       kTrain,
       1,
       {"route.txt:4:11: " + kBeyondTrack + " (20000 m, km 20+000; the track ends at 17000 m)"},
       kTwoStations},
      {"speed indicator on a taken cell",
       route_with("cartello_indicatore, 3000, (A)\r\n"
                  "indicatori_vmax, 3000, 100, 100, 100, 0, 100, 100, 100, 0\r\n"),
       kTrain,
       1,
       {"route.txt:5:18: error 21: speed indicator on a cell already taken (3000 m, km 3+000)"},
       "slots: 0 stations + 1 route sign = 1 of 80"},
      {"route row not a number",
       route_with("pendenza, 0, 5\r\npendenza, 50, 5x\r\n"),
       kTrain,
       1,
       {"route.txt:5:15: " + kNotANumber},
       kNothingRead},
      {"route without its general heading",
       "lunghezza percorso, 10000\r\n",
       kTrain,
       1,
       {"route.txt: " + kNoGeneral},
       ""},
      {"route ending right after its general heading",
       "[generale]\r\n",
       kTrain,
       1,
       {"route.txt:1:1: " + kNoGeneral},
       ""},
      {"curve without its class",
       route_with("curva, 1000, 200\r\n"),
       kTrain,
       1,
       {"route.txt:4:1: error 103: a curve row without a class digit 1 to 6 in its keyword, or "
        "a track plan longer than 1000000 points"},
       kNothingRead},
      // A heading that holds a keyword starts that row: its value is the
      // next line's keyword.
      {"heading read as a row",
       "[generale]\r\nlunghezza percorso, 10000\r\n[curve]\r\n[pendenza]\r\npendenza, 0, 5\r\n"
       "[fine]\r\n",
       kTrain,
       1,
       {"route.txt:5:1: " + kNotANumber},
       kNothingRead,
       {"note: the field \"[pendenza]\" on line 4 was read as a row, not as a heading: a field "
        "that holds a row's keyword starts that row, headings included"}},

      // ---- The train's errors ----------------------------------------------------
      {"abbattimento on a taken cell",
       kRoute,
       train_with(signal_at(4750) + "abbattimento, 4800, 100\r\n"),
       1,
       {"train.txt:4:15: error 7: \"abbattimento\" mark on a cell already taken (4800 m, km "
        "4+800)"},
       kNothingRead},
      {"station off the 50 m grid",
       kRoute,
       train_with("stazione, 4525, 1, 400, 0,0,0, 1,1,0, 2,1,1, 0, 8,0,0, BETA\r\n"),
       1,
       {"train.txt:3:11: error 8: station position is not a multiple of 50 m (4525 m, km "
        "4+525)"},
       kNothingRead},
      {"station length off the 100 m grid",
       kRoute,
       train_with("stazione, 5000, 1, 350, 0,0,0, 1,1,0, 2,1,1, 0, 8,0,0, BETA\r\n"),
       1,
       {"train.txt:3:20: error 9: station length is not a multiple of 100 m (5000 m, km "
        "5+000)"},
       kNothingRead},
      // 78 signs leave slots 1 and 2: one station, and the one to spare.
      {"too many stations",
       route_with(signs(78)),
       train_with(kAlfa),
       1,
       {"train.txt:3:1: error 10: too many stations: the station slots have reached the route "
        "signs' slots (stations and route signs share 80 slots, and the last station needs "
        "one to spare)"},
       "slots: 1 station + 78 route signs = 79 of 80"},
      {"train row beyond the track",
       kRoute,
       train_with("velocita, 17000, 100\r\n"),
       1,
       {"train.txt:3:11: " + kBeyondTrack + " (17000 m, km 17+000; the track ends at 17000 m)"},
       kNothingRead},
      // The pass keeps the last error; the route's is shown beside it.
      {"beyond the track in both",
       route_with("pendenza, 20000, 3\r\n"),
       train_with("velocita, 17000, 100\r\n"),
       1,
       {"train.txt:3:11: " + kBeyondTrack + " (17000 m, km 17+000; the track ends at 17000 m)"},
       kNothingRead,
       {"note: this error replaced an earlier one: route.txt:4:11: " + kBeyondTrack +
        " (20000 m, km 20+000; the track ends at 17000 m)"}},
      {"signal on a taken cell",
       kRoute,
       train_with(signal_at(4750) + signal_at(4760)),
       1,
       {"train.txt:4:10: error 16: signal on a cell already taken (4760 m, km 4+760)"},
       kNothingRead},
      // A slowdown at 5000 m: warning cell 77, four cells 76 .. 73 before
      // it, start cell 101, end cell 103.
      {"slowdown warning on a taken cell",
       kRoute,
       train_with(signal_at(3800) + "rallentamento, 5000, 30, 100, 1, 0, 0\r\n"),
       1,
       {"train.txt:4:16: error 17: the warning cell of a slowdown (1200 m before its start) is "
        "already taken (5000 m, km 5+000)"},
       kNothingRead},
      {"slowdown start on a taken cell",
       kRoute,
       train_with(signal_at(5000) + "rallentamento, 5000, 30, 100, 1, 0, 0\r\n"),
       1,
       {"train.txt:4:16: error 18: slowdown start on a cell already taken (5000 m, km 5+000)"},
       kNothingRead},
      {"slowdown end on a taken cell",
       kRoute,
       train_with(signal_at(5100) + "rallentamento, 5000, 30, 100, 1, 0, 0\r\n"),
       1,
       {"train.txt:4:16: error 19: slowdown end on a cell already taken (5000 m, km 5+000)"},
       kNothingRead},
      {"cells before the warning taken",
       kRoute,
       train_with(signal_at(3700) + "rallentamento, 5000, 30, 100, 1, 1, 0\r\n"),
       1,
       {"train.txt:4:16: error 20: one of the four cells before a slowdown's warning is already "
        "taken (5000 m, km 5+000)"},
       kNothingRead},
      // Areas -300 .. 300 and 400 .. 800.
      {"stations too close",
       kRoute,
       train_with(std::string(kAlfa) +
                  "stazione, 600, 1, 400, 0,0,0, 1,1,0, 2,1,1, 0, 8,0,0, BETA\r\n"),
       1,
       {"train.txt:4:11: error 22: station area starts less than 350 m after the end of the "
        "previous station's area (600 m, km 0+600)"},
       "slots: 1 station + 0 route signs = 1 of 80"},
      // Area -50 .. 50: the stop cell would be cell 0.
      {"stop cell too early",
       kRoute,
       train_with("stazione, 0, 1, 100, 0,0,0, 1,1,0, 2,1,1, 0, 8,0,0, ALFA\r\n"),
       1,
       {"train.txt:3:11: error 24: a station's stop cell would not lie beyond cell 1: its area "
        "ends within the first 100 m"},
       kNothingRead},
      // The field is on the line after its keyword: that line is named.
      {"train value not a number on the next line",
       kRoute,
       "[generale]\r\nnumero vetture, 5\r\nvelocita\r\n  0x, 100\r\n[fine]\r\n",
       1,
       {"train.txt:4:3: " + kNotANumber},
       kNothingRead},
      {"train ending inside a row",
       kRoute,
       "[generale]\r\nnumero vetture, 5\r\nvelocita, 0",
       1,
       {"train.txt:3:12: error 25: the description could not be read here: the file ends "
        "inside a row (input past end of file)"},
       kNothingRead,
       {"note: the file ends inside the row: a value may be missing (a speed limit row has 2 "
        "values: position, limit)"}},
      // A text that ends with a line end: the row cut short is on the line
      // before the end, not on a line that is not there.
      {"train ending inside a row after its line end",
       kRoute,
       "[generale]\r\nnumero vetture, 5\r\nvelocita, 0\r\n",
       1,
       {"train.txt:3:12: error 25: the description could not be read here: the file ends "
        "inside a row (input past end of file)"},
       kNothingRead,
       {"note: the file ends inside the row: a value may be missing (a speed limit row has 2 "
        "values: position, limit)"}},
      // A train whose only row is refused has a row: no no-train warning.
      {"train whose only row lies beyond the track",
       kRoute,
       "[generale]\r\nvelocita, 17000, 100\r\n[fine]\r\n",
       1,
       {"train.txt:2:11: " + kBeyondTrack + " (17000 m, km 17+000; the track ends at 17000 m)"},
       kNothingRead},

      // ---- The finishing pass: cells, no file and no line -------------------------
      // Signals on cells 68, 69 and 70, within 20 cells before the warning
      // on cell 77: the one on 70 has no free cell before it.
      {"no room before a signal near a warning",
       kRoute,
       train_with(signal_at(3350) + signal_at(3400) + signal_at(3450) +
                  "rallentamento, 5000, 30, 100, 1, 0, 0\r\n"),
       1,
       {"error 11: no free cell for the mark before a signal that stands within 20 cells of a "
        "slowdown warning (cell 70, 3500 m, km 3+500)"},
       kNothingRead},
      // Signals on cells 94 .. 96, the group 250-350 m before the start.
      {"no room before a slowdown start",
       kRoute,
       train_with(signal_at(4750) + signal_at(4700) + signal_at(4650) +
                  "rallentamento, 5000, 30, 100, 1, 0, 0\r\n"),
       1,
       {"error 12: no free cell for a mark 250-350, 550-650 or 900-1000 m before a slowdown "
        "start (cell 101, 5050 m, km 5+050)"},
       kNothingRead},
      // Signals on cells 108 .. 110, where the first mark inside goes.
      {"no room inside a slow slowdown",
       kRoute,
       train_with(signal_at(5350) + signal_at(5400) + signal_at(5450) +
                  "rallentamento, 5000, 30, 1000, 1, 0, 0\r\n"),
       1,
       {"error 13: no free cell for a mark inside a slowdown slower than 110 km/h, or just "
        "before the first signal after it (cell 109, 5450 m, km 5+450)"},
       kNothingRead},

      // ---- The identity stamps ------------------------------------------------------
      {"identity cell taken",
       route_with("cartello_indicatore, 0, (ORIGINE)\r\n"),
       kTrain,
       1,
       {"error 1250: identity error: cell 1 already holds a value 1 where the identity stamp "
        "goes: something stands on the first 50 m of track (a route sign, speed indicator, "
        "signal or slowdown at about 0 m, or an \"abbattimento\" mark at about 50 m)"},
       "slots: 2 stations + 1 route sign = 3 of 80"},
  };
  return cases;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool is_heading(const std::string& line) {
  return line.rfind("error ", 0) == 0 || line.rfind("warning ", 0) == 0 ||
         line.find(": error ") != std::string::npos || line.find(": warning ") != std::string::npos;
}

// Every line without the folder the descriptions were written to.
std::string without_folder(std::string text, const fs::path& folder) {
  const std::string prefix = folder.string() + "/";
  for (size_t at = text.find(prefix); at != std::string::npos; at = text.find(prefix, at)) {
    text.erase(at, prefix.size());
  }
  return text;
}

struct Pair {
  TempFolder dir{"check"};
  fs::path route = dir.path() / "route.txt";
  fs::path train = dir.path() / "train.txt";
  Pair(const std::string& route_text, const std::string& train_text) {
    write_file(route, route_text);
    write_file(train, train_text);
  }
  ToolRun check(std::vector<std::string> extra = {}) const {
    std::vector<std::string> args{"check", "--route", route.string(), "--train", train.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    return tool(args);
  }
};

TEST(CheckTest, EveryWarningAndErrorWithItsPlace) {
  for (const CheckCase& c : check_cases()) {
    SCOPED_TRACE(c.name);
    Pair pair(c.route, c.train);
    ToolRun r = pair.check();
    EXPECT_EQ(r.status, c.status);
    std::vector<std::string> headings, notes;
    const std::vector<std::string> lines = lines_of(without_folder(r.out, pair.dir.path()));
    for (const std::string& line : lines) {
      if (line.rfind("note: ", 0) == 0) {
        notes.push_back(line);
      } else if (is_heading(line)) {
        headings.push_back(line);
      }
    }
    EXPECT_EQ(headings, c.headings) << r.out;
    EXPECT_EQ(notes, c.notes) << r.out;
    if (c.slots.empty()) {
      // The pass could not go on after the error (no track was built):
      // said on standard error, no slots line; the error is the outcome.
      EXPECT_NE(r.err, "");
      EXPECT_EQ(r.out.find("slots: "), std::string::npos) << r.out;
    } else {
      EXPECT_EQ(r.err, "");
      ASSERT_FALSE(lines.empty());
      EXPECT_EQ(lines.back(), c.slots) << r.out;
    }
    // The check reads the author's files and writes nothing, whatever the
    // compile pass does with its copies.
    EXPECT_EQ(testing::read_file(pair.route), c.route);
    EXPECT_EQ(testing::read_file(pair.train), c.train);
    EXPECT_EQ(std::distance(fs::directory_iterator(pair.dir.path()), fs::directory_iterator()), 2);
  }
}

TEST(CheckTest, TheBuiltInPairGivesNoDiagnostic) {
  TempFolder dir("check_builtin");
  ASSERT_EQ(tool({"builtin", dir.path().string()}).status, 0);
  const std::string route = (dir.path() / "BRENTALVO_linea.txt").string();
  const std::string train = (dir.path() / "BRENTALVO_TRN4417-.txt").string();
  ToolRun r = tool({"check", "--route", route, "--train", train, "--werror"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "slots: 27 stations + 51 route signs = 78 of 80\n");

  ToolRun j = tool({"check", "--route", route, "--train", train, "--json"});
  EXPECT_EQ(j.status, 0);
  nlohmann::json report = j.json();
  EXPECT_TRUE(report["error"].is_null());
  EXPECT_EQ(report["warnings"], nlohmann::json::array());
  EXPECT_EQ(report["outcome"], "ok");
  EXPECT_EQ(report["error_code"], 0);
  EXPECT_EQ(report["files"], nlohmann::json::array());
  EXPECT_EQ(report["slots"], (nlohmann::json{{"stations", 27}, {"signs", 51}, {"free", 0}}));
}

// The lines of `bytes`, each without its CR LF.
std::vector<std::string> crlf_lines(const std::string& bytes) {
  std::vector<std::string> lines;
  for (size_t from = 0; from < bytes.size();) {
    size_t end = bytes.find("\r\n", from);
    if (end == std::string::npos) end = bytes.size();
    lines.push_back(bytes.substr(from, end - from));
    from = end + 2;
  }
  return lines;
}

// What check shows of the driver's documents is what compile writes, line
// for line.
TEST(CheckTest, JsonShowsTheDocumentsThatCompileWrites) {
  TempFolder dir("check_documents");
  ASSERT_EQ(tool({"builtin", dir.path().string()}).status, 0);
  const std::string route = (dir.path() / "BRENTALVO_linea.txt").string();
  const std::string train = (dir.path() / "BRENTALVO_TRN4417-.txt").string();
  const fs::path out = dir.path() / "out";
  ASSERT_EQ(tool({"compile", "--route", route, "--train", train, "--out", out.string()}).status, 0);

  ToolRun r = tool({"check", "--route", route, "--train", train, "--json"});
  ASSERT_EQ(r.status, 0);
  const nlohmann::json docs = r.json()["documents"];
  const struct {
    const char* key;
    const char* file;
  } kinds[] = {{"timetable_card", "BRENTALVO_TRN4417_scheda_treno.txt"},
               {"slow_order_form", "BRENTALVO_TRN4417_rallentamenti.txt"}};
  for (const auto& k : kinds) {
    SCOPED_TRACE(k.key);
    ASSERT_TRUE(docs.contains(k.key)) << docs;
    EXPECT_EQ(docs[k.key]["file"], k.file);
    // The built-in documents are plain ASCII: UTF-8 leaves them as they are.
    EXPECT_EQ(docs[k.key]["lines"].get<std::vector<std::string>>(),
              crlf_lines(testing::read_file(out / k.file)));
  }
}

// No documents after a compile error; a station name in
// Windows-1252 comes out as UTF-8.
TEST(CheckTest, JsonDocumentsOnlyFromACleanTrain) {
  const std::string accented =
      "[generale]\r\nnumero vetture, 5\r\n[vel_limite]\r\nvelocita, 0, 100\r\n[stazioni]\r\n"
      "stazione, 0, 8, 300, 1, 0, 0, 4,1,0, 2,1,1, 1, 7,29,0, ALFA\r\n"
      "stazione, 5000, 1, 400, 0,0,0, 1,1,0, 2,1,1, 0, 8,0,0, CITT\xC0\r\n[fine]\r\n";
  struct Case {
    const char* name;
    std::string route, train;
    bool documents;
  } cases[] = {
      {"clean", kRoute, accented, true},
      {"compile error",
       route_with("cartello_indicatore, 3000, (A)\r\n"
                  "cartello_indicatore, 3010, (B)\r\n"),
       accented, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Pair pair(c.route, c.train);
    ToolRun r = pair.check({"--json"});
    const nlohmann::json j = r.json();
    ASSERT_TRUE(j.contains("documents")) << r.out;
    EXPECT_FALSE(j.contains("document_notes"));
    if (!c.documents) {
      EXPECT_TRUE(j["documents"].is_null());
      continue;
    }
    const std::vector<std::string> card = j["documents"]["timetable_card"]["lines"];
    std::string all;
    for (const std::string& line : card) all += line + "\n";
    EXPECT_NE(all.find("CITT\xC3\x80"), std::string::npos) << all;
    EXPECT_EQ(all.find('\r'), std::string::npos);
    EXPECT_FALSE(j["documents"]["slow_order_form"]["lines"].empty());
  }
  // The plain report is as before: no document text on it.
  Pair pair(kRoute, accented);
  EXPECT_EQ(pair.check().out.find("CITT"), std::string::npos);
}

// Warnings alone fail the check only under --werror; an error always does.
TEST(CheckTest, WerrorTurnsWarningsIntoFailure) {
  struct Case {
    const char* name;
    std::string route;
    int status, werror_status;
  } cases[] = {
      {"clean", kRoute, 0, 0},
      {"a warning", route_with("pendenza, 0, 5\r\npendenzza, 100, 3\r\n"), 0, 1},
      {"an error", route_with("pendenza, 20000, 3\r\n"), 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Pair pair(c.route, kTrain);
    ToolRun plain = pair.check();
    ToolRun strict = pair.check({"--werror"});
    EXPECT_EQ(plain.status, c.status);
    EXPECT_EQ(strict.status, c.werror_status);
    // The same report either way: only the status differs.
    EXPECT_EQ(strict.out, plain.out);
    EXPECT_EQ(pair.check({"--json", "--werror"}).status, c.werror_status);
  }
}

TEST(CheckTest, JsonHoldsTheErrorAndTheWarningsWithTheirPlaces) {
  Pair pair(route_with("cartello_indicatore, 3000, (A)\r\npendenza, 100, 200\r\n"
                       "cartello_indicatore, 3010, (B)\r\n"),
            kTrain);
  ToolRun r = pair.check({"--json"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "");
  nlohmann::json j = r.json();
  EXPECT_EQ(j["outcome"], "compile_error");
  EXPECT_EQ(j["error_code"], 6);
  EXPECT_EQ(j["error_position"], 3010);
  EXPECT_TRUE(j["identity_error"].is_null());
  EXPECT_EQ(j["file"], pair.route.string());
  EXPECT_EQ(j["line"], 6);
  EXPECT_EQ(j["message"], "error 6: route sign on a cell already taken (3010 m, km 3+010)");
  EXPECT_EQ(j["files"], nlohmann::json::array());
  EXPECT_EQ(
      j["error"],
      (nlohmann::json{
          {"code", 6},
          {"file", pair.route.string()},
          {"line", 6},
          {"column", 22},
          {"position", 3010},
          {"message",
           "route sign on a cell already taken (3010 m, "
           "km 3+010)"},
          {"row",
           {{"file", pair.route.string()},
            {"line", 6},
            {"column", 1},
            {"kind", "route sign"},
            {"value", "position"}}},
          {"occupant", {{"kind", "route sign"}, {"file", pair.route.string()}, {"line", 4}}}}));
  EXPECT_EQ(j["warnings"],
            nlohmann::json::array({{{"id", "low-bits"},
                                    {"file", pair.route.string()},
                                    {"line", 5},
                                    {"column", 16},
                                    {"message",
                                     "gradient 200 does not fit its field: only its low bits are "
                                     "kept, and it is stored as -56"}}}));
  // The train was never read: no station, one sign.
  EXPECT_EQ(j["slots"], (nlohmann::json{{"stations", 0}, {"signs", 1}, {"free", 77}}));
}

// Errors without a place keep null there, and an identity error is one too.
TEST(CheckTest, JsonOfErrorsWithoutAPlace) {
  struct Case {
    const char* name;
    std::string route, train;
    const char* outcome;
    int error_code;
    nlohmann::json identity_error;
    nlohmann::json error;  // with "file" left out
    bool has_file;
  } cases[] = {
      {"finishing pass", kRoute,
       train_with(signal_at(4750) + signal_at(4700) + signal_at(4650) +
                  "rallentamento, 5000, 30, 100, 1, 0, 0\r\n"),
       "compile_error", 12, nullptr,
       nlohmann::json{{"code", 12},
                      {"line", nullptr},
                      {"column", nullptr},
                      {"position", 5050},
                      {"message",
                       "no free cell for a mark 250-350, 550-650 or 900-1000 m before a slowdown "
                       "start (cell 101, 5050 m, km 5+050)"},
                      {"row", nullptr},
                      {"occupant", nlohmann::json{{"kind", "signal"}, {"line", 3}}}},
       false},
      {"identity", route_with("cartello_indicatore, 0, (ORIGINE)\r\n"), kTrain, "identity_error", 0,
       1250, nullptr, false},
      {"no general heading", "lunghezza percorso, 10000\r\n", kTrain, "runtime_failure", 102,
       nullptr,
       nlohmann::json{{"code", 102},
                      {"line", nullptr},
                      {"column", nullptr},
                      {"position", nullptr},
                      {"message",
                       "no field holds \"[generale]\", or the file ends right after it: the "
                       "general section is missing"},
                      {"row", nullptr},
                      {"occupant", nullptr}},
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Pair pair(c.route, c.train);
    ToolRun r = pair.check({"--json"});
    nlohmann::json j = r.json();
    // The error in the description is the outcome, also when the pass could
    // not go on after it.
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(j["outcome"], c.outcome);
    EXPECT_EQ(j["error_code"], c.error_code);
    EXPECT_EQ(j["identity_error"], c.identity_error);
    nlohmann::json error = j["error"];
    if (error.is_object()) {
      EXPECT_EQ(error["file"], c.has_file ? nlohmann::json(pair.route.string()) : nullptr);
      error.erase("file");
      // What took the cell is in the train description.
      if (error["occupant"].is_object()) {
        EXPECT_EQ(error["occupant"]["file"], pair.train.string());
        error["occupant"].erase("file");
      }
    }
    EXPECT_EQ(error, c.error);
  }
}

}  // namespace
}  // namespace tools
