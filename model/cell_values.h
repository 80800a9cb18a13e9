// What the numbers of a track cell stand for, encoded and decoded side by
// side: the readers store a cell's speed limit, gradient and adhesion through
// the encoders here, and every view of a compiled track (inspection, drawing,
// comparison) reads them back through the decoders, so that the scale of each
// byte is written down once.
//
//   speed_code     speed limit in km/h / 5, rounded (halves to even); must
//                  fit its byte: a limit past 1277 km/h fails where a cell
//                  receives it (reading error 25)
//   gradient_code  gradient in per mille + 100 (100 is level), low 8 bits
//                  kept: gradients -100 .. 155 come back as they were read
//   adhesion_code  the adhesion value, low 8 bits kept
//
// A maximum-speed indicator cell (kind 6) packs a left and a right speed into
// each of value1 .. value3 as round(left x 20 + right / 5), and its stripe
// counts into value4 as left x 10 + right; the decoders below take them
// apart.
#ifndef SCENARIO_MODEL_CELL_VALUES_H_
#define SCENARIO_MODEL_CELL_VALUES_H_

#include <cstdint>

#include "platform/rounding.h"

namespace model {

// Every cell stands for 50 metres of track.
inline constexpr int kCellLength = 50;

// ---- Speed limit ----------------------------------------------------------------

// km/h per unit of speed_code.
inline constexpr int kSpeedStep = 5;

// The speed_code of a limit in km/h: round(limit / 5), halves to even.
// Throws platform::RuntimeFailure(kOverflow) when it does not fit a byte
// (limits below -2 or above 1277 km/h).
uint8_t speed_code_of(int32_t limit);

// The limit in km/h that a speed_code stands for: 0 .. 1275, a multiple of 5.
constexpr int speed_limit_of(uint8_t speed_code) { return speed_code * kSpeedStep; }

// ---- Gradient -------------------------------------------------------------------

// The gradient_code of level track.
inline constexpr int kLevelGradientCode = 100;

// The gradient_code of a gradient in per mille: gradient + 100, of which only
// the low 8 bits are kept (a gradient outside -100 .. 155 wraps).
inline uint8_t gradient_code_of(int64_t per_mille) {
  return platform::low8(per_mille + kLevelGradientCode);
}

// The gradient in per mille that a gradient_code stands for: -100 .. 155,
// positive uphill in the direction of travel.
constexpr int gradient_of(uint8_t gradient_code) { return gradient_code - kLevelGradientCode; }

// The height in metres that one cell of the given gradient climbs (negative
// when it falls): per mille over the cell's 50 metres.
constexpr double cell_rise(int per_mille) { return per_mille * kCellLength / 1000.0; }

// ---- Adhesion -------------------------------------------------------------------

// The adhesion_code of an adhesion value: its low 8 bits.
inline uint8_t adhesion_code_of(int64_t adhesion) { return platform::low8(adhesion); }

// The adhesion value an adhesion_code stands for (0 .. 255).
constexpr int adhesion_of(uint8_t adhesion_code) { return adhesion_code; }

// ---- Maximum-speed indicator (cell kind 6) --------------------------------------

// One speed of an indicator: the left-side and the right-side speed, km/h.
// The right speed survives the packing only as a multiple of 5 from 0 to 95;
// the left one is the value's whole part over 20.
struct IndicatorSpeeds {
  int left = 0;
  int right = 0;
};
constexpr IndicatorSpeeds indicator_speeds_of(int16_t packed) {
  return {packed / 20, packed % 20 * 5};
}

// The stripe counts of an indicator, from value4 = left x 10 + right.
struct IndicatorStripes {
  int left = 0;
  int right = 0;
};
constexpr IndicatorStripes indicator_stripes_of(int16_t packed) {
  return {packed / 10, packed % 10};
}

// ---- Signal (cell kind 1) -----------------------------------------------------------

// A signal's codes taken apart again, under the names of its row. The cell
// holds value1..3 = s1..s3 x 10 + d1..d3 and value4 = rapp x 10 + sx x 3 + dx
// (train/signal_slowdown_store.h): exact while d1..d3 are single digits,
// sx x 3 + dx stays below 10 and no code is negative, as in every signal
// whose codes mean what they say.
struct SignalCodes {
  int sx = 0, s1 = 0, s2 = 0, s3 = 0;  // the left part and its aspects
  int rapp = 0;
  int dx = 0, d1 = 0, d2 = 0, d3 = 0;  // the right part and its aspects
};
constexpr SignalCodes signal_codes_of(int16_t value1, int16_t value2, int16_t value3,
                                      int16_t value4) {
  const int sides = value4 % 10;
  return {sides / 3, value1 / 10, value2 / 10, value3 / 10, value4 / 10,
          sides % 3, value1 % 10, value2 % 10, value3 % 10};
}

}  // namespace model

#endif  // SCENARIO_MODEL_CELL_VALUES_H_
