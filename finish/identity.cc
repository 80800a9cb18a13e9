#include "finish/identity.h"

#include <cstddef>
#include <string>
#include <string_view>

#include "finish/errore.h"
#include "model/compile_errors.h"
#include "platform/cp1252.h"

namespace finish {

namespace {

// Thirteen doubled letters: the identity string always has its 25 characters,
// whatever the names.
constexpr std::string_view kPadding = "bbddffhhjjllnnpprrttvvxxzz";
constexpr size_t kIdentityLength = 25;

// The train code and the line name joined in lower case, then the padding.
std::string padded_identity(std::string_view line_name, std::string_view train_code) {
  return platform::to_lower(std::string(train_code) + std::string(line_name)) +
         std::string(kPadding);
}

int16_t ordinary_of(std::string_view padded) {
  int32_t sum = 0;
  for (char c : padded.substr(0, kIdentityLength)) sum += platform::char_code(c);
  return static_cast<int16_t>(sum);  // at most 25 x 255 = 6375
}

int32_t weighted_of(std::string_view padded) {
  int32_t sum = 0;
  int32_t weight = 1;
  for (char c : padded.substr(0, kIdentityLength)) sum += weight++ * platform::char_code(c);
  return sum;  // at most 325 x 255 = 82875
}

// Leaves the padded identity of the item table's names in input_token.
std::string_view identity_string(model::Scenario& s) {
  s.input_token = padded_identity(s.item_table[model::kSlotLine].item_name,
                                  s.item_table[model::kSlotTrain].item_name);
  return s.input_token;
}

}  // namespace

int16_t codice_gara_og(model::Scenario& s) { return ordinary_of(identity_string(s)); }

int32_t codice_gara_st(model::Scenario& s) { return weighted_of(identity_string(s)); }

int16_t ordinary_code(std::string_view line_name, std::string_view train_code) {
  return ordinary_of(padded_identity(line_name, train_code));
}

int32_t weighted_code(std::string_view line_name, std::string_view train_code) {
  return weighted_of(padded_identity(line_name, train_code));
}

void stamp_identity(model::Scenario& s) {
  model::ItemRecord& line = s.item_table[model::kSlotLine];
  // Cell 1 is looked at even when slot 85 already fails the test: a missing
  // track ends the program as a run-time failure, not as an identity error.
  model::TrackCell& first = s.cell(1);

  if (line.item_word1 != 0 || first.value1 != 0)
    errore(std::to_string(model::kIdentityValue1Taken));
  line.item_word1 = kStationFileMarker;
  first.value1 = kTrackFileMarker;

  if (line.item_time != 0 || first.value2 != 0) errore(std::to_string(model::kIdentityValue2Taken));
  line.item_time = codice_gara_st(s);
  first.value2 = codice_gara_og(s);
}

}  // namespace finish
