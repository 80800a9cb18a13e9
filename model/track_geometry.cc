#include "model/track_geometry.h"

#include "model/cell_values.h"
#include "platform/rounding.h"

namespace model {

namespace {

// The division is in double, as the run-time takes it; the rounded value is
// exact in 64 bits for every position a reader passes.
int64_t rounded(double x) { return static_cast<int64_t>(platform::round_half_even(x)); }

}  // namespace

int64_t row_cell(int64_t metres) { return rounded(static_cast<double>(metres) / kCellLength); }

int64_t item_cell(int64_t metres) {
  return rounded(static_cast<double>(metres) / kCellLength + 1.0);
}

int64_t last_cell(int64_t metres) {
  return rounded(static_cast<double>(metres) / kCellLength - 1.0);
}

int64_t track_cell_count(int64_t total_length) {
  return rounded(static_cast<double>(total_length) / kCellLength);
}

std::string two_digits(int64_t value) {
  std::string digits = std::to_string(value);
  if (value >= 0 && value < 10) digits.insert(digits.begin(), '0');
  return digits;
}

std::string clock_text(int64_t seconds) {
  const std::string sign = seconds < 0 ? "-" : "";
  // The magnitude in unsigned arithmetic: the most negative time has none
  // in int64_t. Its hours, t / 3600, fit int64_t again.
  const uint64_t t =
      seconds < 0 ? 0 - static_cast<uint64_t>(seconds) : static_cast<uint64_t>(seconds);
  return sign + two_digits(static_cast<int64_t>(t / 3600)) + ":" +
         two_digits(static_cast<int64_t>(t / 60 % 60)) + ":" +
         two_digits(static_cast<int64_t>(t % 60));
}

}  // namespace model
