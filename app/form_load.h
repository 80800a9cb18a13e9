// The whole work of the program, in its fixed order: set the scenario's
// identity, show the "Attendere" window, write the five built-in texts, run
// the compile pass with the line file, and return (the program then ends).
#ifndef SCENARIO_APP_FORM_LOAD_H_
#define SCENARIO_APP_FORM_LOAD_H_

#include <chrono>
#include <memory>

#include "model/scenario.h"
#include "platform/file_system.h"

namespace app {

inline constexpr const char kLineName[] = "BRENTALVO";
inline constexpr const char kTrainCode[] = "TRN4417";

// How long a run waits for another run in the same folder to end.
inline constexpr std::chrono::milliseconds kFolderWait{30000};

// Takes the lock of s.app_path for the whole run, waiting up to `wait` for
// another run there to end (then RuntimeFailure kFolderBusy), and deletes
// the temporaries a killed run left for this run's files. Two runs in one
// folder would otherwise delete each other's descriptions and mix their
// compiled files.
std::unique_ptr<platform::FolderLock> claim_folder(model::Scenario& s,
                                                   std::chrono::milliseconds wait = kFolderWait);

// Writes and compiles in `s.app_path` when it is set, else in the folder of
// the executable, holding the folder (claim_folder) throughout. Throws what
// the compile pass throws.
void Form_Load(model::Scenario& s);

}  // namespace app

#endif  // SCENARIO_APP_FORM_LOAD_H_
