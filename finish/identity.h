// Identity codes: four values that tie the station file and the track file
// to the scenario's names.
//
// The identity string is the train code and the line name (slots 86 and 85)
// joined, in lower case, followed by the padding
// "bbddffhhjjllnnpprrttvvxxzz", cut to 25 characters. The ordinary code is the
// sum of its character codes, the weighted code the sum of i x code(i).
// stamp_identity checks that the reserved fields are still zero (error 1250,
// then 1251, through errore) and stamps 610 into slot 85 item_word1, 5121
// into cell 1 value1, the weighted code into slot 85 item_time and the
// ordinary code into cell 1 value2.
#ifndef SCENARIO_FINISH_IDENTITY_H_
#define SCENARIO_FINISH_IDENTITY_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "model/scenario.h"

namespace finish {

inline constexpr int16_t kStationFileMarker = 610;
inline constexpr int16_t kTrackFileMarker = 5121;

// Both write their working string into s.input_token.
int16_t codice_gara_og(model::Scenario& s);
int32_t codice_gara_st(model::Scenario& s);

// The same codes of two names, without a model (for readers of compiled
// files).
int16_t ordinary_code(std::string_view line_name, std::string_view train_code);
int32_t weighted_code(std::string_view line_name, std::string_view train_code);

// REQUIRES: the track exists (else RuntimeFailure). May end through errore.
void stamp_identity(model::Scenario& s);

}  // namespace finish

#endif  // SCENARIO_FINISH_IDENTITY_H_
