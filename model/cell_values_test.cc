#include "model/cell_values.h"

#include <gtest/gtest.h>

#include "platform/runtime_failure.h"

namespace model {
namespace {

TEST(CellValuesTest, SpeedCodeIsTheLimitOverFive) {
  struct Case {
    int32_t limit;
    uint8_t code;
    int decoded;  // the limit the code stands for
  };
  const Case cases[] = {
      {0, 0, 0},      {2, 0, 0},         {-2, 0, 0},        {3, 1, 5},
      {5, 1, 5},      {7, 1, 5},         {8, 2, 10},        {95, 19, 95},
      {140, 28, 140}, {1272, 254, 1270}, {1275, 255, 1275}, {1277, 255, 1275},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(speed_code_of(c.limit), c.code) << c.limit;
    EXPECT_EQ(speed_limit_of(c.code), c.decoded) << c.limit;
  }
  // Every code comes back from the limit it stands for.
  for (int code = 0; code <= 255; ++code) {
    EXPECT_EQ(speed_code_of(speed_limit_of(static_cast<uint8_t>(code))), code);
  }
}

TEST(CellValuesTest, ASpeedCodeOutsideItsByteFails) {
  for (int32_t limit : {1278, 5000, -3, -1000}) {
    try {
      speed_code_of(limit);
      ADD_FAILURE() << limit << " km/h was stored";
    } catch (const platform::RuntimeFailure& f) {
      EXPECT_EQ(f.number(), platform::kOverflow) << limit;
    }
  }
}

TEST(CellValuesTest, GradientCodeIsTheGradientPlusAHundredInOneByte) {
  struct Case {
    int64_t per_mille;
    uint8_t code;
    int decoded;
  };
  const Case cases[] = {
      {0, 100, 0},
      {10, 110, 10},
      {-10, 90, -10},
      {-100, 0, -100},
      {155, 255, 155},
      {-99, 1, -99},
      {154, 254, 154},
      // Outside -100 .. 155 only the low 8 bits are kept.
      {156, 0, -100},
      {-101, 255, 155},
      {356, 200, 100},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(gradient_code_of(c.per_mille), c.code) << c.per_mille;
    EXPECT_EQ(gradient_of(c.code), c.decoded) << c.per_mille;
  }
  for (int g = -100; g <= 155; ++g) EXPECT_EQ(gradient_of(gradient_code_of(g)), g);
}

TEST(CellValuesTest, ACellClimbsItsGradientOverFiftyMetres) {
  EXPECT_EQ(cell_rise(0), 0.0);
  EXPECT_EQ(cell_rise(10), 0.5);
  EXPECT_EQ(cell_rise(-12), -0.6);
  EXPECT_EQ(cell_rise(-100), -5.0);
  EXPECT_EQ(cell_rise(155), 7.75);
}

TEST(CellValuesTest, AdhesionKeepsItsLowEightBits) {
  struct Case {
    int64_t adhesion;
    uint8_t code;
  };
  const Case cases[] = {{0, 0}, {100, 100}, {255, 255}, {256, 0}, {300, 44}, {-1, 255}};
  for (const Case& c : cases) {
    EXPECT_EQ(adhesion_code_of(c.adhesion), c.code) << c.adhesion;
    EXPECT_EQ(adhesion_of(c.code), c.code) << c.adhesion;
  }
}

TEST(CellValuesTest, IndicatorValuesComeApartIntoLeftAndRight) {
  struct Case {
    int16_t packed;
    int left, right;
  };
  // round(left x 20 + right / 5): 90 and 85 give 1817; a right speed of 92
  // was stored as 1818 and comes back as 90.
  const Case speeds[] = {{0, 0, 0},      {1800, 90, 0},  {1900, 95, 0},
                         {1817, 90, 85}, {1818, 90, 90}, {19, 0, 95}};
  for (const Case& c : speeds) {
    IndicatorSpeeds s = indicator_speeds_of(c.packed);
    EXPECT_EQ(s.left, c.left) << c.packed;
    EXPECT_EQ(s.right, c.right) << c.packed;
  }
  const Case stripes[] = {{0, 0, 0}, {23, 2, 3}, {9, 0, 9}, {10, 1, 0}};
  for (const Case& c : stripes) {
    IndicatorStripes s = indicator_stripes_of(c.packed);
    EXPECT_EQ(s.left, c.left) << c.packed;
    EXPECT_EQ(s.right, c.right) << c.packed;
  }
}

}  // namespace
}  // namespace model
