// The check command end to end, in-process: one small description pair for
// each warning and for each way the compile can fail, with the whole
// headings the author reads, in file order, and the exit status.
#include <gtest/gtest.h>

#include <cstring>
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

const std::string kNoStationSlot =
    "error 10: too many stations: the station slots have reached the route signs' slots "
    "(stations and route signs share 80 slots, and the last station needs one to spare)";
const std::string kReadOn =
    "note: found by reading on past the other errors, their rows passed over as notes: it may "
    "go when they are fixed";

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
    "error 25: the description could not be read here: a field is not a whole number";
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
      // A train that reads as nothing is an error of the tool's own.
      {"train without its general heading",
       kRoute,
       "numero vetture, 5\r\nvelocita, 0, 100\r\n",
       1,
       {"train.txt: error no-train: the train description has no \"[generale]\" field: none "
        "of its rows is read, and every cell's speed limit and adhesion are 0"},
       kNothingRead},
      {"train with no row after its general heading",
       kRoute,
       "[generale]\r\n[fine]\r\n",
       1,
       {"train.txt:1:1: error no-train: the train description has no row after "
        "\"[generale]\": every cell's speed limit and adhesion are 0"},
       kNothingRead},
      // Stored as the nearest step of 5 km/h; a limit that fits no step is
      // error 25 where a cell receives it, not a warning.
      {"speed limits between two steps",
       kRoute,
       train_with("velocita, 0, 123\r\nvelocita, 1000, 12\r\nvelocita, 2000, 100\r\n"),
       0,
       {"train.txt:3:14: warning speed-rounded: speed limit 123 km/h is not a multiple of 5: the "
        "cells keep limits in steps of 5 km/h, and it is stored as 125 km/h",
        "train.txt:4:17: warning speed-rounded: speed limit 12 km/h is not a multiple of 5: the "
        "cells keep limits in steps of 5 km/h, and it is stored as 10 km/h"},
       kNothingRead},
      // The first arc draws to 2600 m; the second starts at 2401 m, the
      // third at 2501 m, behind the second's end at 2700 m; the fourth is
      // clear of them. A curve at 0 m overlaps no row.
      {"curve rows over the arc before them",
       route_with("curvad4, 0, 100\r\ncurvad4, 2000, 600\r\ncurvas4, 2400, 300\r\n"
                  "curvad2, 2500, 50\r\ncurvad2, 3000, 50\r\n"),
       kTrain,
       0,
       {"route.txt:6:10: warning curve-overlap: curve row at 2400 m overlaps the curve row on "
        "line 5, which drew the plan up to 2600 m: 200 of its 300 m of arc are not drawn, as "
        "each metre of the plan is drawn once, by the first row that reaches it",
        "route.txt:7:10: warning curve-overlap: curve row at 2500 m overlaps the curve row on "
        "line 6, which drew the plan up to 2700 m: none of its 50 m of arc is drawn, as each "
        "metre of the plan is drawn once, by the first row that reaches it"},
       kTwoStations},
      // The station's stop cell lands on the sign's cell (5, 200 m) and takes it.
      {"a stop cell on a route sign",
       route_with("cartello_indicatore, 200, BIVIO\r\n"),
       train_with(kAlfa),
       0,
       {"train.txt:3:11: warning stop-over-route-item: the stop cell of this station, cell 5 "
        "(200 m), is where the route sign of route line 4 stands: the station takes the cell "
        "and the route sign is not shown (its text still takes a slot)"},
       "slots: 1 station + 1 route sign = 2 of 80"},
      // A signal read before the station on its stop cell is overwritten.
      {"a stop cell on a signal read before the station",
       kRoute,
       train_with("segnale, 200, 1, 3, 4, 0, 0, 0, 0, 0, 0, 0\r\n" + std::string(kAlfa)),
       0,
       {"train.txt:4:11: warning stop-over-train-item: the stop cell of this station, cell 5 "
        "(200 m), is where the signal of train line 3 stands: the station takes the cell and "
        "the signal is not shown"},
       "slots: 1 station + 0 route signs = 1 of 80"},
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
      // Without a track the compile cannot go on: no slots line.
      {"route without its route length",
       "[generale]\r\nsfondo uno, 1\r\n[curve]\r\npendenza, 0, 5\r\n[fine]\r\n",
       kTrain,
       1,
       {"route.txt:3:1: error 25: the route description has no route length row (\"lunghezza "
        "percorso, METRES\") in its general section, which ends at the heading \"[curve]\" on "
        "line 3: without it there is no track"},
       ""},
      // The train description read as the route: its general section ends
      // at its first heading, without a route length.
      {"route and train given the wrong way round",
       kTrain,
       kRoute,
       1,
       {"route.txt:2:1: warning unknown-row: \"numero vetture\" is no keyword of the general "
        "section of the route:" +
            kPassedOver,
        "route.txt:3:1: error 25: the route description has no route length row (\"lunghezza "
        "percorso, METRES\") in its general section, which ends at the heading "
        "\"[vel_limite]\" on line 3: without it there is no track"},
       "",
       {"note: the two descriptions look swapped: the one given as the train description holds "
        "the route length row; give the route description (LINE_linea.txt) as the route and "
        "the train description (LINE_TRAIN-.txt) as the train"}},
      // Run-time failures in the author's words, without the run-time's own.
      {"number too large for 32 bits",
       route_with("pendenza, 0, 99999999999\r\n"),
       kTrain,
       1,
       {"route.txt:4:14: error 25: the description could not be read here: a number does not "
        "fit 32 bits (-2147483648 to 2147483647)"},
       kNothingRead},
      {"route sign before the start of the track",
       route_with("cartello_indicatore, -200, (A)\r\n"),
       kTrain,
       1,
       {"route.txt:4:28: error 25: the description could not be read here: the row reaches cell "
        "-3, before the start of the track (a negative position?)"},
       kNothingRead},
      {"too many mountain stretches",
       route_with([] {
         std::string rows;
         for (int i = 0; i <= 80; ++i) {
           const int start = 1000 + 150 * i;
           rows += "montagna, " + std::to_string(start) + ", " + std::to_string(start + 100) +
                   ", 1\r\n";
         }
         return rows;
       }()),
       kTrain,
       1,
       {"route.txt:84:25: error 25: too many mountain stretches: this is the 81st, and a route "
        "holds at most 80"},
       kNothingRead},
      // Eighty signs take slots 80 .. 1; the 81st has none.
      {"too many route signs",
       route_with(signs(81)),
       kTrain,
       1,
       // Read on past it, 80 signs leave no slot for a station.
       {"route.txt:84:28: error 25: too many route signs: this is the 81st, and route signs and "
        "stations share 80 slots",
        "train.txt:6:1: " + kNoStationSlot, "train.txt:7:1: " + kNoStationSlot},
       "slots: 0 stations + 80 route signs = 80 of 80",
       {kReadOn, kReadOn}},
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
      // The pass keeps the last error; the route's, which it replaced, is
      // listed too, in its place.
      {"beyond the track in both",
       route_with("pendenza, 20000, 3\r\n"),
       train_with("velocita, 17000, 100\r\n"),
       1,
       {"route.txt:4:11: " + kBeyondTrack + " (20000 m, km 20+000; the track ends at 17000 m)",
        "train.txt:3:11: " + kBeyondTrack + " (17000 m, km 17+000; the track ends at 17000 m)"},
       kNothingRead},
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
        "previous station's area (600 m, km 0+600): its area starts at 400 m, only 100 m after "
        "the previous station's area ends at 300 m"},
       "slots: 1 station + 0 route signs = 1 of 80"},
      // Areas 9300 .. 9700 and 1800 .. 2200: written out of order.
      {"station behind the previous one",
       kRoute,
       train_with(std::string(kAlfa) +
                  "stazione, 9500, 1, 400, 0,0,0, 1,1,0, 2,1,1, 0, 8,0,0, BETA\r\n"
                  "stazione, 2000, 1, 400, 0,0,0, 1,1,0, 2,1,1, 0, 8,0,0, GAMMA\r\n"),
       1,
       {"train.txt:5:11: error 22: station area starts less than 350 m after the end of the "
        "previous station's area (2000 m, km 2+000): its area starts at 1800 m, 7900 m before "
        "the previous station's area ends at 9700 m; stations go in order of position"},
       "slots: 2 stations + 0 route signs = 2 of 80"},
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
        "inside a row"},
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
        "inside a row"},
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
  EXPECT_EQ(report["errors"], nlohmann::json::array());
  EXPECT_EQ(report["warnings"], nlohmann::json::array());
  EXPECT_EQ(report["further_readings"], 0);
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
    const char* origin_post = "0+000";
  } cases[] = {
      {"clean", kRoute, accented, true},
      {"posts from 37+500 at the origin",
       "[generale]\r\nlunghezza percorso, 10000\r\n"
       "progressiva chilometrica uno, 0, 37500, 0\r\n[tracciato]\r\n[fine]\r\n",
       accented, true, "37+500"},
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
    EXPECT_NE(all.find(std::string("|") + std::string(8 - std::strlen(c.origin_post), ' ') +
                       c.origin_post + "  |     |ALFA"),
              std::string::npos)
        << all;
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
                                     "kept, and it is stored as -56"},
                                    {"after_passing_over", false}}}));
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

// Five faults: three in the route, each ending its reading, and two in the
// train, read only once the route's are passed over; a warning below them.
// The compile's own error is the first; the others are found by reading on.
std::string faulty_route() {
  return route_with(
      "cartello_indicatore, 3000, (A)\r\ncartello_indicatore, 3010, (B)\r\n"
      "pendenza, 50, 5x\r\nindicatori_vmax, 3000, 100, 100, 100, 0, 100, 100, 100, 0\r\n"
      "pendenza, 100, 200\r\n");
}
std::string faulty_train() {
  return train_with(signal_at(4750) + signal_at(4760) +
                    "stazione, 4525, 1, 400, 0,0,0, 1,1,0, 2,1,1, 0, 8,0,0, BETA\r\n");
}

// The headings and the notes, in order, without the folder.
std::vector<std::string> headings_and_notes(const std::string& text, const fs::path& folder) {
  std::vector<std::string> out;
  for (const std::string& line : lines_of(without_folder(text, folder))) {
    if (is_heading(line) || line.rfind("note: ", 0) == 0) out.push_back(line);
  }
  return out;
}

TEST(CheckTest, EveryErrorInOneRunInFileOrder) {
  Pair pair(faulty_route(), faulty_train());
  const std::vector<std::string> expected = {
      "route.txt:5:22: error 6: route sign on a cell already taken (3010 m, km 3+010)",
      "route.txt:6:15: " + kNotANumber,
      kReadOn,
      "route.txt:7:18: error 21: speed indicator on a cell already taken (3000 m, km 3+000)",
      kReadOn,
      "route.txt:8:16: warning low-bits: gradient 200 does not fit its field: only its low bits "
      "are kept, and it is stored as -56",
      kReadOn,
      "train.txt:4:10: error 16: signal on a cell already taken (4760 m, km 4+760)",
      kReadOn,
      "train.txt:5:11: error 8: station position is not a multiple of 50 m (4525 m, km 4+525)",
      kReadOn,
  };
  ToolRun r = pair.check();
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(headings_and_notes(r.out, pair.dir.path()), expected) << r.out;
  // What the compile itself read: the route up to its error, no train.
  EXPECT_EQ(lines_of(r.out).back(), "slots: 0 stations + 1 route sign = 1 of 80");

  ToolRun j = pair.check({"--json"});
  EXPECT_EQ(j.status, 1);
  const nlohmann::json report = j.json();
  // The compile's own error stays "error".
  EXPECT_EQ(report["error_code"], 6);
  EXPECT_EQ(report["error"]["line"], 5);
  const struct {
    int code;
    const fs::path& file;
    int line, column;
    bool after_passing_over;
  } errors[] = {{6, pair.route, 5, 22, false},
                {25, pair.route, 6, 15, true},
                {21, pair.route, 7, 18, true},
                {16, pair.train, 4, 10, true},
                {8, pair.train, 5, 11, true}};
  ASSERT_EQ(report["errors"].size(), std::size(errors)) << report["errors"];
  for (size_t i = 0; i < std::size(errors); ++i) {
    SCOPED_TRACE(i);
    const nlohmann::json& e = report["errors"][i];
    EXPECT_EQ(e["code"], errors[i].code);
    EXPECT_TRUE(e["id"].is_null());
    EXPECT_EQ(e["file"], errors[i].file.string());
    EXPECT_EQ(e["line"], errors[i].line);
    EXPECT_EQ(e["column"], errors[i].column);
    EXPECT_EQ(e["after_passing_over"], errors[i].after_passing_over);
  }
  EXPECT_EQ(report["errors"][0]["message"], report["error"]["message"]);
  ASSERT_EQ(report["warnings"].size(), 1u);
  EXPECT_EQ(report["warnings"][0]["line"], 8);
  EXPECT_EQ(report["warnings"][0]["after_passing_over"], true);
  EXPECT_EQ(report["warning_count"], 1);
  // One reading past each error's row; the last one finds nothing.
  EXPECT_EQ(report["further_readings"], 5);
}

// compile lists the same errors, and writes the files of its own compile:
// the route up to the first error, the train never read.
TEST(CheckTest, CompileListsEveryErrorAndWritesItsOwnFiles) {
  Pair pair(faulty_route(), faulty_train());
  const fs::path out = pair.dir.path() / "out";
  ToolRun r = tool({"compile", "--route", pair.route.string(), "--train", pair.train.string(),
                    "--out", out.string()});
  EXPECT_EQ(r.status, 1);
  // compile adds a note on the names it chose: check writes nothing.
  std::vector<std::string> compiled = headings_and_notes(r.err, pair.dir.path());
  ASSERT_FALSE(compiled.empty());
  EXPECT_EQ(compiled.back().rfind("note: the file names are not", 0), 0u) << compiled.back();
  compiled.pop_back();
  EXPECT_EQ(compiled, headings_and_notes(pair.check().out, pair.dir.path()));
  EXPECT_EQ(r.out.find("compiled with no error"), std::string::npos);

  ToolRun shown = tool({"inspect", out.string(), "--json"});
  ASSERT_EQ(shown.status, 0) << shown.err;
  const std::string inspected = shown.out;
  // The first compile placed sign A and nothing of the train; the readings
  // after it would have placed both signals and a station.
  EXPECT_NE(inspected.find("(A)"), std::string::npos);
  EXPECT_EQ(inspected.find("BETA"), std::string::npos);
  EXPECT_EQ(inspected.find("(B)"), std::string::npos);
}

// Reading on stops at kMaxListedErrors errors; each row here is refused
// alone, so every reading finds one more.
TEST(CheckTest, AtMostTwentyErrorsAreListed) {
  std::string rows;
  for (int i = 0; i < 30; ++i) rows += "velocita, " + std::to_string(17000 + 50 * i) + ", 100\r\n";
  Pair pair(kRoute, train_with(rows));
  ToolRun j = pair.check({"--json"});
  EXPECT_EQ(j.status, 1);
  const nlohmann::json report = j.json();
  ASSERT_EQ(report["errors"].size(), 20u);
  for (size_t i = 0; i < 20; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(report["errors"][i]["code"], 15);
    EXPECT_EQ(report["errors"][i]["line"], 3 + static_cast<int>(i));
    EXPECT_EQ(report["errors"][i]["after_passing_over"], i > 0);
  }
  EXPECT_EQ(report["further_readings"], 19);
}

// Reading on ends where passing over tells nothing more: an error with no
// row (a missing heading, the finishing pass) and a reading that cannot go
// on without the route length that was passed over.
TEST(CheckTest, ReadingOnEndsWhereNoRowCanBePassedOver) {
  struct Case {
    const char* name;
    std::string route, train;
    std::vector<int> codes;
    int further_readings;
  } cases[] = {
      {"no general heading", "lunghezza percorso, 10000\r\n", kTrain, {102}, 0},
      {"the finishing pass",
       kRoute,
       train_with(signal_at(4750) + signal_at(4700) + signal_at(4650) +
                  "rallentamento, 5000, 30, 100, 1, 0, 0\r\n"),
       {12},
       0},
      {"the only route length refused",
       "[generale]\r\nlunghezza percorso, 1000001\r\n[fine]\r\n",
       kTrain,
       {1},
       1},
      // Passing over the second length row leaves the first.
      {"a route length refused after a good one",
       "[generale]\r\nlunghezza percorso, 10000\r\nlunghezza percorso, 1000001\r\n"
       "[tracciato]\r\npendenza, 20000, 3\r\n[fine]\r\n",
       kTrain,
       {1, 15},
       2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Pair pair(c.route, c.train);
    const nlohmann::json report = pair.check({"--json"}).json();
    std::vector<int> codes;
    for (const nlohmann::json& e : report["errors"]) codes.push_back(e["code"]);
    EXPECT_EQ(codes, c.codes) << report["errors"];
    EXPECT_EQ(report["further_readings"], c.further_readings);
  }
}

// A train that reads as nothing would run with every speed limit 0: an
// error, with no number of the compiler's; compile still writes its files.
TEST(CheckTest, ATrainThatReadsAsNothingIsAnError) {
  const std::string heading = "[generalle]\r\nnumero vetture, 5\r\nvelocita, 0, 100\r\n";
  const std::string no_row = "[generale]\r\n[fine]\r\n";
  struct Case {
    const char* name;
    std::string route, train;
    std::string heading;
    bool after_passing_over;
  } cases[] = {
      {"a misspelt general heading", kRoute, heading,
       "train.txt: error no-train: the train description has no \"[generale]\" field: none of "
       "its rows is read, and every cell's speed limit and adhesion are 0",
       false},
      {"no row after the heading", kRoute, no_row,
       "train.txt:1:1: error no-train: the train description has no row after \"[generale]\": "
       "every cell's speed limit and adhesion are 0",
       false},
      // Read only once the route's error, which ends the reading, is passed
      // over.
      {"behind a route error",
       route_with("cartello_indicatore, 3000, (A)\r\ncartello_indicatore, 3010, (B)\r\n"), heading,
       "train.txt: error no-train: the train description has no \"[generale]\" field: none of "
       "its rows is read, and every cell's speed limit and adhesion are 0",
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Pair pair(c.route, c.train);
    ToolRun r = pair.check();
    EXPECT_EQ(r.status, 1);
    std::vector<std::string> headings;
    for (const std::string& line : lines_of(without_folder(r.out, pair.dir.path()))) {
      if (is_heading(line) && line.find("no-train") != std::string::npos) headings.push_back(line);
    }
    EXPECT_EQ(headings, std::vector<std::string>{c.heading}) << r.out;

    const nlohmann::json report = pair.check({"--json"}).json();
    const nlohmann::json& last = report["errors"].back();
    EXPECT_TRUE(last["code"].is_null());
    EXPECT_EQ(last["id"], "no-train");
    EXPECT_EQ(last["after_passing_over"], c.after_passing_over);
    EXPECT_EQ(report["warnings"], nlohmann::json::array());
    EXPECT_EQ(report["warning_count"], 0);

    const fs::path out = pair.dir.path() / "out";
    ToolRun compiled = tool({"compile", "--route", pair.route.string(), "--train",
                             pair.train.string(), "--out", out.string()});
    EXPECT_EQ(compiled.status, 1);
    EXPECT_NE(compiled.err.find("error no-train"), std::string::npos) << compiled.err;
    // The compiled files are written all the same.
    EXPECT_TRUE(fs::exists(out / "BRENTALVO_TRN4417.dat")) << compiled.out;
  }
}

}  // namespace
}  // namespace tools
