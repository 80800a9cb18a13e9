// The compile pass: turns the two description files beside the executable
// into the compiled scenario files.
//
// memorizza_percorso(j) sets write_line_file = j and error_code = 0, clears
// the item table, reads both descriptions (memorizza_dati), runs the
// finishing pass, checks and stamps the identity codes and writes the
// compiled files. Compile errors never stop it: the files are written as far
// as the scenario was compiled. An identity error ends it through
// finish::IdentityError before any compiled file is written; any run-time failure
// outside reading passes to the caller as platform::RuntimeFailure.
#ifndef SCENARIO_APP_COMPILE_PASS_H_
#define SCENARIO_APP_COMPILE_PASS_H_

#include <cstdint>

#include "model/scenario.h"

namespace app {

// Reads the route description, then the train description. Returns normally
// in every case: a run-time failure inside becomes error 25, with every file
// closed and both descriptions deleted where they still exist.
void memorizza_dati(model::Scenario& s);

void memorizza_percorso(model::Scenario& s, int32_t j);

}  // namespace app

#endif  // SCENARIO_APP_COMPILE_PASS_H_
