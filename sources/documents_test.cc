// The three driver documents: the notes page, the slow-order form and the
// timetable card. Each is checked as its writer leaves it on disk, line by
// line against the forms of its tables, and (form and card) against the rows
// of the built-in train description that they repeat for the driver.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <regex>
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

std::vector<std::string_view> lines_of(std::span<const std::string_view> text) {
  std::span<const std::string_view> lines = lines_before_sentinel(text);
  return {lines.begin(), lines.end()};
}

std::string trim(std::string_view s) {
  size_t b = s.find_first_not_of(' ');
  if (b == std::string_view::npos) return {};
  size_t e = s.find_last_not_of(' ');
  return std::string(s.substr(b, e - b + 1));
}

std::string upper(std::string_view s) {
  std::string u(s);
  for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return u;
}

// Blanks at the end of a line.
size_t trailing_blanks(std::string_view s) {
  size_t e = s.find_last_not_of(' ');
  return e == std::string_view::npos ? s.size() : s.size() - e - 1;
}

// ---------------------------------------------------------------------------
// The rows of the train description that the documents repeat, read from its
// built-in lines (comma-separated fields, the station name last).

struct Station {
  int32_t position = 0;
  int32_t stop_time = 0;  // seconds
  int32_t time = 0;       // seconds since midnight; 0 when the row has none
  std::string name;
};

struct Slowdown {
  int32_t x = 0;
  int32_t v = 0;
  int32_t l = 0;
  int32_t f_ta = 0;
};

struct TrainRows {
  std::vector<Station> stations;
  std::vector<Slowdown> slowdowns;
  std::vector<int32_t> limits;  // the "velocita" speeds, in row order
  int32_t braked_mass = 0;
};

std::vector<std::string> split_commas(std::string_view line) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (true) {
    size_t comma = line.find(',', start);
    fields.push_back(std::string(line.substr(start, comma - start)));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return fields;
}

int32_t number(const std::string& field) { return static_cast<int32_t>(std::stol(field)); }

TrainRows read_train_rows() {
  TrainRows rows;
  for (std::string_view line : lines_of(train_description_text())) {
    std::vector<std::string> f = split_commas(line);
    std::string key = trim(f[0]);
    if (key == "stazione") {
      EXPECT_EQ(f.size(), 18u) << line;
      if (f.size() != 18) continue;
      rows.stations.push_back({number(f[1]), number(f[13]),
                               number(f[14]) * 3600 + number(f[15]) * 60 + number(f[16]),
                               trim(f[17])});
    } else if (key == "rallentamento") {
      EXPECT_EQ(f.size(), 7u) << line;
      if (f.size() != 7) continue;
      rows.slowdowns.push_back({number(f[1]), number(f[2]), number(f[3]), number(f[5])});
    } else if (key == "velocita") {
      EXPECT_EQ(f.size(), 3u) << line;
      if (f.size() != 3) continue;
      rows.limits.push_back(number(f[2]));
    } else if (key == "percentuale massa frenata") {
      rows.braked_mass = number(f[1]);
    }
  }
  return rows;
}

class TrainRowsTest : public testing::Test {
 protected:
  void SetUp() override {
    train_ = read_train_rows();
    ASSERT_EQ(train_.stations.size(), 27u) << "the train description is not there yet";
    ASSERT_EQ(train_.slowdowns.size(), 5u);
  }
  TrainRows train_;
};

// ---------------------------------------------------------------------------
// The files as the writers leave them.

class DocumentFilesTest : public testing::Test {
 protected:
  void SetUp() override {
    s_.app_path = dir_.path().string();
    s_.line_name = "BRENTALVO";
    s_.train_code = "TRN4417";
  }
  platform::ScopedTempDir dir_{"documents_test"};
  model::Scenario s_;
};

TEST_F(DocumentFilesTest, EachWriterLeavesItsLinesWithTheirEnds) {
  struct Case {
    void (*writer)(const model::Scenario&);
    const char* file;
    std::span<const std::string_view> (*text)();
    size_t lines;
    std::string first_bytes;
    std::string last_bytes;
  };
  const Case cases[] = {
      {dati_note, "BRENTALVO_TRN4417_note.txt", notes_text, 69, std::string(15, ' ') + "\r\n",
       "@amici-del-brentalvo.example    \r\n"},
      {dati_rallentamenti, "BRENTALVO_TRN4417_rallentamenti.txt", slow_order_form_text, 46,
       "\r\n                               Modulo M. 3\r\n",
       "\r\n     i giorni esclusi i seguenti:.........\r\n"},
      {dati_scheda, "BRENTALVO_TRN4417_scheda_treno.txt", timetable_card_text, 59, "\r\n\r\n  ___",
       "\r\n\r\nIL PRESENTE ORARIO SI RIFERISCE AD UN REGIONALE CHE SI EFFETTUAVA NELL'ESTATE "
       "1995\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    std::span<const std::string_view> text = c.text();
    ASSERT_EQ(text.size(), c.lines + 1);
    EXPECT_EQ(text[c.lines], kEndSentinel);

    // An older file of the same name is replaced whole.
    const std::string path = platform::join_path(s_.app_path, c.file);
    platform::replace_file(platform::real_file_system(), path, std::string(20000, 'x'));
    c.writer(s_);
    const std::string bytes = platform::read_file(platform::real_file_system(), path);

    std::string expected;
    for (size_t i = 0; i < c.lines; ++i) {
      // A line holds no line end of its own and only ASCII.
      EXPECT_EQ(text[i].find_first_of("\r\n"), std::string_view::npos) << i;
      EXPECT_TRUE(std::all_of(text[i].begin(), text[i].end(), [](char ch) {
        return ch >= ' ' && ch <= '~';
      })) << i;
      expected.append(text[i]).append("\r\n");
    }
    EXPECT_EQ(bytes, expected);
    size_t line_ends = 0;
    for (size_t p = bytes.find("\r\n"); p != std::string::npos; p = bytes.find("\r\n", p + 2)) {
      ++line_ends;
    }
    EXPECT_EQ(line_ends, c.lines);
    EXPECT_TRUE(bytes.starts_with(c.first_bytes));
    EXPECT_TRUE(bytes.ends_with(c.last_bytes));
  }
}

// ---------------------------------------------------------------------------
// Notes document.

TEST(NotesTest, BlocksHaveTheirIndents) {
  const std::vector<std::string_view> n = lines_of(notes_text());
  ASSERT_EQ(n.size(), 69u);
  EXPECT_EQ(n[0], std::string(15, ' '));
  EXPECT_EQ(n[48], std::string(3, ' '));
  for (size_t i = 0; i < n.size(); ++i) {
    EXPECT_EQ(n[i].empty(), i == 26 || i == 34) << "only slots 26 and 34 are empty: " << i;
  }
  EXPECT_TRUE(n[1].starts_with(std::string(18, ' ') + "CENNI STORICI SULLA FERROVIA "));
  EXPECT_TRUE(n[1].ends_with(".") && n[1].size() > 48) << n[1];

  // Slot ranges of prose with the number of blanks before the text.
  struct Block {
    size_t first, last, indent;
  };
  for (Block b :
       {Block{2, 25, 4}, Block{27, 33, 4}, Block{35, 36, 4}, Block{38, 47, 4}, Block{49, 49, 9},
        Block{50, 66, 3}, Block{67, 67, 3}, Block{37, 37, 54}, Block{68, 68, 62}}) {
    for (size_t i = b.first; i <= b.last; ++i) {
      EXPECT_EQ(n[i].find_first_not_of(' '), b.indent) << "slot " << i;
    }
  }
  // Credits: a name from the fifth character, its contribution from the 55th.
  for (size_t i : {35, 36}) {
    EXPECT_EQ(n[i].substr(52, 2), "  ") << i;
    EXPECT_NE(n[i][54], ' ') << i;
  }
  EXPECT_NE(n[49].find('?'), std::string_view::npos);
  // Six activities, the second one running over into slot 57.
  for (size_t i = 50; i <= 66; ++i) {
    const bool activity = i >= 55 && i <= 61 && i != 57;
    EXPECT_EQ(n[i][3] == '-', activity) << "slot " << i;
  }
}

TEST(NotesTest, UpperCaseNoZeroAndAtMost107Characters) {
  const std::vector<std::string_view> n = lines_of(notes_text());
  size_t longest = 0;
  std::vector<std::pair<size_t, std::string>> lower_words;
  for (size_t i = 0; i < n.size(); ++i) {
    EXPECT_EQ(n[i].find('0'), std::string_view::npos) << "zero in slot " << i;
    longest = std::max(longest, n[i].size());
    if (i == 68) continue;  // the e-mail line
    size_t p = 0;
    while ((p = n[i].find_first_not_of(' ', p)) != std::string_view::npos) {
      size_t e = std::min(n[i].find(' ', p), n[i].size());
      std::string_view word = n[i].substr(p, e - p);
      if (std::any_of(word.begin(), word.end(),
                      [](char c) { return std::islower(static_cast<unsigned char>(c)) != 0; })) {
        lower_words.emplace_back(i, std::string(word));
      }
      p = e;
    }
  }
  EXPECT_EQ(longest, 107u);
  // One abbreviation in the history, and the web address.
  ASSERT_EQ(lower_words.size(), 2u);
  EXPECT_GE(lower_words[0].first, 2u);
  EXPECT_LE(lower_words[0].first, 25u);
  EXPECT_EQ(lower_words[1].first, 67u);
  EXPECT_TRUE(lower_words[1].second.ends_with(".example")) << lower_words[1].second;
}

TEST(NotesTest, ContactLines) {
  const std::vector<std::string_view> n = lines_of(notes_text());
  const std::string contact(n[67]);
  const std::regex contact_form(
      R"(   TELEFONO:(555 \d+ \d+) {6}FAX:(555 \d+ \d+) {6}([a-z.-]+\.example))");
  EXPECT_TRUE(std::regex_match(contact, contact_form)) << contact;
  const std::string mail(n[68]);
  const std::regex mail_form(std::string(62, ' ') + R"(e-mail  [a-z.-]+@[a-z.-]+\.example    )");
  EXPECT_TRUE(std::regex_match(mail, mail_form)) << mail;
}

// ---------------------------------------------------------------------------
// Slow-order form.

TEST(SlowOrderFormTest, FixedLines) {
  const std::vector<std::string_view> f = lines_of(slow_order_form_text());
  ASSERT_EQ(f.size(), 46u);
  const std::string rule =
      " |___|____________________________|____________|__________|_________|____________|";
  const std::string empty_row =
      " |   |                            |            |          |         |            |";
  struct Fixed {
    size_t slot;
    std::string text;
  };
  const Fixed fixed[] = {
      {0, ""},
      {1, std::string(31, ' ') + "Modulo M. 3"},
      {2, std::string(27, ' ') + "ORDINE DI RALLENTAMENTO"},
      {3, " " + std::string(80, '_')},
      {4, "  Linea  BRENTALVO"},
      {5, ""},
      {6, "  Si ordina al macchinista del treno 4417 di effettuare i seguenti rallentamenti"},
      {7, "  " + std::string(79, '_')},
      {8, " |   |                            |Inizio dopo |          |         |            |"},
      {9, " | N.|      FRA LE STAZIONI       | il cippo   | Velocita'|Lunghezza|Prescrizioni|"},
      {10, " |   |   (o nelle Stazioni di)    |chilometrico|          |   metri | specifiche |"},
      {11, rule},
      {14, " |O3 |CALDARENA-SORVIANO          |  75+85O    |   3O     |  8OO    |    A-B-D   |"},
      {38, rule},
      {39, ""},
      {40, std::string(14, ' ') + "Prescrizioni specifiche"},
      {41, " A - Da rispettare con tutto il treno (per i treni viaggiatori)"},
      {42, " B - Interessa anche la stazione di CALDARENA"},
      {43, " D - Avviso come da disposizioni varie per localita' di servizio"},
      {44, " C - Da rispettare dalle ore ....  alle ore ..... di tutti"},
      {45, "     i giorni esclusi i seguenti:........."},
  };
  for (const Fixed& x : fixed) EXPECT_EQ(f[x.slot], x.text) << "slot " << x.slot;
  for (size_t i = 17; i <= 37; ++i) EXPECT_EQ(f[i], empty_row) << "slot " << i;
}

TEST(SlowOrderFormTest, TableLinesAre82CharactersWithTheirColumns) {
  const std::vector<std::string_view> f = lines_of(slow_order_form_text());
  ASSERT_EQ(f.size(), 46u);
  const std::vector<size_t> bars = {1, 5, 34, 47, 58, 68, 81};
  for (size_t i = 8; i <= 38; ++i) {
    ASSERT_EQ(f[i].size(), 82u) << "slot " << i;
    std::vector<size_t> at;
    for (size_t p = 0; p < f[i].size(); ++p) {
      if (f[i][p] == '|') at.push_back(p);
    }
    EXPECT_EQ(at, bars) << "slot " << i;
  }
  EXPECT_EQ(f[3].size(), 81u);
  EXPECT_EQ(f[7].size(), 81u);
  // No digit zero anywhere: the rows write it as the letter O.
  for (size_t i = 0; i < f.size(); ++i) {
    EXPECT_EQ(f[i].find('0'), std::string_view::npos) << "slot " << i;
  }
}

// The form's text for a number: every zero becomes the letter O.
std::string with_o(std::string s) {
  std::replace(s.begin(), s.end(), '0', 'O');
  return s;
}

std::string padded(std::string s, size_t width) {
  s.resize(std::max(s.size(), width), ' ');
  return s;
}

std::string centred(const std::string& s, size_t width) {
  const size_t left = (width - s.size() + 1) / 2;
  return std::string(left, ' ') + s + std::string(width - left - s.size(), ' ');
}

using SlowOrderFormAgreement = TrainRowsTest;

// Each slowdown row of the description, as the form must show it: between
// the last station at or before its end and the next one, "B" when a station
// lies on the slowdown, "D" when it has no advance warning cells.
TEST_F(SlowOrderFormAgreement, RowsRepeatTheSlowdownsOfTheTrainDescription) {
  const std::vector<std::string_view> f = lines_of(slow_order_form_text());
  ASSERT_EQ(f.size(), 46u);
  std::vector<std::string> covered;
  for (size_t k = 0; k < train_.slowdowns.size(); ++k) {
    const Slowdown& r = train_.slowdowns[k];
    const int64_t end = int64_t{r.x} + r.l;
    size_t before = 0;
    for (size_t i = 0; i < train_.stations.size(); ++i) {
      if (train_.stations[i].position <= end) before = i;
    }
    ASSERT_LT(before + 1, train_.stations.size());
    std::string letters = "A";
    for (const Station& st : train_.stations) {
      if (st.position >= r.x && st.position <= end) {
        letters += "-B";
        covered.push_back(st.name);
      }
    }
    if (r.f_ta == 0) letters += "-D";

    char start[32];
    std::snprintf(start, sizeof start, "%d+%03d", r.x / 1000, r.x % 1000);
    char length[32];
    std::snprintf(length, sizeof length, "%5d", r.l);
    const std::string expected =
        " |" + with_o("0" + std::to_string(k + 1)) + " |" +
        padded(train_.stations[before].name + "-" + train_.stations[before + 1].name, 28) + "|" +
        padded("  " + with_o(start), 12) + "|" + padded("   " + with_o(std::to_string(r.v)), 10) +
        "|" + with_o(length) + "    |" + centred(letters, 12) + "|";
    EXPECT_EQ(f[12 + k], expected) << "slowdown at " << r.x;
  }
  // Prescription B names the station that the slowdown covers.
  ASSERT_EQ(covered.size(), 1u);
  EXPECT_EQ(f[42], " B - Interessa anche la stazione di " + covered[0]);
}

// ---------------------------------------------------------------------------
// Timetable card.

TEST(TimetableCardTest, FixedLines) {
  const std::vector<std::string_view> c = lines_of(timetable_card_text());
  ASSERT_EQ(c.size(), 59u);
  const std::string rule =
      " |_____|_____|__________|_____|____________________________|________________|_____|";
  struct Fixed {
    size_t slot;
    std::string text;
  };
  const Fixed fixed[] = {
      {0, ""},
      {1, ""},
      {2, "  " + std::string(19, '_') + std::string(47, ' ') + std::string(14, '_')},
      {3, " |                   |                    SCHEDA TRENO             |              |"},
      {4, " |   TRENO n.4417    |                   da: ZARNETTO              |    V140 B    |"},
      {5, " |___________________|                    a: PALVESCO              |     115%     |"},
      {6, std::string(67, ' ') + "|" + std::string(14, '_') + "|"},
      {7, "  " + std::string(19, '_') + std::string(16, ' ') + std::string(19, '_')},
      {8, " |  CLASSIFICAZIONE  |              |  MASSA BLOCCATA   |       "},
      {9, " |        REG        |              |      360T         |"},
      {10, " |___________________|              |___________________|"},
      {11, ""},
      {12, "  " + std::string(80, '_')},
      {13, " | Vel.| Vel.| Progr Km |  No |   Localita' di  Servizio   |     Orario     | Rec |"},
      {14, " | Lim.|Marc.|          |  Rs |                            |                |     |"},
      {15, rule},
      {16, " |  95 |  85 |   0+000  |     |ZARNETTO                    |          07.29 |     |"},
      {52, " |     |     |  99+986  |     |PALVESCO (SIMULATA)         |09.45           |     |"},
      {53, " |     |     |          |     |                            |                |     |"},
      {54, " |     |     |          |     |                            |                |     |"},
      {55, " |     |     |          |     |                            |                |     |"},
      {56, rule},
      {57, ""},
      {58, "IL PRESENTE ORARIO SI RIFERISCE AD UN REGIONALE CHE SI EFFETTUAVA NELL'ESTATE 1995"},
  };
  for (const Fixed& x : fixed) EXPECT_EQ(c[x.slot], x.text) << "slot " << x.slot;

  // Rows whose place in the table is the card's own choice.
  for (std::string_view row : {
           " | 140 |  90 |   1+200  |     |cippo Km 1+200              |                |     |    "
           " ",
           " |     |     |  14+431  |     |CORVAGNO....................|07.49     07.49+|     |",
           " |     |     |  86+790  |     |culmine                     |     09.26      |     |",
       }) {
    EXPECT_NE(std::find(c.begin() + 16, c.begin() + 53, row), c.begin() + 53) << row;
  }
}

// One timetable row cut into its seven columns.
struct CardRow {
  std::string c1, c2, progressive, c4, location, times, rec;
};

CardRow cut(std::string_view line) {
  auto col = [&](size_t from, size_t width) { return std::string(line.substr(from, width)); };
  return {col(2, 5), col(8, 5), col(14, 10), col(25, 5), col(31, 28), col(60, 16), col(77, 5)};
}

// A time of the card, "HH.MM" and its half-minute mark, from seconds.
std::string card_time(int32_t seconds) {
  char t[32];
  std::snprintf(t, sizeof t, "%02d.%02d%c", seconds / 3600, seconds / 60 % 60,
                seconds % 60 == 30 ? '+' : ' ');
  return t;
}

// Seconds of a card time "HH.MM" with an optional mark.
int32_t seconds_of(std::string_view t) {
  return (std::stoi(std::string(t.substr(0, 2))) * 60 + std::stoi(std::string(t.substr(3, 2)))) *
             60 +
         (t.size() > 5 && t[5] == '+' ? 30 : 0);
}

// Metres of a progressive "km+mmm" (leading blanks allowed).
int32_t metres_of(const std::string& progressive) {
  const std::string p = trim(progressive);
  const size_t plus = p.find('+');
  return std::stoi(p.substr(0, plus)) * 1000 + std::stoi(p.substr(plus + 1));
}

int32_t speed_of(const std::string& column) { return column == "     " ? 0 : std::stoi(column); }

enum class Kind { kOrigin, kStop, kPassing, kSpeedChange, kDestination };

// The kind of a row, told from its time column.
Kind kind_of(const CardRow& r) {
  const std::string_view t = r.times;
  const std::string_view blank = "                ";
  if (t == blank) return Kind::kSpeedChange;
  if (t.substr(0, 5) == blank.substr(0, 5)) {
    return t.substr(5, 5) == blank.substr(0, 5) ? Kind::kOrigin : Kind::kPassing;
  }
  return t.substr(10, 5) == blank.substr(0, 5) ? Kind::kDestination : Kind::kStop;
}

TEST(TimetableCardTest, TableLinesAndRowForms) {
  const std::vector<std::string_view> c = lines_of(timetable_card_text());
  ASSERT_EQ(c.size(), 59u);
  const std::vector<size_t> bars = {1, 7, 13, 24, 30, 59, 76, 82};
  for (size_t i = 13; i <= 56; ++i) {
    const size_t blanks = i >= 16 && i <= 52 ? trailing_blanks(c[i]) : 0;
    ASSERT_EQ(c[i].size() - blanks, 83u) << "slot " << i;
    std::vector<size_t> at;
    for (size_t p = 0; p < c[i].size(); ++p) {
      if (c[i][p] == '|') at.push_back(p);
    }
    EXPECT_EQ(at, bars) << "slot " << i;
  }

  const std::regex time(R"(\d\d\.\d\d[ +])");
  const std::regex minute(R"(\d\d\.\d\d)");
  const std::regex progressive(R"( *\d{1,2}\+\d{3}  )");
  const std::regex speed(R"( *\d{2,3} )");
  int counts[5] = {};
  std::vector<int32_t> column1, column2;
  int32_t last_metres = -1, last_time = 0;
  int with_trailing_blanks = 0;
  std::vector<std::string> prefixes;
  for (size_t i = 16; i <= 52; ++i) {
    SCOPED_TRACE(std::string(c[i]));
    const CardRow r = cut(c[i]);
    const Kind kind = kind_of(r);
    ++counts[static_cast<int>(kind)];
    EXPECT_TRUE(std::regex_match(r.progressive, progressive));
    EXPECT_GT(metres_of(r.progressive), last_metres);
    last_metres = metres_of(r.progressive);
    EXPECT_EQ(r.c4, "     ");
    for (const std::string* col : {&r.c1, &r.c2}) {
      EXPECT_TRUE(*col == "     " || std::regex_match(*col, speed)) << *col;
    }
    if (speed_of(r.c1) != 0) column1.push_back(speed_of(r.c1));
    if (speed_of(r.c2) != 0) column2.push_back(speed_of(r.c2));
    EXPECT_TRUE(r.rec == "     " ||
                (kind == Kind::kStop && (r.rec == "  1  " || r.rec == " 1.5 ")));

    const std::string name = trim(r.location);
    std::string_view t = r.times;
    int32_t row_time = 0;
    switch (kind) {
      case Kind::kOrigin:
        EXPECT_EQ(t.substr(0, 10), std::string(10, ' '));
        EXPECT_TRUE(std::regex_match(std::string(t.substr(10)), time));
        row_time = seconds_of(t.substr(10));
        break;
      case Kind::kStop: {
        // The name filled out to the column with dots.
        const size_t dots = r.location.find_last_not_of('.') + 1;
        EXPECT_LT(dots, 28u);
        EXPECT_EQ(r.location.find('.', dots), dots);
        const std::string arrival(t.substr(0, 6)), departure(t.substr(10, 6));
        EXPECT_TRUE(std::regex_match(arrival, time) && std::regex_match(departure, time));
        EXPECT_EQ(t.substr(6, 4), "    ");
        EXPECT_LT(seconds_of(arrival), seconds_of(departure));
        EXPECT_GE(seconds_of(arrival), last_time);
        row_time = seconds_of(departure);
        break;
      }
      case Kind::kPassing:
        EXPECT_TRUE(std::regex_match(std::string(t.substr(5, 5)), minute));
        EXPECT_EQ(t.substr(10), std::string(6, ' '));
        EXPECT_EQ(r.location.find('.'), std::string::npos);
        row_time = seconds_of(t.substr(5, 5));
        break;
      case Kind::kDestination:
        EXPECT_TRUE(std::regex_match(std::string(t.substr(0, 5)), minute));
        EXPECT_EQ(t.substr(5), std::string(11, ' '));
        EXPECT_TRUE(name.ends_with(" (SIMULATA)"));
        row_time = seconds_of(t.substr(0, 5));
        EXPECT_EQ(i, 52u);
        break;
      case Kind::kSpeedChange:
        EXPECT_NE(speed_of(r.c1), 0);
        for (std::string_view prefix : {"cippo Km ", "dev.u.", "imb.gall.", "sc.ester."}) {
          if (name.starts_with(prefix)) prefixes.emplace_back(prefix);
        }
        // A kilometre post is named by its own progressive.
        if (name.starts_with("cippo Km ")) {
          EXPECT_EQ(name.substr(9), trim(r.progressive));
        }
        if (trailing_blanks(c[i]) > 0) {
          ++with_trailing_blanks;
          EXPECT_LE(trailing_blanks(c[i]), 8u);
        }
        break;
    }
    if (kind != Kind::kSpeedChange) {
      EXPECT_EQ(trailing_blanks(c[i]), 0u);
      EXPECT_GE(row_time, last_time);
      last_time = row_time;
    }
  }
  EXPECT_EQ(counts[static_cast<int>(Kind::kOrigin)], 1);
  EXPECT_EQ(counts[static_cast<int>(Kind::kStop)], 21);
  EXPECT_EQ(counts[static_cast<int>(Kind::kPassing)], 5);
  EXPECT_EQ(counts[static_cast<int>(Kind::kSpeedChange)], 9);
  EXPECT_EQ(counts[static_cast<int>(Kind::kDestination)], 1);
  EXPECT_EQ(with_trailing_blanks, 6);
  EXPECT_EQ(column1, (std::vector<int32_t>{95, 140, 100, 115, 95, 105, 80, 75, 60, 75}));
  EXPECT_EQ(column2, (std::vector<int32_t>{85, 90, 85, 90, 70, 65, 55}));
  std::sort(prefixes.begin(), prefixes.end());
  EXPECT_EQ(prefixes,
            (std::vector<std::string>{"cippo Km ", "cippo Km ", "cippo Km ", "cippo Km ",
                                      "cippo Km ", "dev.u.", "dev.u.", "imb.gall.", "sc.ester."}));
  // Outside the rows, only slot 8 keeps blanks at its end.
  for (size_t i = 0; i < c.size(); ++i) {
    if (i < 16 || i > 52) {
      EXPECT_EQ(trailing_blanks(c[i]) > 0, i == 8) << "slot " << i;
    }
  }
}

// The tunnel whose mouth changes the limit is one that the route signs name.
TEST(TimetableCardTest, TunnelMouthIsATunnelOfTheRoute) {
  std::string tunnel;
  for (std::string_view line : lines_of(timetable_card_text())) {
    if (line.size() > 59 && line.substr(31, 9) == "imb.gall.") tunnel = trim(line.substr(40, 19));
  }
  ASSERT_FALSE(tunnel.empty());
  bool signed_on_route = false;
  for (std::string_view line : lines_of(route_description_text())) {
    signed_on_route |= line.starts_with("cartello_indicatore") &&
                       line.find("(GALLERIA") != std::string_view::npos &&
                       line.find("(" + tunnel + " ") != std::string_view::npos;
  }
  EXPECT_TRUE(signed_on_route) << tunnel;
}

using TimetableCardAgreement = TrainRowsTest;

// The stations of the description appear on the card in their order: the
// origin, then a stop for every station with a time and a stop time (departing
// at its time, arriving its stop time earlier, to the nearest half minute), a
// passing point for every station without a time, and the destination.
TEST_F(TimetableCardAgreement, StationsAndStopsFollowTheTrainDescription) {
  const std::vector<std::string_view> c = lines_of(timetable_card_text());
  ASSERT_EQ(c.size(), 59u);
  std::vector<std::string> named;  // station rows in card order, upper case
  std::vector<std::string> stop_rows, expected_stops;
  for (size_t i = 16; i <= 52; ++i) {
    const CardRow r = cut(c[i]);
    std::string name = trim(r.location);
    switch (kind_of(r)) {
      case Kind::kStop:
        name = name.substr(0, name.find_last_not_of('.') + 1);
        stop_rows.push_back(upper(name) + " " + r.times);
        break;
      case Kind::kDestination:
        name = name.substr(0, name.size() - std::string_view(" (SIMULATA)").size());
        break;
      case Kind::kPassing:
        if (name == "culmine") continue;
        break;
      case Kind::kSpeedChange:
        continue;
      case Kind::kOrigin:
        EXPECT_EQ(r.times.substr(10), card_time(train_.stations.front().time));
        break;
    }
    named.push_back(upper(name));
  }

  std::vector<std::string> stations;
  for (size_t k = 0; k < train_.stations.size(); ++k) {
    const Station& st = train_.stations[k];
    stations.push_back(st.name);
    if (k > 0 && st.time != 0 && st.stop_time != 0) {
      const int32_t arrival = (st.time - st.stop_time + 15) / 30 * 30;
      expected_stops.push_back(st.name + " " + card_time(arrival) + "    " + card_time(st.time));
    }
  }
  EXPECT_EQ(named, stations);
  EXPECT_EQ(stop_rows, expected_stops);
  ASSERT_EQ(expected_stops.size(), 21u);

  // Passing points are the stations that have no time.
  std::vector<std::string> passing, timeless;
  for (size_t i = 16; i <= 52; ++i) {
    const CardRow r = cut(c[i]);
    if (kind_of(r) == Kind::kPassing && trim(r.location) != "culmine") {
      passing.push_back(trim(r.location));
    }
  }
  for (const Station& st : train_.stations) {
    if (st.time == 0) timeless.push_back(st.name);
  }
  EXPECT_EQ(passing, timeless);

  // Header: origin and destination, the highest limit and the braked mass.
  EXPECT_NE(c[4].find("da: " + train_.stations.front().name + " "), std::string_view::npos);
  EXPECT_NE(c[5].find("a: " + train_.stations.back().name + " "), std::string_view::npos);
  const int32_t top = *std::max_element(train_.limits.begin(), train_.limits.end());
  EXPECT_NE(c[4].find("V" + std::to_string(top) + " B"), std::string_view::npos);
  EXPECT_NE(c[5].find(std::to_string(train_.braked_mass) + "%"), std::string_view::npos);

  // Column 1 holds the limits of the description in order, leaving out the
  // 30 km/h limits through stations and the return to the limit in force
  // before them.
  std::vector<int32_t> limits, column1;
  for (int32_t v : train_.limits) {
    if (v != 30 && (limits.empty() || limits.back() != v)) limits.push_back(v);
  }
  for (size_t i = 16; i <= 52; ++i) {
    if (speed_of(cut(c[i]).c1) != 0) column1.push_back(speed_of(cut(c[i]).c1));
  }
  EXPECT_EQ(column1, limits);
}

}  // namespace
}  // namespace sources
