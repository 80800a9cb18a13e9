// Puts the three kilometric progressive records (item slots 81 "tre", 82
// "due", 83 "uno") in order: the smallest position ends in "uno", the largest
// in "tre"; when the positions sum to 0 the records are chosen by their
// values instead. A tie for the largest position clears all three. Then a
// record whose flag is exactly 1 gets 100 added to its value.
//
// A value that the +100 would push past 32 bits throws RuntimeFailure.
#ifndef SCENARIO_ROUTE_PROGRESSIVE_ORDINA_H_
#define SCENARIO_ROUTE_PROGRESSIVE_ORDINA_H_

#include "model/scenario.h"

namespace route {

void progressive_ordina(model::Scenario& s);

}  // namespace route

#endif  // SCENARIO_ROUTE_PROGRESSIVE_ORDINA_H_
