#include "platform/rounding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/runtime_failure.h"

namespace platform {
namespace {

TEST(RoundingTest, HalvesGoToEven) {
  const std::pair<double, double> cases[] = {
      {0.5, 0.0},
      {1.5, 2.0},
      {2.5, 2.0},
      {-0.5, -0.0},
      {-1.5, -2.0},
      {-2.5, -2.0},
      {160.5, 160.0},
      {2140.5, 2140},
      {2141.5, 2142},
      {19.4, 19.0},
      {19.8, 20.0},
      {-19.8, -20.0},
      {1818.4, 1818},
      {0.49999999999999994, 0.0},
      {4503599627370497.0, 4503599627370497.0},
  };
  for (auto [in, out] : cases) {
    SCOPED_TRACE(in);
    EXPECT_EQ(round_half_even(in), out);
  }
}

TEST(RoundingTest, CheckedStoresRefuseWhatDoesNotFit) {
  EXPECT_EQ(round_to_int16(32767.4), 32767);
  EXPECT_THROW(round_to_int16(32767.5), RuntimeFailure);  // rounds to 32768
  EXPECT_EQ(round_to_int16(-32768.5), -32768);            // rounds to even: -32768
  EXPECT_THROW(round_to_int32(std::nan("")), RuntimeFailure);
  EXPECT_THROW(round_to_int32(3e9), RuntimeFailure);
  EXPECT_EQ(to_byte(255), 255);
  EXPECT_THROW(to_byte(256), RuntimeFailure);
  EXPECT_THROW(to_byte(-1), RuntimeFailure);
  EXPECT_THROW(to_int16(40000), RuntimeFailure);
  EXPECT_THROW(to_int32(int64_t{1} << 31), RuntimeFailure);
}

TEST(RoundingTest, WrappingStoresKeepLowBits) {
  EXPECT_EQ(low16(65535), -1);
  EXPECT_EQ(low16(70000), 70000 - 65536);
  EXPECT_EQ(low8(300), 44);
  EXPECT_EQ(low8(-1), 255);
}

}  // namespace
}  // namespace platform
