#include "model/cell_values.h"

namespace model {

uint8_t speed_code_of(int32_t limit) {
  return platform::to_byte(platform::round_to_int32(static_cast<double>(limit) / kSpeedStep));
}

}  // namespace model
