#include "platform/rounding.h"

#include <cmath>
#include <limits>

#include "platform/runtime_failure.h"

namespace platform {

double round_half_even(double x) {
  if (!std::isfinite(x)) return x;
  double floor = std::floor(x);
  double diff = x - floor;  // exact: x and floor share their exponent range
  if (diff > 0.5) return floor + 1.0;
  if (diff < 0.5) return floor;
  return std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
}

namespace {
template <typename T>
T checked_round(double x) {
  double r = round_half_even(x);
  if (!(r >= static_cast<double>(std::numeric_limits<T>::min()) &&
        r <= static_cast<double>(std::numeric_limits<T>::max()))) {
    throw RuntimeFailure(kOverflow);
  }
  return static_cast<T>(r);
}

template <typename T>
T checked_store(int64_t v) {
  if (v < static_cast<int64_t>(std::numeric_limits<T>::min()) ||
      v > static_cast<int64_t>(std::numeric_limits<T>::max())) {
    throw RuntimeFailure(kOverflow);
  }
  return static_cast<T>(v);
}
}  // namespace

int32_t round_to_int32(double x) { return checked_round<int32_t>(x); }
int16_t round_to_int16(double x) { return checked_round<int16_t>(x); }

int32_t to_int32(int64_t v) { return checked_store<int32_t>(v); }
int16_t to_int16(int64_t v) { return checked_store<int16_t>(v); }
uint8_t to_byte(int64_t v) { return checked_store<uint8_t>(v); }
uint16_t to_uint16(int64_t v) { return checked_store<uint16_t>(v); }

}  // namespace platform
