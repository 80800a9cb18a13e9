// The built-in route description holds the rows, counts, order, spacing and
// statistics of the line BRENTALVO. The table is parsed here row by row.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "sources/builtin_texts.h"
#include "sources/line_writer.h"

namespace sources {
namespace {

// The rows of the section whose heading stands in `heading_slot`, up to the
// next heading.
std::vector<std::string> section(size_t heading_slot) {
  std::span<const std::string_view> text = route_description_text();
  std::vector<std::string> rows;
  for (size_t i = heading_slot + 1; i < text.size() && !text[i].starts_with("["); ++i) {
    rows.emplace_back(text[i]);
  }
  return rows;
}

// Each row of a section must match `pattern`; returns the captured numbers.
std::vector<std::vector<long>> numbers(const std::vector<std::string>& rows,
                                       const std::string& pattern) {
  const std::regex re(pattern);
  std::vector<std::vector<long>> out;
  for (const std::string& row : rows) {
    std::smatch m;
    EXPECT_TRUE(std::regex_match(row, m, re)) << row;
    std::vector<long> values;
    for (size_t g = 1; g < m.size(); ++g) values.push_back(std::stol(m[g].str()));
    out.push_back(values);
  }
  return out;
}

TEST(RouteTextTest, LinesHeadingsAndSentinel) {
  std::span<const std::string_view> text = route_description_text();
  ASSERT_EQ(text.size(), 472u);
  EXPECT_EQ(text[471], kEndSentinel);
  EXPECT_EQ(lines_before_sentinel(text).size(), 471u);

  const std::map<size_t, std::string_view> headings = {
      {0, "[generale]"},   {9, "[curve]"},         {193, "[pendenze]"}, {366, "[montagne]"},
      {407, "[cartelli]"}, {418, "[indicazioni]"}, {470, "[fine]"}};
  size_t longest = 0;
  int degree_signs = 0;
  for (size_t i = 0; i < 471; ++i) {
    SCOPED_TRACE(i);
    const std::string_view line = text[i];
    auto heading = headings.find(i);
    if (heading != headings.end()) {
      EXPECT_EQ(line, heading->second);
    } else {
      EXPECT_FALSE(line.starts_with("[")) << line;
      EXPECT_FALSE(line.empty());
    }
    longest = std::max(longest, line.size());
    for (char c : line) {
      const unsigned char byte = static_cast<unsigned char>(c);
      EXPECT_TRUE((byte >= 0x20 && byte < 0x7F) || byte == 0xB0) << int{byte};
      if (byte == 0xB0) {
        ++degree_signs;
        EXPECT_TRUE(line.starts_with("cartello_indicatore,")) << line;
      }
    }
  }
  EXPECT_EQ(longest, 85u);
  EXPECT_EQ(degree_signs, 12);
}

TEST(RouteTextTest, GeneralRows) {
  const std::vector<std::string> want = {"lunghezza percorso,    100000",
                                         "progressiva chilometrica uno,    0,    0,    0",
                                         "progressiva chilometrica due,    0,    0,    0",
                                         "progressiva chilometrica tre,    0,    0,    0",
                                         "sfondo uno,    1",
                                         "sfondo due,    20000",
                                         "sfondo tre,    30500",
                                         "ripetizione segnali 4 codici,    0    ,0"};
  EXPECT_EQ(section(0), want);
}

TEST(RouteTextTest, Curves) {
  const std::vector<std::string> rows = section(9);
  ASSERT_EQ(rows.size(), 183u);
  EXPECT_EQ(rows.front(), "curvad4,  2150,  100");
  EXPECT_EQ(rows.back(), "curvas6,  97400,  300");
  std::map<std::string, int> per_key;
  for (const std::string& row : rows) ++per_key[row.substr(0, row.find(','))];
  const std::map<std::string, int> want_keys = {{"curvas6", 56}, {"curvad6", 51}, {"curvas5", 25},
                                                {"curvad5", 22}, {"curvad4", 14}, {"curvas4", 10},
                                                {"curvas3", 3},  {"curvad3", 2}};
  EXPECT_EQ(per_key, want_keys);

  const auto v = numbers(rows, R"(curva[ds][1-6],  ([0-9]+),  ([0-9]+))");
  int touching = 0;
  for (size_t i = 0; i < v.size(); ++i) {
    SCOPED_TRACE(rows[i]);
    ASSERT_EQ(v[i].size(), 2u);
    const long start = v[i][0], length = v[i][1];
    EXPECT_EQ(start % 50, 0);
    EXPECT_EQ(length % 50, 0);
    EXPECT_GE(start, 2150);
    EXPECT_LE(start, 97400);
    // The longest and the shortest curve are single rows.
    if (length == 1150) {
      EXPECT_EQ(rows[i], "curvad4,  23100,  1150");
    }
    if (length == 50) {
      EXPECT_EQ(rows[i], "curvas6,  75000,  50");
    }
    EXPECT_GE(length, 50);
    EXPECT_LE(length, 1150);
    if (i + 1 < v.size()) {
      EXPECT_LE(start + length, v[i + 1][0]);  // ends at or before the next start
      if (start + length == v[i + 1][0]) ++touching;
    }
  }
  EXPECT_EQ(touching, 48);
  EXPECT_NE(std::find(rows.begin(), rows.end(), "curvad4,  23100,  1150"), rows.end());
  EXPECT_NE(std::find(rows.begin(), rows.end(), "curvas6,  75000,  50"), rows.end());
}

TEST(RouteTextTest, Gradients) {
  const std::vector<std::string> rows = section(193);
  ASSERT_EQ(rows.size(), 172u);
  EXPECT_EQ(rows.front(), "pendenza,  850,   4");
  EXPECT_EQ(rows[1].substr(0, 16), "pendenza,  2150,");  // the cells 17 .. 42 carry 104
  EXPECT_EQ(rows.back(), "pendenza,  93950,   -20");
  const auto v = numbers(rows, R"(pendenza,  ([0-9]+),   (-?[0-9]+))");
  int positive = 0, negative = 0, zero = 0;
  std::vector<long> at_22, at_minus_22;
  for (size_t i = 0; i < v.size(); ++i) {
    SCOPED_TRACE(rows[i]);
    ASSERT_EQ(v[i].size(), 2u);
    const long p = v[i][0], g = v[i][1];
    EXPECT_EQ(p % 50, 0);
    if (i > 0) {
      EXPECT_GT(p, v[i - 1][0]);
    }
    EXPECT_GE(g, -22);
    EXPECT_LE(g, 22);
    positive += g > 0;
    negative += g < 0;
    zero += g == 0;
    if (g == 22) at_22.push_back(p);
    if (g == -22) at_minus_22.push_back(p);
  }
  EXPECT_EQ(positive, 116);
  EXPECT_EQ(negative, 30);
  EXPECT_EQ(zero, 26);
  ASSERT_EQ(at_22.size(), 3u);
  ASSERT_EQ(at_minus_22.size(), 3u);
  EXPECT_EQ(at_22.front(), 69950);
  EXPECT_EQ(at_minus_22.front(), 89100);
  EXPECT_NE(std::find(rows.begin(), rows.end(), "pendenza,  69950,   22"), rows.end());
  EXPECT_NE(std::find(rows.begin(), rows.end(), "pendenza,  89100,   -22"), rows.end());
}

TEST(RouteTextTest, MountainStretches) {
  const std::vector<std::string> rows = section(366);
  ASSERT_EQ(rows.size(), 40u);
  EXPECT_EQ(rows.front(), "montagna,   31050,  31150,  12");
  EXPECT_EQ(rows.back(), "montagna,   95100,  95300,  2");
  const auto v = numbers(rows, R"(montagna,   ([0-9]+),  ([0-9]+),  ([0-9]+))");
  std::map<long, int> per_type;
  std::string first_11, longest;
  long longest_length = 0;
  for (size_t i = 0; i < v.size(); ++i) {
    SCOPED_TRACE(rows[i]);
    ASSERT_EQ(v[i].size(), 3u);
    const long start = v[i][0], end = v[i][1], type = v[i][2];
    EXPECT_EQ(start % 50, 0);
    EXPECT_EQ(end % 50, 0);
    EXPECT_GE(start, 31050);
    EXPECT_LE(start, 95100);
    EXPECT_GE(end - start, 50);
    EXPECT_LE(end - start, 750);
    if (i + 1 < v.size()) {  // no overlap with the next
      EXPECT_LE(end, v[i + 1][0]);
    }
    ++per_type[type];
    if (type == 11 && first_11.empty()) first_11 = rows[i];
    if (end - start > longest_length) {
      longest_length = end - start;
      longest = rows[i];
    } else if (end - start == longest_length) {
      longest += " and " + rows[i];  // a tie: the longest stretch is not one row
    }
  }
  EXPECT_EQ(per_type, (std::map<long, int>{{1, 15}, {2, 15}, {11, 4}, {12, 6}}));
  EXPECT_EQ(first_11, "montagna,   47300,  47450,  11");
  EXPECT_EQ(longest, "montagna,   46500,  47250,  1");
}

TEST(RouteTextTest, SpeedIndicators) {
  const std::vector<std::string> rows = section(407);
  ASSERT_EQ(rows.size(), 10u);
  EXPECT_EQ(rows.front(), "indicatori_vmax,  600,  90,  95,  95,  0,  ,  ,  ,  0");
  EXPECT_EQ(rows.back(), "indicatori_vmax,  94050,  70,  75,  75,  0,  ,  ,  ,  0");
  // Left side only: three speeds, the last two the same and at least the
  // first, no stripes; the right side empty.
  const auto v = numbers(rows, R"(indicatori_vmax,  ([0-9]+),  ([0-9]+),  ([0-9]+),  ([0-9]+),)"
                               R"(  0,  ,  ,  ,  0)");
  long previous = 0;
  for (size_t i = 0; i < v.size(); ++i) {
    SCOPED_TRACE(rows[i]);
    ASSERT_EQ(v[i].size(), 4u);
    EXPECT_EQ(v[i][0] % 50, 0);
    EXPECT_GT(v[i][0], previous);
    previous = v[i][0];
    EXPECT_EQ(v[i][2], v[i][3]);
    EXPECT_GE(v[i][2], v[i][1]);
    EXPECT_EQ(v[i][1] % 5, 0);
    EXPECT_EQ(v[i][2] % 5, 0);
  }
}

TEST(RouteTextTest, RouteSigns) {
  const std::vector<std::string> rows = section(418);
  ASSERT_EQ(rows.size(), 51u);
  EXPECT_EQ(
      rows[0],
      "cartello_indicatore,  31000,   (GALLERIA        )(VALSORNA        )(Mt.116 Km.31+044)");
  EXPECT_EQ(rows[50], "cartello_indicatore,  95050,   (GALLERIA ARTIF.)(Mt140 Km.95+137)");
  for (std::string_view quoted :
       {"cartello_indicatore,  86750,   ( CULMINE )(Km.86+750)",
        "cartello_indicatore,  32250,   (GALLERIA       )(ARTIFICIALE    )(Mt.79 Km.32+340)"}) {
    EXPECT_NE(std::find(rows.begin(), rows.end(), quoted), rows.end()) << quoted;
  }

  const std::regex row_re(R"(cartello_indicatore,  ([0-9]+),   ((\([^()]*\))+))");
  const std::regex sign_line(R"(\(([^()]*)\))");
  const std::regex regular_last(R"(Mt\.[0-9]+ Km\.[0-9]+\+[0-9]{3})");
  std::map<size_t, int> per_width, per_line_count;
  std::map<std::string, int> per_kind;
  int irregular = 0, blank_first = 0;
  long previous = 0;
  for (const std::string& row : rows) {
    SCOPED_TRACE(row);
    std::smatch m;
    ASSERT_TRUE(std::regex_match(row, m, row_re));
    const long p = std::stol(m[1].str());
    EXPECT_EQ(p % 50, 0);
    EXPECT_GT(p, previous);
    previous = p;

    // The sign lines, each in parentheses, all padded to one inner width.
    std::vector<std::string> lines;
    const std::string signs = m[2].str();
    for (std::sregex_iterator it(signs.begin(), signs.end(), sign_line), end; it != end; ++it) {
      lines.push_back((*it)[1].str());
    }
    ++per_line_count[lines.size()];
    const size_t width = lines[0].size();
    ++per_width[width];
    for (const std::string& line : lines) {
      EXPECT_EQ(line.size(), width) << line;
      blank_first += line.starts_with(" ");
    }
    // The padding is on the right: the widest line fills the width.
    bool filled = false;
    for (const std::string& line : lines) filled |= line.back() != ' ';
    EXPECT_TRUE(filled);

    const std::string first = lines[0].substr(lines[0].find_first_not_of(' '));
    std::string kind = "?";
    for (const char* k : {"GALLERIA", "GALL.", "VIADOTTO", "PONTE IN FERRO", "CULMINE"}) {
      if (first.starts_with(k)) {
        kind = k;
        break;
      }
    }
    ++per_kind[kind];
    std::string last = lines.back();
    last.erase(last.find_last_not_of(' ') + 1);
    irregular += !std::regex_match(last, regular_last);
  }
  EXPECT_EQ(per_width, (std::map<size_t, int>{{16, 27}, {15, 22}, {11, 1}, {9, 1}}));
  EXPECT_EQ(per_line_count, (std::map<size_t, int>{{3, 49}, {2, 2}}));
  EXPECT_EQ(
      per_kind,
      (std::map<std::string, int>{
          {"GALLERIA", 39}, {"GALL.", 1}, {"VIADOTTO", 7}, {"PONTE IN FERRO", 3}, {"CULMINE", 1}}));
  EXPECT_EQ(irregular, 10);
  EXPECT_GT(blank_first, 1);
}

}  // namespace
}  // namespace sources
