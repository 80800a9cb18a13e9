// The ends of the program: how a run finishes, as its exit status.
//
//   0  a normal end, compile errors included (they stay in the model);
//   2  an identity error: errore's message is shown in the message box;
//   1  a run-time failure: its number and description are reported.
// Nothing is written after either failure.
#ifndef SCENARIO_APP_PROGRAM_H_
#define SCENARIO_APP_PROGRAM_H_

#include <functional>

#include "model/scenario.h"

namespace app {

inline constexpr int kExitNormal = 0;
inline constexpr int kExitRuntimeFailure = 1;
inline constexpr int kExitIdentityError = 2;

// Runs `work` on a fresh scenario model and turns the way it ended into the
// exit status above.
int run_program(const std::function<void(model::Scenario&)>& work);

}  // namespace app

#endif  // SCENARIO_APP_PROGRAM_H_
