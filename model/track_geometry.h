// Where things lie on the track: the cell of a position for each kind of
// row, the size of the track from the route's length, and the clock as text.
//
// The track is a row of cells of kCellLength (50) metres. Every rounding is
// platform::round_half_even, halves to even, taken on the whole expression:
// an item's cell is round(p / 50 + 1), which differs from round(p / 50) + 1 at
// the odd multiples of 25 m (25 m is cell 2, 75 m is cell 2, 125 m is cell 4).
//
//   row_cell    round(p / 50)      gradient, speed limit, adhesion and
//                                  "abbattimento" rows; a mountain stretch's
//                                  first cell; the cell before a slowdown's
//                                  warning cell (at x - 1200)
//   item_cell   round(p / 50 + 1)  route signs, speed indicators, signals,
//                                  a slowdown's warning, start and end cells
//   last_cell   round(p / 50 - 1)  a mountain stretch's last cell
//
// Positions are whole metres; their cells are far inside 32 bits (|p / 50| <
// 2^33 / 50 for the sums of two 32-bit values the readers pass).
#ifndef SCENARIO_MODEL_TRACK_GEOMETRY_H_
#define SCENARIO_MODEL_TRACK_GEOMETRY_H_

#include <cstdint>
#include <string>

namespace model {

int64_t row_cell(int64_t metres);
int64_t item_cell(int64_t metres);
int64_t last_cell(int64_t metres);

// The number of cells past cell 0 of a track `total_length` metres long (the
// route's length and the spare track past it): round(total_length / 50).
int64_t track_cell_count(int64_t total_length);

// "07" for 7, "42" for 42, "123" for 123; a negative value as it is ("-5").
std::string two_digits(int64_t value);

// "07:29:00" for 26940 s: two digits or more for the hours (a time past
// midnight of the next day keeps its 24 and more), a negative time with "-".
std::string clock_text(int64_t seconds);

}  // namespace model

#endif  // SCENARIO_MODEL_TRACK_GEOMETRY_H_
