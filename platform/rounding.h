// Numbers as the run-time converts them.
//
// Every rounding in the compiler is to the nearest integer with halves to even
// (20.5 -> 20, 21.5 -> 22). A value stored into a field of fixed width either
// has to fit, or keeps only its low bits where the field is meant to wrap;
// the two kinds of store are kept apart by name.
#ifndef SCENARIO_PLATFORM_ROUNDING_H_
#define SCENARIO_PLATFORM_ROUNDING_H_

#include <cstdint>

namespace platform {

// Nearest integer as a double, halves to even. Independent of the floating
// point environment's rounding mode.
double round_half_even(double x);

// round_half_even(x) as a 32-bit integer; throws RuntimeFailure(kOverflow)
// when it does not fit (NaN included).
int32_t round_to_int32(double x);
// The same for a 16-bit signed field.
int16_t round_to_int16(double x);

// Checked stores: throw RuntimeFailure(kOverflow) when `v` does not fit.
int32_t to_int32(int64_t v);
int16_t to_int16(int64_t v);
uint8_t to_byte(int64_t v);
uint16_t to_uint16(int64_t v);

// Wrapping stores: keep the low bits of `v`, two's complement.
inline int16_t low16(int64_t v) { return static_cast<int16_t>(static_cast<uint16_t>(v)); }
inline uint8_t low8(int64_t v) { return static_cast<uint8_t>(v); }

}  // namespace platform

#endif  // SCENARIO_PLATFORM_ROUNDING_H_
