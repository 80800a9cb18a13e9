// The whole work of the program, in its fixed order: set the scenario's
// identity, show the "Attendere" window, write the five built-in texts, run
// the compile pass with the line file, and return (the program then ends).
#ifndef SCENARIO_APP_FORM_LOAD_H_
#define SCENARIO_APP_FORM_LOAD_H_

#include "model/scenario.h"

namespace app {

inline constexpr const char kLineName[] = "BRENTALVO";
inline constexpr const char kTrainCode[] = "TRN4417";

// Writes and compiles in `s.app_path` when it is set, else in the folder of
// the executable. Throws what the compile pass throws.
void Form_Load(model::Scenario& s);

}  // namespace app

#endif  // SCENARIO_APP_FORM_LOAD_H_
