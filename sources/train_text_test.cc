#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <string_view>
#include <vector>

#include "model/scenario.h"
#include "platform/files.h"
#include "platform/scoped_temp_dir.h"
#include "sources/builtin_texts.h"
#include "sources/line_writer.h"

namespace sources {
namespace {

std::string_view slot(size_t i) { return train_description_text()[i]; }

// The numbers of a fixed-width row: the text after `keyword` is cut at commas
// into fields of exactly the given widths, each a right-aligned whole number;
// what follows the last of them is returned in `rest` (from its comma on).
// Fails the test when a field has another width or is not aligned.
std::vector<int> fixed_fields(std::string_view row, std::string_view keyword,
                              const std::vector<size_t>& widths, std::string* rest) {
  std::vector<int> values;
  EXPECT_TRUE(row.starts_with(keyword)) << row;
  std::string_view tail = row.substr(keyword.size());
  for (size_t i = 0; i < widths.size(); ++i) {
    size_t comma = tail.find(',');
    std::string_view field = tail.substr(0, comma);
    EXPECT_EQ(field.size(), widths[i]) << "field " << i + 1 << " of: " << row;
    size_t first = field.find_first_not_of(' ');
    std::string digits(field.substr(first == std::string_view::npos ? field.size() : first));
    EXPECT_FALSE(digits.empty()) << "field " << i + 1 << " of: " << row;
    for (char c : digits) {
      EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(c)))
          << "field " << i + 1 << " of: " << row;
    }
    values.push_back(digits.empty() ? -1 : std::stoi(digits));
    if (comma == std::string_view::npos) {
      tail = {};
      break;
    }
    tail = tail.substr(i + 1 < widths.size() ? comma + 1 : comma);
  }
  if (rest != nullptr) *rest = std::string(tail);
  return values;
}

TEST(TrainTextTest, HoldsItsLinesAndHeadingsInTheirSlots) {
  std::span<const std::string_view> text = train_description_text();
  ASSERT_EQ(text.size(), 104u);
  EXPECT_EQ(text[103], kEndSentinel);
  EXPECT_EQ(lines_before_sentinel(text).size(), 103u);

  const std::vector<std::pair<size_t, std::string_view>> fixed = {
      {0, "[generale]"},
      {1, "numero vetture,    5"},
      {2, "percentuale massa frenata,    115"},
      {3, "sabbia,    300"},
      {4, "orologio,    7               28            30 "},
      {5, "[aderenze]"},
      {6, "aderenza,   0,    100"},
      {7, "[vel_limite]"},
      {25, "[stazioni]"},
      {53, "[rallentamenti]"},
      {59, "[segnali]"},
      {101, "[codici]"},
      {102, "[fine]"},
  };
  for (const auto& [i, line] : fixed) EXPECT_EQ(slot(i), line) << "slot " << i;

  struct Block {
    size_t first, last;
    std::string_view keyword;
  };
  for (const Block& block : {Block{8, 24, "velocita,"}, Block{26, 52, "stazione,"},
                             Block{54, 58, "rallentamento,"}, Block{60, 100, "segnale,"}}) {
    for (size_t i = block.first; i <= block.last; ++i) {
      EXPECT_TRUE(slot(i).starts_with(block.keyword)) << "slot " << i << ": " << slot(i);
    }
  }
  for (size_t i = 0; i < 103; ++i) {
    for (char c : slot(i)) EXPECT_TRUE(c >= ' ' && c <= '~') << "slot " << i;
  }
}

TEST(TrainTextTest, QuotedRowsAreVerbatim) {
  const std::vector<std::pair<size_t, std::string_view>> rows = {
      {8, "velocita,       0,    95"},
      {24, "velocita,   94050,    75"},
      {26, "stazione,       0,  8,  300,  1, 0, 0,  4,1,0,  2,1,1,    1,   7,29, 0, ZARNETTO"},
      {30, "stazione,   14650, 24,  600,  0, 0, 0,  0,0,0,  4,1,1,   30,   7,49,30, CORVAGNO"},
      {52, "stazione,   99550,  1,  800,  0, 0, 0,  1,1,0,  2,1,1,    0,   9,50, 0, PALVESCO"},
      {54, "rallentamento,   38950,    75,  350, 1,  1,  0"},
      {55, "rallentamento,   56900,    65,  350, 1,  1,  0"},
      {56, "rallentamento,   75850,    30,  800, 1,  0,  0"},
      {57, "rallentamento,   77600,    65,   50, 1,  0,  0"},
      {58, "rallentamento,   89050,    30,  300, 1,  1,  0"},
      {60, "segnale,    2450,   1, 4, 0,  0, 0,    0,  0,0,0, 0"},
      {70, "segnale,   26350,   1, 3, 4,  0, 0,    0,  0,0,0, 0"},
      {87, "segnale,   66900,   1, 3, 0,  0, 0,    0,  0,0,0, 120"},
  };
  for (const auto& [i, line] : rows) EXPECT_EQ(slot(i), line) << "slot " << i;
}

TEST(TrainTextTest, SpeedRowsHoldTheLimitsInTheirColumns) {
  const std::vector<std::pair<int, int>> limits = {
      {0, 95},      {1200, 140}, {12250, 100}, {16150, 115}, {27550, 95}, {27600, 30},
      {28800, 105}, {34450, 30}, {35500, 105}, {40500, 80},  {55400, 30}, {56400, 80},
      {67300, 75},  {68200, 30}, {69350, 75},  {92450, 60},  {94050, 75}};
  for (size_t r = 0; r < limits.size(); ++r) {
    std::string rest;
    std::vector<int> v = fixed_fields(slot(8 + r), "velocita,", {8, 6}, &rest);
    EXPECT_EQ(rest, "") << slot(8 + r);
    EXPECT_EQ(v, (std::vector<int>{limits[r].first, limits[r].second})) << slot(8 + r);
  }
}

TEST(TrainTextTest, StationRowsHoldTheTimetableInTheirColumns) {
  // Fields 1 to 16 of every station row, and its name.
  struct Station {
    std::vector<int> fields;
    std::string_view name;
  };
  const std::vector<Station> stations = {
      {{0, 8, 300, 1, 0, 0, 4, 1, 0, 2, 1, 1, 1, 7, 29, 0}, "ZARNETTO"},
      {{4500, 11, 600, 0, 0, 1, 1, 1, 0, 4, 1, 1, 0, 0, 0, 0}, "BIVIO SALCENTA"},
      {{8950, 24, 600, 0, 0, 1, 0, 0, 0, 4, 1, 1, 30, 7, 42, 0}, "MORLANE"},
      {{12050, 28, 400, 0, 0, 0, 0, 0, 0, 0, 0, 0, 30, 7, 46, 0}, "FONTE DEL RIVO"},
      {{14650, 24, 600, 0, 0, 0, 0, 0, 0, 4, 1, 1, 30, 7, 49, 30}, "CORVAGNO"},
      {{18700, 12, 600, 0, 0, 0, 1, 1, 0, 4, 1, 1, 60, 7, 55, 0}, "S. AGATA VERMENO"},
      {{22250, 24, 600, 0, 0, 0, 0, 0, 0, 4, 1, 1, 30, 7, 59, 0}, "PIEVE D'ARSELLA"},
      {{28350, 12, 600, 1, 0, 1, 4, 1, 0, 2, 1, 1, 99, 8, 7, 0}, "CASTELBRUNO"},
      {{35050, 12, 600, 1, 0, 1, 4, 1, 0, 2, 1, 1, 60, 8, 14, 0}, "TERLAGO"},
      {{40150, 12, 600, 0, 0, 0, 1, 1, 0, 4, 1, 1, 60, 8, 20, 0}, "VALDISORGA"},
      {{45150, 12, 600, 0, 0, 1, 1, 1, 0, 5, 1, 1, 30, 8, 27, 0}, "MONTEPRATO"},
      {{47850, 12, 600, 0, 0, 1, 1, 1, 0, 4, 1, 1, 30, 8, 31, 0}, "ROVETTA - SAN LIBERO"},
      {{51550, 25, 500, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "PONTE CERVINO"},
      {{56100, 12, 600, 1, 0, 0, 4, 1, 0, 2, 1, 1, 30, 8, 39, 30}, "ACQUAVIVA"},
      {{60450, 24, 600, 0, 0, 0, 0, 0, 0, 4, 1, 1, 30, 8, 45, 30}, "CORTE MALVEZZI"},
      {{65600, 24, 400, 0, 0, 0, 0, 0, 0, 4, 1, 1, 30, 8, 51, 30}, "SAN GIORIO"},
      {{67950, 11, 500, 0, 0, 0, 1, 1, 0, 2, 3, 1, 0, 0, 0, 0}, "BIVIO LOCARDI"},
      {{69050, 12, 600, 1, 0, 0, 4, 1, 0, 2, 1, 1, 90, 8, 59, 0}, "ORSARA"},
      {{72050, 28, 400, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "POSTO CALVINE"},
      {{76150, 22, 600, 0, 0, 0, 0, 0, 0, 4, 1, 1, 30, 9, 9, 0}, "CALDARENA"},
      {{80150, 28, 300, 0, 0, 0, 0, 0, 0, 0, 0, 0, 30, 9, 15, 0}, "SORVIANO"},
      {{82850, 22, 600, 0, 0, 0, 0, 0, 0, 4, 1, 1, 30, 9, 19, 30}, "BORGO TESSANO"},
      {{85050, 28, 200, 0, 0, 0, 0, 0, 0, 0, 0, 0, 30, 9, 23, 0}, "VILLA ROSSANA"},
      {{88250, 12, 600, 0, 0, 0, 1, 1, 0, 4, 1, 1, 30, 9, 28, 0}, "MERCATELLO"},
      {{91700, 28, 500, 0, 0, 0, 0, 0, 0, 0, 0, 0, 60, 9, 32, 30}, "RIO DELL'ORSO"},
      {{93400, 12, 800, 0, 0, 0, 1, 1, 0, 4, 1, 1, 99, 9, 36, 30}, "CASAL VENTOSO"},
      {{99550, 1, 800, 0, 0, 0, 1, 1, 0, 2, 1, 1, 0, 9, 50, 0}, "PALVESCO"},
  };
  const std::vector<size_t> widths = {8, 3, 5, 3, 2, 2, 3, 1, 1, 3, 1, 1, 5, 4, 2, 2};
  bool name_with_dash = false;
  for (size_t r = 0; r < stations.size(); ++r) {
    std::string_view row = slot(26 + r);
    std::string rest;
    EXPECT_EQ(fixed_fields(row, "stazione,", widths, &rest), stations[r].fields) << row;
    EXPECT_EQ(rest, ", " + std::string(stations[r].name)) << row;

    std::string_view name = stations[r].name;
    EXPECT_GE(name.size(), 5u);
    EXPECT_LE(name.size(), 23u);
    for (char c : name) {
      EXPECT_TRUE((c >= 'A' && c <= 'Z') || c == ' ' || c == '.' || c == '\'' || c == '-') << name;
    }
    if (name.find(" - ") != std::string_view::npos) name_with_dash = true;
  }
  EXPECT_TRUE(name_with_dash);
}

TEST(TrainTextTest, SlowdownAndSignalRowsKeepTheirColumns) {
  int last = -1;
  for (size_t i = 54; i <= 58; ++i) {
    std::string rest;
    std::vector<int> v = fixed_fields(slot(i), "rallentamento,", {8, 6, 5, 2, 3, 3}, &rest);
    EXPECT_EQ(rest, "") << slot(i);
    EXPECT_GT(v[0], last);
    last = v[0];
  }

  // Position, sx, s1, s2 and tempo of every signal; the other fields are 0.
  struct Signal {
    int position, sx, s1, s2, tempo;
  };
  const std::vector<Signal> signals = {
      {2450, 1, 4, 0, 0},    {3650, 2, 4, 1, 0},  {7250, 1, 5, 0, 0},  {8450, 2, 3, 0, 0},
      {12550, 1, 4, 0, 0},   {13750, 2, 3, 0, 0}, {16700, 1, 5, 0, 0}, {17900, 2, 3, 0, 0},
      {20200, 1, 4, 0, 0},   {21400, 2, 3, 0, 0}, {26350, 1, 3, 4, 0}, {27600, 2, 2, 3, 0},
      {33200, 1, 3, 0, 0},   {34450, 2, 2, 3, 0}, {38050, 1, 4, 0, 0}, {39250, 2, 3, 0, 0},
      {42900, 1, 5, 0, 0},   {44400, 2, 3, 0, 0}, {47200, 2, 3, 0, 0}, {49900, 1, 4, 0, 0},
      {50950, 2, 4, 0, 0},   {54200, 1, 3, 0, 0}, {55400, 2, 2, 3, 0}, {58550, 1, 5, 0, 0},
      {59750, 2, 3, 0, 0},   {63950, 1, 4, 0, 0}, {64950, 2, 3, 0, 0}, {66900, 1, 3, 0, 120},
      {70200, 1, 5, 0, 120}, {71300, 2, 3, 0, 0}, {72250, 2, 4, 0, 0}, {73850, 1, 5, 0, 0},
      {75350, 2, 3, 0, 0},   {81250, 1, 5, 0, 0}, {82250, 2, 3, 0, 0}, {86100, 1, 5, 0, 0},
      {87200, 2, 3, 0, 0},   {91350, 1, 5, 0, 0}, {92500, 2, 3, 0, 0}, {95800, 1, 4, 0, 0},
      {97350, 2, 3, 0, 0}};
  ASSERT_EQ(signals.size(), 41u);
  for (size_t r = 0; r < signals.size(); ++r) {
    std::string_view row = slot(60 + r);
    std::string rest;
    std::vector<int> v = fixed_fields(row, "segnale,", {8, 4, 2, 2, 3, 2, 5, 3, 1, 1}, &rest);
    const Signal& want = signals[r];
    EXPECT_EQ(v, (std::vector<int>{want.position, want.sx, want.s1, want.s2, 0, 0, 0, 0, 0, 0}))
        << row;
    EXPECT_EQ(rest, ", " + std::to_string(want.tempo)) << row;
  }
}

TEST(TrainTextTest, DatiTrenoWritesTheLinesWithCrLf) {
  const platform::ScopedTempDir folder("train_text_test");
  model::Scenario s;
  s.app_path = folder.path().string();
  s.line_name = "BRENTALVO";
  s.train_code = "TRN4417";
  dati_treno(s);
  const std::string bytes = platform::read_file(
      platform::real_file_system(), platform::join_path(s.app_path, "BRENTALVO_TRN4417-.txt"));

  std::string expected;
  for (size_t i = 0; i < 103; ++i) expected += std::string(slot(i)) + "\r\n";
  EXPECT_EQ(bytes, expected);
  EXPECT_TRUE(bytes.starts_with("[generale]\r\n"));
  EXPECT_TRUE(bytes.ends_with("\r\n[codici]\r\n[fine]\r\n"));
  EXPECT_NE(bytes.find("30 \r\n"), std::string::npos);  // the clock line's final blank
}

}  // namespace
}  // namespace sources
