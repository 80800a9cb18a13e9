#include "train/train_reader.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "model/compile_errors.h"
#include "platform/files.h"
#include "platform/runtime_failure.h"
#include "platform/scoped_temp_dir.h"
#include "sources/builtin_texts.h"

namespace train {
namespace {

// "[generale]", the given lines, then the two inert closing headings; every
// line ends with CR LF as the writer puts it.
std::string rows(std::initializer_list<std::string_view> lines) {
  std::string text = "[generale]\r\n";
  for (std::string_view line : lines) {
    text += line;
    text += "\r\n";
  }
  return text + "[codici]\r\n[fine]\r\n";
}

// A "stazione" row with the given position, kind and length, row fields 5 and
// 6, and zero everywhere else.
std::string stazione(int pos, int kind, int length, int field5 = 0, int field6 = 0,
                     std::string_view name = "STAZIONE") {
  return "stazione, " + std::to_string(pos) + ", " + std::to_string(kind) + ", " +
         std::to_string(length) + ", 0, " + std::to_string(field5) + ", " + std::to_string(field6) +
         ", 0,0,0, 0,0,0, 0, 0,0,0, " + std::string(name);
}

class TrainReaderTest : public ::testing::Test {
 protected:
  // The model as the route half leaves it: a plain track of cells 0 .. n and
  // an item table without signs.
  model::Scenario scenario(int32_t n = 200) const {
    model::Scenario s;
    s.app_path = folder_.path().string();
    s.line_name = "LINEA";
    s.train_code = "T1";
    s.start_track(n);
    s.total_length = 50 * n;
    model::clear_item_table(s);
    return s;
  }

  std::string description(const model::Scenario& s) const {
    return platform::join_path(s.app_path, model::train_description_name(s));
  }
  bool description_left(const model::Scenario& s) const {
    return platform::file_exists(platform::real_file_system(), description(s));
  }

  // Writes `text` as the train description and reads it.
  void read(model::Scenario& s, std::string_view text, int32_t sign_slot = 80) const {
    platform::replace_file(platform::real_file_system(), description(s), text);
    read_train_description(s, sign_slot);
  }

  platform::ScopedTempDir folder_{"train_reader_test"};
};

// ---- Fields and keywords -------------------------------------------------------

TEST_F(TrainReaderTest, ActsOnKeywordsByContainmentInAnyCase) {
  struct Case {
    const char* name;
    std::string text;
    int32_t cars, braked_mass;
    int16_t sand, hours, minutes, seconds;
  };
  const std::vector<Case> cases = {
      {"the built-in general rows",
       rows({"numero vetture,    5", "percentuale massa frenata,    115", "sabbia,    300",
             "orologio,    7               28            30 "}),
       5, 115, 300, 7, 28, 30},
      {"case and containment", rows({"Numero Vetture,5", "xxSABBIAxx,300", "Massa FRENATA%,115"}),
       5, 115, 300, 0, 0, 0},
      {"a row over several lines", rows({"orologio", "7", "28", "30"}), 0, 0, 0, 7, 28, 30},
      {"fields before [generale] are skipped, any case",
       "sabbia,1\r\nvetture,2\r\n[GENERALE]\r\nsabbia,3\r\n", 0, 0, 3, 0, 0, 0},
      {"no [generale]: nothing is read", "sabbia,300\r\nvetture,5\r\n", 0, 0, 0, 0, 0, 0},
      {"inert headings",
       rows({"[stazioni]", "[segnali]", "[aderenze]", "[rallentamenti]", "sabbia,7"}), 0, 0, 7, 0,
       0, 0},
      {"a field of two minus signs before a row", rows({"--", "sabbia,300"}), 0, 0, 300, 0, 0, 0},
      {"the third field is taken, minus sign or not", rows({"-a,-b,sabbia-c,300"}), 0, 0, 300, 0, 0,
       0},
      {"two minus fields turn the values into keyword fields",
       rows({"x-,sabbia-,300", "vetture,4"}), 4, 0, 0, 0, 0, 0},
      {"a keyword that is the last field is not acted on", "[generale]\r\nsabbia,3\r\nvetture", 0,
       0, 3, 0, 0, 0},
      {"a keyword after minus fields at the end", "[generale]\r\nsabbia,3\r\n-a,vetture\r\n", 0, 0,
       3, 0, 0, 0},
      {"a later row wins", rows({"sabbia,3", "sabbia,4"}), 0, 0, 4, 0, 0, 0},
  };
  for (const Case& c : cases) {
    model::Scenario s = scenario();
    read(s, c.text);
    const model::ItemRecord& general = s.item_table[model::kSlotTrainGeneral];
    const model::ItemRecord& train = s.item_table[model::kSlotTrain];
    EXPECT_EQ(general.item_position, c.cars) << c.name;
    EXPECT_EQ(general.area_start, c.braked_mass) << c.name;
    EXPECT_EQ(train.item_word1, c.sand) << c.name;
    EXPECT_EQ(train.item_word3, c.hours) << c.name;
    EXPECT_EQ(train.item_word4, c.minutes) << c.name;
    EXPECT_EQ(train.item_word5, c.seconds) << c.name;
    EXPECT_EQ(s.error_code, 0) << c.name;
    EXPECT_FALSE(description_left(s)) << c.name;
  }
}

TEST_F(TrainReaderTest, ReadingFailuresAreThrownForTheTrap) {
  struct Case {
    const char* name;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"the text ends inside a row", "[generale]\r\nvelocita,100"},
      {"a number with a letter", rows({"sabbia,3x"})},
      {"sand beyond 16 bits", rows({"sabbia,32768"})},
      {"clock beyond 16 bits", rows({"orologio,7,70000,0"})},
      {"station kind beyond a byte", rows({stazione(1000, 256, 200)})},
      {"station row field 5 beyond a byte", rows({stazione(1000, 12, 600, 300)})},
      {"station time beyond 32 bits", rows({"stazione,1000,28,200,0,0,0,0,0,0,0,0,0,0,"
                                            "1000000,0,0,X"})},
      {"station area beyond 32 bits", rows({"stazione,1000,8,2147483600,0,0,0,0,0,0,0,0,0,0,"
                                            "0,0,0,X"})},
      {"speed limit beyond a byte, when a cell receives it",
       rows({"velocita,0,1280", "velocita,100,50"})},
      {"speed limit beyond a byte, in the tail", rows({"velocita,0,1280"})},
      {"negative speed limit", rows({"velocita,0,-5"})},
      {"abbattimento before cell 0", rows({"abbattimento,-100,0"})},
      {"signal before cell 0", rows({"segnale,-100,1,3,0,0,0,0,0,0,0,0"})},
      {"slowdown start before cell 0", rows({"rallentamento,-200,60,100,1,0,0"})},
  };
  for (const Case& c : cases) {
    model::Scenario s = scenario();
    EXPECT_THROW(read(s, c.text), platform::RuntimeFailure) << c.name;
  }

  model::Scenario missing = scenario();
  EXPECT_THROW(read_train_description(missing, 80), platform::RuntimeFailure);
}

TEST_F(TrainReaderTest, TellsTheModelWhereReadingStopped) {
  model::Scenario s = scenario();
  EXPECT_THROW(read(s, rows({"sabbia,3", "orologio,7,28,30", "sabbia,99999"})),
               platform::RuntimeFailure);
  EXPECT_EQ(s.reading, (model::FieldPlace{model::Description::kTrain, 4, 8}));
  // What was stored before the failure stays.
  EXPECT_EQ(s.item_table[model::kSlotTrain].item_word3, 7);

  // Also within a row: a station row cut short keeps in its record the
  // fields it gave, which the station file then holds.
  model::Scenario cut = scenario();
  EXPECT_THROW(read(cut, rows({"stazione,5000,1,400,7,3,1,12,13,9,70000"})),
               platform::RuntimeFailure);
  const model::ItemRecord& station = cut.item_table[1];
  EXPECT_EQ(station.item_position, 5000);
  EXPECT_EQ(station.item_kind, 1);
  EXPECT_EQ(station.item_flag, 7);
  EXPECT_EQ(station.item_byte4, 3);
  EXPECT_EQ(station.item_byte3, 1);
  EXPECT_EQ(station.item_word1, 12);
  EXPECT_EQ(station.item_word2, 13);
  EXPECT_EQ(station.item_byte1, 9);
  EXPECT_EQ(station.item_word3, 0);  // 70000 does not fit: the read failed
}

TEST_F(TrainReaderTest, StoresTheLow16BitsOfAbbattimentoAndThe8BitsOfAdhesion) {
  model::Scenario s = scenario();
  read(s, rows({"aderenza,0,300", "abbattimento,1000,70000"}));
  EXPECT_EQ(s.track[0].adhesion_code, 44);
  EXPECT_EQ(s.track[20].value1, 70000 - 65536);
}

// ---- Speed and adhesion --------------------------------------------------------

TEST_F(TrainReaderTest, FillsSpeedCodesFromRowToRow) {
  struct Case {
    const char* name;
    std::string text;
  };
  // 95 km/h from 0 m, 140 km/h from 1200 m: cells 0 .. 23 get 19, then 28.
  const std::vector<Case> cases = {
      {"as written", rows({"velocita,       0,    95", "velocita,    1200,   140"})},
      {"after a field of two minus signs",
       rows({"--", "velocita,       0,    95", "--,velocita,    1200,   140"})},
      {"in capitals", rows({"VELOCITA,0,95", "Limite VELOCIT\xC0,1200,140"})},
      // A limit too large for a cell's byte is harmless while no cell gets it.
      {"a limit replaced before any cell",
       rows({"velocita,0,5000", "velocita,0,95", "velocita,1200,140"})},
  };
  for (const Case& c : cases) {
    model::Scenario s = scenario(200);
    read(s, c.text);
    EXPECT_EQ(s.error_code, 0) << c.name;
    for (int i = 0; i <= 23; ++i) ASSERT_EQ(s.track[i].speed_code, 19) << c.name << " cell " << i;
    for (int i = 24; i <= 197; ++i) {
      ASSERT_EQ(s.track[i].speed_code, 28) << c.name << " cell " << i;
    }
    for (int i = 198; i <= 200; ++i) EXPECT_EQ(s.track[i].speed_code, 0) << c.name;
  }
}

TEST_F(TrainReaderTest, FillsAtLeastOneCellPerSpeedRow) {
  // Two rows for cell 2: the second still writes one cell, so each later
  // limit lands one cell further on.
  model::Scenario s = scenario(20);
  read(s, rows({"velocita,100,50", "velocita,100,60", "velocita,200,70"}));
  const std::vector<int> expected = {0, 0, 10, 12, 14, 14};
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(s.track[i].speed_code, expected[i]) << i;
  EXPECT_EQ(s.track[17].speed_code, 14);
  EXPECT_EQ(s.track[18].speed_code, 0);
}

TEST_F(TrainReaderTest, WithoutRowsTheProfilesAreZeroUpToThreeCellsFromTheEnd) {
  model::Scenario s = scenario(50);
  for (model::TrackCell& c : s.track) c.speed_code = c.adhesion_code = 77;
  read(s, rows({}));
  for (int i = 0; i <= 47; ++i) {
    EXPECT_EQ(s.track[i].speed_code, 0) << i;
    EXPECT_EQ(s.track[i].adhesion_code, 0) << i;
  }
  for (int i = 48; i <= 50; ++i) {
    EXPECT_EQ(s.track[i].speed_code, 77) << i;
    EXPECT_EQ(s.track[i].adhesion_code, 77) << i;
  }
}

TEST_F(TrainReaderTest, FillsAdhesionLikeSpeed) {
  model::Scenario s = scenario(50);
  read(s, rows({"aderenza,   0,    100", "aderenza, 500, 80", "aderenza, -100, 90"}));
  // A row before the origin fills nothing; it only sets the value in force,
  // so 80 never reaches a cell.
  for (int i = 0; i <= 9; ++i) EXPECT_EQ(s.track[i].adhesion_code, 100) << i;
  for (int i = 10; i <= 47; ++i) EXPECT_EQ(s.track[i].adhesion_code, 90) << i;
  EXPECT_EQ(s.track[48].adhesion_code, 0);
}

TEST_F(TrainReaderTest, ARowBeyondTheTrackStopsTheRowsAndCompletesTheProfiles) {
  struct Case {
    const char* name;
    std::string row;
    int32_t position;
  };
  // Track of cells 0 .. 200: a row needs its position + 100 within 10000 m.
  const std::vector<Case> cases = {
      {"velocita", "velocita,9901,50", 9901},
      {"aderenza", "aderenza,9950,50", 9950},
      {"segnale", "segnale,9901,1,3,0,0,0,0,0,0,0,0", 9901},
      {"rallentamento", "rallentamento,9901,60,0,1,0,0", 9901},
      {"rallentamento whose end cell lies past the track", "rallentamento,9000,60,1000,1,0,0",
       9000},
      {"abbattimento", "abbattimento,9901,1", 9901},
      {"stazione", stazione(9250, 28, 200), 9250},
      {"stazione whose stop cell lies past the track", stazione(9000, 8, 2000), 9000},
  };
  for (const Case& c : cases) {
    model::Scenario s = scenario(200);
    model::Scenario before = s;
    read(s, rows({"velocita,0,95", "aderenza,0,100", c.row, "sabbia,300"}));
    EXPECT_EQ(s.error_code, model::kBeyondTrack) << c.name;
    EXPECT_EQ(s.error_position, c.position) << c.name;
    EXPECT_FALSE(description_left(s)) << c.name;
    // No row after the faulty one was read, and it stored no record but a
    // station's own (kept, see below).
    auto items = s.item_table;
    if (std::string_view(c.name).starts_with("stazione")) items[1] = before.item_table[1];
    EXPECT_TRUE(items == before.item_table) << c.name;
    EXPECT_EQ(s.item_table[model::kSlotTrain].item_word1, 0) << c.name << ": rows went on";
    for (int i = 0; i <= 197; ++i) {
      ASSERT_EQ(s.track[i].speed_code, 19) << c.name << " cell " << i;
      ASSERT_EQ(s.track[i].adhesion_code, 100) << c.name << " cell " << i;
    }
    for (int i = 0; i <= 200; ++i) {
      ASSERT_EQ(s.track[i].kind, 0) << c.name << " cell " << i;
      ASSERT_EQ(s.track[i].approach_mark, 0) << c.name << " cell " << i;
    }
  }

  // At the limit the rows are accepted; the slowdown's end is the last cell.
  model::Scenario s = scenario(200);
  read(s, rows({"velocita,9900,50", "segnale,9850,1,3,0,0,0,0,0,0,0,0",
                "rallentamento,9000,60,950,1,0,0", stazione(9200, 28, 200)}));
  EXPECT_EQ(s.error_code, 0);
  EXPECT_EQ(s.track[198].kind, model::kSignal);
  EXPECT_EQ(s.track[200].kind, model::kSlowdownEnd);
  EXPECT_EQ(s.item_table[1].item_position, 9200);
}

TEST_F(TrainReaderTest, AStationWhoseStopCellLiesPastTheTrackKeepsItsRecord) {
  model::Scenario s = scenario(200);
  read(s, rows({stazione(1000, 28, 200), stazione(9000, 8, 2000, 0, 0, "LONTANA")}));
  EXPECT_EQ(s.error_code, model::kBeyondTrack);
  EXPECT_EQ(s.error_position, 9000);
  const model::ItemRecord& station = s.item_table[2];
  EXPECT_EQ(station.item_position, 9000);
  EXPECT_EQ(station.item_name, "LONTANA");
  EXPECT_EQ(station.area_start, 7000);
  EXPECT_EQ(station.area_end, 11000);
}

// ---- Stations ------------------------------------------------------------------

TEST_F(TrainReaderTest, StoresEveryFieldOfAStationRow) {
  model::Scenario s = scenario(400);
  read(s, rows({stazione(0, 28, 200),
                "stazione,   14650, 24,  600,  3, 4, 5,  -6,7,8,  9,10,11,   30,   7,49,30, "
                "ROVETTA - SAN LIBERO"}));
  ASSERT_EQ(s.error_code, 0);
  const model::ItemRecord& station = s.item_table[2];
  EXPECT_EQ(station.item_position, 14650);
  EXPECT_EQ(station.item_kind, 24);
  EXPECT_EQ(station.item_flag, 3);
  EXPECT_EQ(station.item_byte4, 4);
  EXPECT_EQ(station.item_byte3, 5);
  EXPECT_EQ(station.item_word1, -6);
  EXPECT_EQ(station.item_word2, 7);
  EXPECT_EQ(station.item_byte1, 8);
  EXPECT_EQ(station.item_word3, 9);
  EXPECT_EQ(station.item_word4, 10);
  EXPECT_EQ(station.item_word5, 11);
  EXPECT_EQ(station.item_byte2, 30);
  EXPECT_EQ(station.item_time, (7 * 60 + 49) * 60 + 30);
  EXPECT_EQ(station.item_name, "ROVETTA - SAN LIBERO");
  EXPECT_EQ(station.area_start, 14350);
  EXPECT_EQ(station.area_end, 15000);  // 14950, plus 50 for row field 6
  EXPECT_EQ(s.track[299].kind, model::kStationStop);
  EXPECT_EQ(s.track[299].value1, 2);
}

TEST_F(TrainReaderTest, MarksTheOriginStationAsItsRowSays) {
  // Kind 8 at 0 m, 300 m: area -300 .. 300, stop cell 5, marks 81 .. 83 in
  // cells 4 .. 2; the mark 84 would fall on cell 1 and is not written.
  model::Scenario s = scenario(200);
  model::Scenario before = s;
  read(s,
       rows({"stazione,       0,  8,  300,  1, 0, 0,  4,1,0,  2,1,1,    1,   7,29, 0, ZARNETTO"}));
  ASSERT_EQ(s.error_code, 0);
  const model::ItemRecord& station = s.item_table[1];
  EXPECT_EQ(station.area_start, -300);
  EXPECT_EQ(station.area_end, 300);
  EXPECT_EQ(station.item_time, 7 * 3600 + 29 * 60);
  EXPECT_EQ(s.track[5].kind, model::kStationStop);
  EXPECT_EQ(s.track[5].value1, 1);
  EXPECT_EQ(s.track[4].approach_mark, 81);
  EXPECT_EQ(s.track[3].approach_mark, 82);
  EXPECT_EQ(s.track[2].approach_mark, 83);
  EXPECT_EQ(s.track[1].approach_mark, 0);
  EXPECT_EQ(s.track[1].kind, 0);
  // Nothing else changed: cells 0 and 1, and those past the stop cell.
  for (int i : {0, 1}) EXPECT_TRUE(s.track[i] == before.track[i]) << "cell " << i;
  for (size_t i = 6; i < s.track.size(); ++i) {
    ASSERT_TRUE(s.track[i] == before.track[i]) << "cell " << i;
  }
}

TEST_F(TrainReaderTest, ComputesTheAreaAndCellsByKind) {
  struct Case {
    int kind, length, field5, field6;
    int32_t area_start, area_end;
    uint8_t byte3, byte4;
    int stop_cell;  // -1: none
    bool marks;
  };
  // A station at 2000 m, after a first station at 0 m that has no cells.
  const std::vector<Case> cases = {
      {5, 300, 1, 1, 1700, 2150, 0, 0, 42, false},   {6, 600, 1, 1, 1400, 2150, 0, 1, 42, false},
      {7, 300, 0, 1, 1700, 2300, 0, 0, 45, true},    {8, 600, 1, 1, 1400, 2600, 0, 1, 51, true},
      {12, 600, 1, 1, 1700, 2350, 1, 1, 46, true},   {12, 600, 0, 0, 1700, 2300, 0, 0, 45, true},
      {24, 400, 1, 0, 1800, 2200, 0, 0, 43, true},  // below 600 m field 5 is cleared
      {0, 200, 0, 0, 1900, 2100, 0, 0, 41, true},    {25, 600, 0, 1, 1700, 2350, 1, 0, -1, false},
      {255, 800, 1, 0, 1600, 2400, 0, 1, -1, false},
  };
  for (const Case& c : cases) {
    model::Scenario s = scenario(200);
    read(s, rows({stazione(0, 28, 0), stazione(2000, c.kind, c.length, c.field5, c.field6)}));
    ASSERT_EQ(s.error_code, 0) << "kind " << c.kind;
    const model::ItemRecord& station = s.item_table[2];
    EXPECT_EQ(station.area_start, c.area_start) << "kind " << c.kind;
    EXPECT_EQ(station.area_end, c.area_end) << "kind " << c.kind;
    EXPECT_EQ(station.item_byte3, c.byte3) << "kind " << c.kind;
    EXPECT_EQ(station.item_byte4, c.byte4) << "kind " << c.kind;
    std::vector<int> stops, marked;
    for (int i = 0; i <= 200; ++i) {
      if (s.track[i].kind == model::kStationStop) stops.push_back(i);
      if (s.track[i].approach_mark != 0) marked.push_back(i);
    }
    if (c.stop_cell < 0) {
      EXPECT_EQ(stops, std::vector<int>{}) << "kind " << c.kind;
    } else {
      EXPECT_EQ(stops, std::vector<int>{c.stop_cell}) << "kind " << c.kind;
      EXPECT_EQ(s.track[c.stop_cell].value1, 2) << "kind " << c.kind;
    }
    if (c.marks) {
      const int t = c.stop_cell;
      EXPECT_EQ(marked, (std::vector<int>{t - 4, t - 3, t - 2, t - 1})) << "kind " << c.kind;
      EXPECT_EQ(s.track[t - 1].approach_mark, 81);
      EXPECT_EQ(s.track[t - 4].approach_mark, 84);
    } else {
      EXPECT_EQ(marked, std::vector<int>{}) << "kind " << c.kind;
    }
  }
}

TEST_F(TrainReaderTest, ClearsTheFirstStationsFlagsAfterItsArea) {
  model::Scenario s = scenario(200);
  read(s, rows({stazione(1000, 12, 600, 1, 1)}));
  const model::ItemRecord& station = s.item_table[1];
  EXPECT_EQ(station.area_end, 1350);
  EXPECT_EQ(station.item_byte3, 0);
  EXPECT_EQ(station.item_byte4, 0);
}

TEST_F(TrainReaderTest, AStopCellReplacesWhatTheCellHeld) {
  model::Scenario s = scenario(200);
  s.track[25].kind = model::kRouteSign;
  s.track[25].value1 = 80;
  s.track[24].approach_mark = 31;
  read(s, rows({stazione(1000, 12, 600)}));
  EXPECT_EQ(s.error_code, 0);
  EXPECT_EQ(s.track[25].kind, model::kStationStop);
  EXPECT_EQ(s.track[25].value1, 1);
  EXPECT_EQ(s.track[24].approach_mark, 81);
}

TEST_F(TrainReaderTest, RefusesStationRowsWithTheirCodes) {
  struct Case {
    const char* name;
    std::vector<std::string> stations;
    int32_t code;
    int32_t position;  // kKept: error_position keeps its earlier value
  };
  constexpr int32_t kKept = 1234;
  const std::vector<Case> cases = {
      {"position not a multiple of 50", {stazione(4525, 28, 200)}, model::kStationNotWhole, 4525},
      {"length not a multiple of 100",
       {stazione(4500, 28, 250)},
       model::kStationLengthNotWhole,
       4500},
      {"area 300 m after the previous one",
       {stazione(1000, 28, 400), stazione(1700, 28, 400)},
       model::kStationsTooClose,
       1700},
      {"stop cell on cell 0", {stazione(0, 12, 100)}, model::kStopCellTooEarly, kKept},
      {"stop cell on cell 1", {stazione(100, 12, 0)}, model::kStopCellTooEarly, kKept},
  };
  for (const Case& c : cases) {
    model::Scenario s = scenario(200);
    s.error_position = kKept;
    for (model::TrackCell& cell : s.track) cell.speed_code = 77;
    std::string text = "[generale]\r\n";
    for (const std::string& row : c.stations) text += row + "\r\n";
    read(s, text + "sabbia,300\r\n[fine]\r\n");
    EXPECT_EQ(s.error_code, c.code) << c.name;
    EXPECT_EQ(s.error_position, c.position) << c.name;
    EXPECT_FALSE(description_left(s)) << c.name;
    EXPECT_EQ(s.item_table[model::kSlotTrain].item_word1, 0) << c.name << ": rows went on";
    EXPECT_EQ(s.track[0].speed_code, 77) << c.name << ": the profiles were completed";
  }

  // At exactly 350 m, and with the stop cell on cell 2, the rows are accepted.
  model::Scenario s = scenario(200);
  read(s, rows({stazione(1000, 28, 400), stazione(1750, 28, 400), stazione(2500, 12, 0)}));
  EXPECT_EQ(s.error_code, 0);
  EXPECT_EQ(s.item_table[2].item_position, 1750);
  // Station 3's area is 2500 .. 2500: stop cell 49.
  EXPECT_EQ(s.track[49].kind, model::kStationStop);
  model::Scenario near = scenario(200);
  read(near, rows({stazione(150, 12, 0)}));
  EXPECT_EQ(near.error_code, 0);
  EXPECT_EQ(near.track[2].kind, model::kStationStop);
}

TEST_F(TrainReaderTest, StationsStopBeforeTheRouteSigns) {
  // Signs in slots 80 .. 71 leave F = 70: the 69th station is refused right
  // after it has been stored; 68 fit.
  auto stations = [](int count) {
    std::string text = "[generale]\r\n";
    for (int i = 0; i < count; ++i) text += stazione(1000 * i, 28, 200) + "\r\n";
    return text + "sabbia,300\r\n[fine]\r\n";
  };
  model::Scenario s = scenario(1500);
  s.error_position = 1234;
  read(s, stations(69), 70);
  EXPECT_EQ(s.error_code, model::kTooManyStations);
  EXPECT_EQ(s.error_position, 1234);
  EXPECT_EQ(s.item_table[69].item_position, 68000);
  EXPECT_EQ(s.item_table[model::kSlotTrain].item_word1, 0);
  EXPECT_FALSE(description_left(s));

  model::Scenario fits = scenario(1500);
  read(fits, stations(68), 70);
  EXPECT_EQ(fits.error_code, 0);
  EXPECT_EQ(fits.item_table[model::kSlotTrain].item_word1, 300);
}

TEST_F(TrainReaderTest, AStationNeverOverwritesARouteSign) {
  // Eighty signs fill slots 80 .. 1 and leave F = 0.
  model::Scenario s = scenario(1500);
  s.item_table[1].item_name = "(GALLERIA)(Mt.1 Km.1+000)";
  read(s, "[generale]\r\n" + stazione(1000, 28, 200) + "\r\n[fine]\r\n", 0);
  EXPECT_EQ(s.error_code, model::kTooManyStations);
  EXPECT_EQ(s.item_table[1].item_name, "(GALLERIA)(Mt.1 Km.1+000)");
  EXPECT_EQ(s.item_table[1].item_position, 0);
  EXPECT_FALSE(description_left(s));
}

// ---- "abbattimento", signals and slowdowns ---------------------------------------

TEST_F(TrainReaderTest, MarksAbbattimentoCells) {
  struct Case {
    const char* name;
    std::string row;
    uint8_t held;  // the cell's kind before
    int cell;
    uint8_t kind;
    int16_t value1;
  };
  const std::vector<Case> cases = {
      {"value 0 on an empty cell", "abbattimento,1000,0", 0, 20, 13, 0},
      {"negative value", "abbattimento,1000,-4", 0, 20, 13, 0},
      {"value 3", "abbattimento,1000,3", 0, 20, 12, 3},
      {"on a mountain marker", "abbattimento,1000,3", 11, 20, 12, 3},
      {"cell of 125 m rounds to even", "abbattimento,125,3", 0, 2, 12, 3},
  };
  for (const Case& c : cases) {
    model::Scenario s = scenario(200);
    s.track[c.cell].kind = c.held;
    read(s, rows({c.row}));
    EXPECT_EQ(s.error_code, 0) << c.name;
    EXPECT_EQ(s.track[c.cell].kind, c.kind) << c.name;
    EXPECT_EQ(s.track[c.cell].value1, c.value1) << c.name;
  }
}

TEST_F(TrainReaderTest, ATakenCellEndsTheReadingWithItsCodeAndPosition) {
  struct Case {
    const char* name;
    std::string row;
    int taken;
    int32_t code, position;
  };
  const std::vector<Case> cases = {
      {"abbattimento", "abbattimento,1000,3", 20, model::kSpeedMarkCellTaken, 1000},
      {"signal", "segnale,1000,1,3,0,0,0,0,0,0,0,0", 21, model::kSignalCellTaken, 1000},
      {"slowdown warning", "rallentamento,5000,60,300,1,1,0", 77, model::kWarningCellTaken, 5000},
      {"slowdown start", "rallentamento,5000,60,300,1,1,0", 101, model::kSlowdownStartTaken, 5000},
      {"slowdown end", "rallentamento,5000,60,300,1,1,0", 107, model::kSlowdownEndTaken, 5000},
      {"before the slowdown warning", "rallentamento,5000,60,300,1,1,0", 73,
       model::kBeforeWarningTaken, 5000},
  };
  for (const Case& c : cases) {
    model::Scenario s = scenario(200);
    s.track[c.taken].kind = model::kStationStop;
    for (model::TrackCell& cell : s.track) cell.speed_code = 77;
    read(s, rows({c.row, "sabbia,300"}));
    EXPECT_EQ(s.error_code, c.code) << c.name;
    EXPECT_EQ(s.error_position, c.position) << c.name;
    EXPECT_FALSE(description_left(s)) << c.name;
    EXPECT_EQ(s.item_table[model::kSlotTrain].item_word1, 0) << c.name;
    EXPECT_EQ(s.track[0].speed_code, 77) << c.name << ": the profiles were completed";
  }
}

TEST_F(TrainReaderTest, ARouteCode15DoesNotStopTheTrainRows) {
  // The route half stopped at a row beyond its track: its code and position
  // stay, and every train row is still read.
  model::Scenario s = scenario(200);
  s.error_code = model::kBeyondTrack;
  s.error_position = 106950;
  read(s,
       rows({"velocita,0,95", "velocita,1200,140", "segnale,2450,1,4,0,0,0,0,0,0,0,0",
             "rallentamento,5000,60,300,1,1,0", "segnale,7000,2,3,0,0,0,0,0,0,0,0", "sabbia,300"}));
  EXPECT_EQ(s.error_code, model::kBeyondTrack);
  EXPECT_EQ(s.error_position, 106950);
  EXPECT_EQ(s.track[50].kind, model::kSignal);
  EXPECT_EQ(s.track[101].kind, model::kSlowdownStart);
  EXPECT_EQ(s.track[141].kind, model::kSignal);
  EXPECT_EQ(s.track[24].speed_code, 28);
  EXPECT_EQ(s.track[197].speed_code, 28);
  EXPECT_EQ(s.item_table[model::kSlotTrain].item_word1, 300);
  EXPECT_FALSE(description_left(s));

  // A failure of the train rows still replaces it.
  model::Scenario failed = scenario(200);
  failed.error_code = model::kBeyondTrack;
  failed.error_position = 106950;
  read(failed, rows({"segnale,2450,1,4,0,0,0,0,0,0,0,0", "segnale,2460,1,4,0,0,0,0,0,0,0,0"}));
  EXPECT_EQ(failed.error_code, model::kSignalCellTaken);
  EXPECT_EQ(failed.error_position, 2460);
}

TEST_F(TrainReaderTest, ChecksTheKilometricProgressivesLast) {
  // A clean read, then the check: code 2, the position kept.
  model::Scenario s = scenario(200);
  s.error_position = 1234;
  s.item_table[model::kSlotProgressiveTwo].area_end = 1025;
  read(s, rows({"sabbia,300"}));
  EXPECT_EQ(s.error_code, model::kProgressiveNotWhole);
  EXPECT_EQ(s.error_position, 1234);

  // After a code 15 stop the check still runs, and its code takes the place of 15.
  model::Scenario stopped = scenario(200);
  stopped.item_table[model::kSlotProgressiveOne].area_start = 10;
  read(stopped, rows({"velocita,9950,50"}));
  EXPECT_EQ(stopped.error_code, model::kProgressiveNotWhole);
  EXPECT_EQ(stopped.error_position, 9950);

  // A failure that ends the reading skips it.
  model::Scenario ended = scenario(200);
  ended.item_table[model::kSlotProgressiveThree].area_start = 10;
  read(ended, rows({stazione(4525, 28, 200)}));
  EXPECT_EQ(ended.error_code, model::kStationNotWhole);

  // Multiples of 50, negative ones included, pass.
  model::Scenario fine = scenario(200);
  fine.item_table[model::kSlotProgressiveThree].area_start = -150;
  fine.item_table[model::kSlotProgressiveThree].area_end = 100000;
  read(fine, rows({}));
  EXPECT_EQ(fine.error_code, 0);
}

// ---- The built-in train description ----------------------------------------------

TEST_F(TrainReaderTest, ReadsTheBuiltInTrainDescription) {
  model::Scenario s = scenario(2140);  // the built-in route: 100000 m + 7000 m
  s.line_name = "BRENTALVO";
  s.train_code = "TRN4417";
  sources::dati_treno(s);
  read_train_description(s, 80);

  EXPECT_EQ(s.error_code, 0);
  EXPECT_FALSE(description_left(s));
  EXPECT_EQ(s.item_table[model::kSlotTrainGeneral].item_position, 5);
  EXPECT_EQ(s.item_table[model::kSlotTrainGeneral].area_start, 115);
  const model::ItemRecord& train = s.item_table[model::kSlotTrain];
  EXPECT_EQ(train.item_word1, 300);
  EXPECT_EQ(train.item_word3, 7);
  EXPECT_EQ(train.item_word4, 28);
  EXPECT_EQ(train.item_word5, 30);

  const std::vector<std::pair<int32_t, std::string_view>> stations = {
      {0, "ZARNETTO"},
      {4500, "BIVIO SALCENTA"},
      {8950, "MORLANE"},
      {12050, "FONTE DEL RIVO"},
      {14650, "CORVAGNO"},
      {18700, "S. AGATA VERMENO"},
      {22250, "PIEVE D'ARSELLA"},
      {28350, "CASTELBRUNO"},
      {35050, "TERLAGO"},
      {40150, "VALDISORGA"},
      {45150, "MONTEPRATO"},
      {47850, "ROVETTA - SAN LIBERO"},
      {51550, "PONTE CERVINO"},
      {56100, "ACQUAVIVA"},
      {60450, "CORTE MALVEZZI"},
      {65600, "SAN GIORIO"},
      {67950, "BIVIO LOCARDI"},
      {69050, "ORSARA"},
      {72050, "POSTO CALVINE"},
      {76150, "CALDARENA"},
      {80150, "SORVIANO"},
      {82850, "BORGO TESSANO"},
      {85050, "VILLA ROSSANA"},
      {88250, "MERCATELLO"},
      {91700, "RIO DELL'ORSO"},
      {93400, "CASAL VENTOSO"},
      {99550, "PALVESCO"},
  };
  for (size_t k = 1; k <= 27; ++k) {
    const model::ItemRecord& station = s.item_table[k];
    EXPECT_EQ(station.item_position, stations[k - 1].first) << "slot " << k;
    EXPECT_EQ(station.item_name, stations[k - 1].second) << "slot " << k;
    if (k > 1) {
      EXPECT_GE(station.area_start - s.item_table[k - 1].area_end, 550) << "slot " << k;
    }
  }
  EXPECT_EQ(s.item_table[28].item_name, "");
  EXPECT_EQ(s.item_table[1].item_byte3, 0);
  EXPECT_EQ(s.item_table[1].item_byte4, 0);
  EXPECT_EQ(s.item_table[5].item_time, (7 * 60 + 49) * 60 + 30);
  EXPECT_EQ(s.item_table[27].item_kind, 1);

  // Every marked cell, by kind.
  std::vector<int> by_kind[15];
  for (int i = 0; i <= 2140; ++i) by_kind[s.track[i].kind].push_back(i);
  EXPECT_EQ(by_kind[model::kSignal].size(), 41u);
  EXPECT_EQ(by_kind[model::kSignal].front(), 50);
  EXPECT_EQ(by_kind[model::kSignal].back(), 1948);
  EXPECT_EQ(by_kind[model::kSlowdownWarning], (std::vector<int>{756, 1115, 1494, 1529, 1758}));
  EXPECT_EQ(by_kind[model::kSlowdownStart], (std::vector<int>{780, 1139, 1518, 1553, 1782}));
  EXPECT_EQ(by_kind[model::kSlowdownEnd], (std::vector<int>{787, 1146, 1534, 1554, 1788}));
  EXPECT_EQ(by_kind[model::kBeforeWarning],
            (std::vector<int>{752, 753, 754, 755, 1111, 1112, 1113, 1114, 1754, 1755, 1756, 1757}));
  EXPECT_EQ(by_kind[model::kStationStop],
            (std::vector<int>{5,    96,   185,  298,  379,  450,  573,  707,  808,  909, 963,
                              1127, 1214, 1315, 1363, 1386, 1528, 1662, 1770, 1875, 1998}));
  EXPECT_EQ(s.track[298].value1, 5);
  EXPECT_EQ(s.track[1998].value1, 27);
  EXPECT_EQ(s.track[1339].signal_time, 0);  // tempo 120 with sx 1
  EXPECT_EQ(s.track[74].value2, 10);        // 3650: s2 1

  // Speed limits / 5 and adhesion, up to cell 2137.
  const std::vector<std::pair<int, int>> speeds = {{0, 19},    {23, 19},   {24, 28},  {244, 28},
                                                   {245, 20},  {551, 19},  {552, 6},  {1880, 12},
                                                   {1881, 15}, {2137, 15}, {2138, 0}, {2140, 0}};
  for (const auto& [cell, code] : speeds) EXPECT_EQ(s.track[cell].speed_code, code) << cell;
  for (int i = 0; i <= 2137; ++i) ASSERT_EQ(s.track[i].adhesion_code, 100) << i;
  EXPECT_EQ(s.track[2138].adhesion_code, 0);
}

}  // namespace
}  // namespace train
