// The train half of memorizza_dati: reads the train description into the
// same model, after the route half.
//
// It skips to "[generale]", then acts on rows by keyword: braked mass and
// cars (slot 84), speed limits and adhesion (every cell's speed_code and
// adhesion_code), clock and sand (slot 86), signals and slowdowns (through
// memo_segnale and memo_rallentamento), "abbattimento" marks, and stations
// (item slots from 1 upward, their stop cells and approach marks). At the end
// of the rows it deletes the description, completes the speed and adhesion
// profiles and checks the kilometric progressives.
//
// `sign_slot` is the route half's next free sign slot: stations may not
// reach it. Compile errors go to s.error_code / s.error_position with their
// field in s.error_site, warnings to s.warnings (model/description_fields.h);
// run-time failures are thrown as platform::RuntimeFailure for
// memorizza_dati's trap, s.reading naming the field being read.
#ifndef SCENARIO_TRAIN_TRAIN_READER_H_
#define SCENARIO_TRAIN_TRAIN_READER_H_

#include <cstdint>

#include "model/scenario.h"

namespace train {

// The area of a station row: from its position, kind and length; `widened`
// (the row's sixth field set, for kinds other than 5 to 8) adds 50 m to its
// end. Exact in 64 bits; the reader refuses an area beyond 32 bits.
struct StationArea {
  int64_t start;
  int64_t end;
};
StationArea station_area(int32_t position, int kind, int32_t length, bool widened);

void read_train_description(model::Scenario& s, int32_t sign_slot);

}  // namespace train

#endif  // SCENARIO_TRAIN_TRAIN_READER_H_
