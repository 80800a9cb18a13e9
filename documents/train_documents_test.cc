// The generated timetable card and slow-order form: from the built-in train
// description against the built-in documents, and from small trains that
// each show one case of the columns.
#include "documents/train_documents.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <string_view>
#include <vector>

#include "sources/builtin_texts.h"
#include "sources/line_writer.h"

namespace documents {
namespace {

std::vector<std::string> builtin_lines(std::span<const std::string_view> text) {
  std::span<const std::string_view> lines = sources::lines_before_sentinel(text);
  return {lines.begin(), lines.end()};
}

TrainRows builtin_rows() {
  return read_train_rows(sources::line_array_bytes(sources::train_description_text()));
}

// Column `c` (0-based) of a table line cut at its bars.
std::string column(const std::string& line, size_t c) {
  size_t at = line.find('|');
  for (size_t i = 0; i < c; ++i) at = line.find('|', at + 1);
  const size_t end = line.find('|', at + 1);
  return line.substr(at + 1, end - at - 1);
}

// The table rows of the card (between the heading rule and the three empty
// rows).
std::vector<std::string> card_table(const std::vector<std::string>& card) {
  return {card.begin() + 16, card.end() - 4};
}

std::string trimmed(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '.')) s.pop_back();
  while (!s.empty() && s.front() == ' ') s.erase(s.begin());
  return s;
}

TEST(SlowOrderForm, BuiltInTrainGivesTheBuiltInForm) {
  const std::vector<std::string> form =
      slow_order_form_lines(builtin_rows(), "BRENTALVO", "TRN4417");
  const std::vector<std::string> builtin = builtin_lines(sources::slow_order_form_text());
  ASSERT_EQ(form.size(), builtin.size());
  for (size_t i = 0; i < form.size(); ++i) EXPECT_EQ(form[i], builtin[i]) << "line " << i;
}

TEST(TimetableCard, BuiltInTrainRowsFollowTheDescriptionAndTheBuiltInStops) {
  const TrainRows rows = builtin_rows();
  const std::vector<std::string> card = timetable_card_lines(rows, "TRN4417");
  const std::vector<std::string> table = card_table(card);
  EXPECT_EQ(card[4],
            " |   TRENO n.4417    |                   da: ZARNETTO              |    V140 B    |");
  EXPECT_EQ(card[5],
            " |___________________|                    a: PALVESCO              |     115%     |");
  // Station by station, in line order, at the description's positions.
  size_t next = 0;
  for (const StationRow& st : rows.stations) {
    while (next < table.size() && trimmed(column(table[next], 4)) != st.name) ++next;
    ASSERT_LT(next, table.size()) << st.name;
    const std::string km = std::to_string(st.position / 1000) + "+";
    EXPECT_NE(column(table[next], 2).find(km), std::string::npos) << st.name;
  }
  // Every stop of the built-in card has the same arrival and departure here.
  const std::vector<std::string> builtin = builtin_lines(sources::timetable_card_text());
  int stops = 0;
  for (size_t i = 16; i < 53; ++i) {
    const std::string name = column(builtin[i], 4);
    if (name.find("..") == std::string::npos) continue;
    ++stops;
    std::string upper_name = trimmed(name);
    for (char& c : upper_name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    bool found = false;
    for (const std::string& row : table) {
      if (trimmed(column(row, 4)) != upper_name) continue;
      found = true;
      EXPECT_EQ(column(row, 5), column(builtin[i], 5)) << upper_name;
    }
    EXPECT_TRUE(found) << upper_name;
  }
  EXPECT_EQ(stops, 21);
  // The origin departs at its time with the limit of the first row.
  EXPECT_EQ(table.front(),
            " |  95 |     |   0+000  |     |ZARNETTO                    |          07.29 |     |");
  EXPECT_EQ(table.back(),
            " |     |     |  99+550  |     |PALVESCO                    |09.50           |     |");
}

std::string train(std::string_view body) {
  return std::string("[generale]\r\npercentuale massa frenata, 90\r\n") + std::string(body) +
         "[fine]\r\n";
}

constexpr std::string_view kTwoStations =
    "velocita, 0, 100\r\n"
    "stazione, 0, 8, 300, 0,0,0, 0,0,0, 0,0,0, 1, 8, 0, 0, ALFA\r\n"
    "stazione, 9000, 12, 600, 0,0,0, 0,0,0, 0,0,0, 0, 8,10, 0, OMEGA\r\n";

struct SmallTrain {
  const char* what;
  std::string description;
  std::vector<std::string> card_rows;  // expected table rows, in order
  std::vector<std::string> form_rows;  // expected slow-order rows
  std::string legend_b;                // expected B line ("" to skip)
};

TEST(Documents, SmallTrains) {
  const std::vector<SmallTrain> cases = {
      {"no slow order",
       train(kTwoStations),
       {" | 100 |     |   0+000  |     |ALFA                        |          08.00 |     |",
        " |     |     |   9+000  |     |OMEGA                       |08.10           |     |"},
       {},
       " B - Interessa anche la stazione di .........."},
      {"a slow order before the first station",
       train(std::string("rallentamento, 100, 30, 50, 1, 1, 0\r\n") +
             "velocita, 0, 100\r\n"
             "stazione, 1000, 12, 400, 0,0,0, 0,0,0, 0,0,0, 0, 8, 0, 0, ALFA\r\n"
             "stazione, 9000, 12, 600, 0,0,0, 0,0,0, 0,0,0, 0, 8,10, 0, OMEGA\r\n"),
       {" | 100 |     |   0+000  |     |cippo Km 0+000              |                |     |",
        " |     |     |   1+000  |     |ALFA                        |          08.00 |     |",
        " |     |     |   9+000  |     |OMEGA                       |08.10           |     |"},
       {" |O1 |ALFA                        |  O+1OO     |   3O     |   5O    |      A     |"},
       ""},
      {"a slow order reaching into a station, warned",
       train(std::string(kTwoStations) + "rallentamento, 8500, 60, 300, 0, 0, 0\r\n"),
       {},
       {" |O1 |ALFA-OMEGA                  |  8+5OO     |   6O     |  3OO    |     B-D    |"},
       " B - Interessa anche la stazione di OMEGA"},
      {"a passing station and a half-minute stop",
       train("velocita, 0, 100\r\nvelocita, 5000, 120\r\n"
             "stazione, 0, 8, 300, 0,0,0, 0,0,0, 0,0,0, 1, 8, 0, 0, ALFA\r\n"
             "stazione, 3000, 12, 400, 0,0,0, 0,0,0, 0,0,0, 0, 8, 4,30, BETA\r\n"
             "stazione, 6000, 12, 400, 0,0,0, 0,0,0, 0,0,0, 30, 8, 8,30, GAMMA\r\n"
             "stazione, 9000, 12, 600, 0,0,0, 0,0,0, 0,0,0, 0, 8,12, 0, OMEGA\r\n"),
       {" | 100 |     |   0+000  |     |ALFA                        |          08.00 |     |",
        " |     |     |   3+000  |     |BETA                        |     08.04+     |     |",
        " | 120 |     |   5+000  |     |cippo Km 5+000              |                |     |",
        " |     |     |   6+000  |     |GAMMA.......................|08.08     08.08+|     |",
        " |     |     |   9+000  |     |OMEGA                       |08.12           |     |"},
       {},
       ""},
      {"a long name and a wide number",
       train("velocita, 0, 100\r\n"
             "stazione, 0, 8, 300, 0,0,0, 0,0,0, 0,0,0, 1, 8, 0, 0, "
             "STAZIONE DAL NOME DAVVERO TROPPO LUNGO\r\n"
             "stazione, 9000, 12, 600, 0,0,0, 0,0,0, 0,0,0, 0, 8,10, 0, OMEGA\r\n"
             "rallentamento, 2000, 30, 123456, 1, 1, 0\r\n"),
       {" | 100 |     |   0+000  |     |STAZIONE DAL NOME DAVVERO T~|          08.00 |     |",
        " |     |     |   9+000  |     |OMEGA                       |08.10           |     |"},
       {" |O1 |STAZIONE DAL NOME DAVVERO T~|  2+OOO     |   3O     |*****    |     A-B    |"},
       ""},
  };
  for (const SmallTrain& c : cases) {
    SCOPED_TRACE(c.what);
    const TrainRows rows = read_train_rows(c.description);
    const std::vector<std::string> card = timetable_card_lines(rows, "R123");
    const std::vector<std::string> form = slow_order_form_lines(rows, "LINEA", "R123");
    if (!c.card_rows.empty()) {
      EXPECT_EQ(card_table(card), c.card_rows);
    }
    EXPECT_EQ(card[4].substr(0, 22), " |   TRENO n.123     |");
    for (size_t i = 0; i < c.form_rows.size(); ++i) EXPECT_EQ(form[12 + i], c.form_rows[i]);
    EXPECT_EQ(form[12 + c.form_rows.size()].find_first_not_of(" |"), std::string::npos);
    if (!c.legend_b.empty()) {
      EXPECT_EQ(form[form.size() - 4], c.legend_b);
    }
    // Every table line keeps its width; every line ends with CR LF.
    for (size_t i = 13; i < card.size(); ++i) EXPECT_EQ(card[i].size(), kCardTableWidth) << i;
    for (size_t i = 8; i < form.size() - 7; ++i) EXPECT_EQ(form[i].size(), kFormTableWidth) << i;
    const Documents d = make_documents(rows, "LINEA", "R123");
    for (const std::string* bytes : {&d.timetable_card, &d.slow_order_form}) {
      size_t lines = 0;
      for (size_t i = 0; i < bytes->size(); ++i) {
        if ((*bytes)[i] == '\n') {
          ASSERT_TRUE(i > 0 && (*bytes)[i - 1] == '\r');
          ++lines;
        } else if ((*bytes)[i] == '\r') {
          ASSERT_TRUE(i + 1 < bytes->size() && (*bytes)[i + 1] == '\n');
        }
      }
      EXPECT_EQ(bytes->substr(bytes->size() - 2), "\r\n");
      EXPECT_EQ(lines, bytes == &d.timetable_card ? card.size() : form.size());
    }
  }
}

TEST(SlowOrderForm, TheTableGrowsPastItsEmptyRowsAndNumbersPastNinetyNine) {
  std::string body(kTwoStations);
  for (int i = 0; i < 120; ++i) body += "rallentamento, 4000, 30, 50, 1, 1, 0\r\n";
  const std::vector<std::string> form =
      slow_order_form_lines(read_train_rows(train(body)), "L", "1");
  ASSERT_EQ(form.size(), 12 + 120 + 8u);
  EXPECT_EQ(form[12 + 98].substr(0, 6), " |99 |");
  EXPECT_EQ(form[12 + 99].substr(0, 6), " |1OO|");
  EXPECT_EQ(form[12 + 120], form[11]);  // the bottom rule right after the last row
  for (size_t i = 8; i <= 12 + 120; ++i) EXPECT_EQ(form[i].size(), kFormTableWidth);
}

TEST(Documents, NoGeneralSectionGivesEmptyTables) {
  const TrainRows rows = read_train_rows("velocita, 0, 100\r\nstazione, 0, 8\r\n");
  EXPECT_TRUE(rows.stations.empty());
  EXPECT_TRUE(rows.limits.empty());
  const std::vector<std::string> card = timetable_card_lines(rows, "X");
  EXPECT_EQ(card.size(), 16 + 3 + 1u);
}

TEST(Documents, KilometrePostsFollowTheLinesProgressives) {
  // Posts reading 120+000 at the origin, and 200+000 from 5 000 m on.
  const std::vector<KilometreRecord> posts = {{0, 120000}, {5000, 200000}};
  const struct {
    int64_t position, reading;
  } cases[] = {{0, 120000}, {4999, 124999}, {5000, 200000}, {9000, 204000}};
  for (const auto& c : cases) EXPECT_EQ(line_kilometre(posts, c.position), c.reading);
  // Before every record, and with none, the position itself.
  EXPECT_EQ(line_kilometre({{3000, 50000}}, 2000), 2000);
  EXPECT_EQ(line_kilometre({}, 2000), 2000);

  TrainRows rows = read_train_rows(train(std::string(kTwoStations) + "velocita, 7000, 80\r\n" +
                                         "rallentamento, 6000, 30, 50, 1, 1, 0\r\n"));
  rows.kilometres = posts;
  const std::vector<std::string> card = timetable_card_lines(rows, "R1");
  EXPECT_EQ(
      card_table(card),
      (std::vector<std::string>{
          " | 100 |     | 120+000  |     |ALFA                        |          08.00 |     |",
          " |  80 |     | 202+000  |     |cippo Km 202+000            |                |     |",
          " |     |     | 204+000  |     |OMEGA                       |08.10           |     |"}));
  EXPECT_EQ(slow_order_form_lines(rows, "L", "R1")[12],
            " |O1 |ALFA-OMEGA                  |  2O1+OOO   |   3O     |   5O    |      A     |");
}

TEST(Documents, KilometreRecordsComeFromTheCompiledTable) {
  model::ItemTable table{};
  // Slot 81 ("tre", greatest position) and 83 ("uno"); slot 82 left empty.
  table[81].area_start = 8000;
  table[81].area_end = 30100;
  table[81].item_position = 1;
  table[83].area_start = 0;
  table[83].area_end = 12000;
  const std::vector<KilometreRecord> records = kilometre_records(table);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].position, 0);
  EXPECT_EQ(records[0].value, 12000);
  EXPECT_EQ(records[1].position, 8000);
  EXPECT_EQ(records[1].value, 30100);
  EXPECT_TRUE(kilometre_records(model::ItemTable{}).empty());
}

}  // namespace
}  // namespace documents
