#include "model/track_geometry.h"

#include <gtest/gtest.h>

#include <string>

namespace model {
namespace {

// The odd multiples of 25 m are where rounding the whole expression differs
// from rounding p / 50 first: halves go to the even cell.
TEST(TrackGeometryTest, CellOfAPositionForEachKindOfRow) {
  struct Case {
    int64_t metres;
    int64_t row;    // gradient, speed, adhesion, "abbattimento", a mountain's start
    int64_t item;   // sign, indicator, signal, slowdown
    int64_t last;   // a mountain stretch's last cell
    int64_t cells;  // cell count of a track of this length
  };
  const Case cases[] = {
      {0, 0, 1, -1, 0},   //
      {25, 0, 2, 0, 0},   // 0.5 -> 0, 1.5 -> 2, -0.5 -> 0
      {75, 2, 2, 0, 2},   // 1.5 -> 2, 2.5 -> 2, 0.5 -> 0
      {125, 2, 4, 2, 2},  // 2.5 -> 2, 3.5 -> 4, 1.5 -> 2
      {175, 4, 4, 2, 4},  // 3.5 -> 4, 4.5 -> 4, 2.5 -> 2
      {12025, 240, 242, 240, 240},
      {-75, -2, 0, -2, -2},  // behind the origin: -1.5 -> -2, -0.5 -> 0
      {107000, 2140, 2141, 2139, 2140},
      // The end of a slowdown at the largest position and length.
      {int64_t{2147483647} * 2, 85899346, 85899347, 85899345, 85899346},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.metres);
    EXPECT_EQ(row_cell(c.metres), c.row);
    EXPECT_EQ(item_cell(c.metres), c.item);
    EXPECT_EQ(last_cell(c.metres), c.last);
    EXPECT_EQ(track_cell_count(c.metres), c.cells);
  }
}

TEST(TrackGeometryTest, TwoDigits) {
  EXPECT_EQ(two_digits(0), "00");
  EXPECT_EQ(two_digits(7), "07");
  EXPECT_EQ(two_digits(10), "10");
  EXPECT_EQ(two_digits(123), "123");
  EXPECT_EQ(two_digits(-5), "-5");  // shown as it is: no time of day
}

}  // namespace
}  // namespace model
