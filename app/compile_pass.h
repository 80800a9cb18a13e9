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
//
// A description that cannot be read at all (the storage fails, the file has
// gone) is not a fault of its text: it ends the pass with
// platform::FileReadFailure, the system's reason in it, before any compiled
// file is written, so the old set stays whole. A missing route description
// is recorded as error 101 and then ends the pass the same way (kFileNotFound),
// as no track can be built without it.
#ifndef SCENARIO_APP_COMPILE_PASS_H_
#define SCENARIO_APP_COMPILE_PASS_H_

#include <cstdint>

#include "model/scenario.h"

namespace app {

// Reads the route description, then the train description. A run-time
// failure while reading the text becomes error 25, with every file closed
// and both descriptions deleted where they still exist. A description that
// cannot be read at all deletes them the same way and passes its
// platform::FileReadFailure on.
void memorizza_dati(model::Scenario& s);

void memorizza_percorso(model::Scenario& s, int32_t j);

}  // namespace app

#endif  // SCENARIO_APP_COMPILE_PASS_H_
