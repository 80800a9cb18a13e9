// Description rows laid out for a person to read and edit: one row per line,
// the values of rows with the same keyword in aligned columns, and beside
// rows that stand at a position a note with its kilometre ("km 12+500").
//
// A note follows the row's last number after blanks, so the readers take it
// as a field of its own that passes no keyword test: it holds only "km", the
// kilometre and "+", never a minus sign (which would make the reader skip
// the next row's keyword), a bracket or a letter sequence of any keyword.
// Rows whose last field is a text (signs, stations) carry no note: the text
// runs to the end of the line.
//
// The text is Windows-1252 as given, lines ending in CR LF.
#ifndef SCENARIO_TOOLS_DECOMPILE_ROWS_H_
#define SCENARIO_TOOLS_DECOMPILE_ROWS_H_

#include <cstdint>
#include <deque>
#include <initializer_list>
#include <string>
#include <vector>

namespace decompile {

class RowWriter {
 public:
  void heading(std::string text);
  // keyword, v1, v2, ... and, for a position >= 0, its kilometre; `note`
  // (which must follow the rules above) replaces the kilometre.
  void row(std::string keyword, std::initializer_list<int64_t> values, int64_t position = -1,
           std::string note = {});
  void sign_row(int64_t position, std::string text);
  // The sixteen numbers of a station row, then its name.
  void station_row(std::initializer_list<int64_t> values, std::string name);
  void clock_row(int64_t hours, int64_t minutes, int64_t seconds);

  std::string text() const;
  int rows() const { return rows_; }

 private:
  struct Line {
    bool heading = false;
    std::string keyword;
    std::vector<std::string> cells;
    std::string separator = ", ";  // between cells
    std::string note;
  };
  std::deque<Line> lines_;  // thousands for a long line: never moved as they grow
  int rows_ = 0;
};

// "km 12+500" for 12500 m; empty for a negative position.
std::string km_note(int64_t position);

}  // namespace decompile

#endif  // SCENARIO_TOOLS_DECOMPILE_ROWS_H_
