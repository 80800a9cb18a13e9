// The command line of scenario_tool:
//
//   scenario_tool builtin DIR [--force]
//   scenario_tool new DIR [--line-name NAME] [--train-code CODE] [--force]
//   scenario_tool compile --route FILE --train FILE --out DIR
//                 [--line-name NAME] [--train-code CODE] [--no-line-file]
//                 [--force] [--json]
//   scenario_tool check --route FILE --train FILE [--line-name NAME]
//                 [--train-code CODE] [--no-line-file] [--json] [--werror]
//   scenario_tool inspect PATH [--json] [--cells]
//   scenario_tool render PATH [--svg FILE|-] [--html FILE|-]
//   scenario_tool watch --route FILE --train FILE --out DIR [--port N]
//                 [--line-name NAME] [--train-code CODE] [--force]
//   scenario_tool lsp
//   scenario_tool diff PATH_A PATH_B [--json]
//
// Exit status: 0 done; 1 compile and check: a compile error was recorded
// (compile writes the files all the same; check, also an identity error,
// and with --werror a warning), inspect and render: a compiled file does not
// fit its format, or the files of a set do not belong together, diff: the
// two sets differ; 2 compile: an identity error or a run-time failure (no
// compiled file replaced), diff: any failure, a bad file included, and for
// every command bad usage, a file that cannot be read or written, another
// run holding the folder, or standard output that cannot be written. watch
// runs until Ctrl-C and then ends with 0 (2 when its port cannot be had).
#ifndef SCENARIO_TOOLS_CLI_H_
#define SCENARIO_TOOLS_CLI_H_

#include <functional>
#include <ostream>

#include "tools/preview/watch.h"

namespace tools {

// Serves a watch until it is ended; returns the exit status.
using WatchRunner = std::function<int(const WatchOptions&, std::ostream& out)>;

// The program that serves `watch` (it links the web server library, which
// the other commands do not load).
inline constexpr char kWatchProgram[] = "scenario_watch";

// Runs the tool on its arguments; returns the exit status. Everything it
// prints goes to `out` (results, JSON) and `err` (diagnostics, usage errors).
// `watch` is served by `run_watch` when given, else by kWatchProgram beside
// this program, in the place of this process.
int run_tool(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
             const WatchRunner& run_watch = {});

}  // namespace tools

#endif  // SCENARIO_TOOLS_CLI_H_
