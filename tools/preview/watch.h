// scenario_tool watch: compiles an author's route and train descriptions,
// serves the live preview of the result (tools/preview/preview_server.h), and
// compiles again whenever either description changes, until told to stop.
//
// The descriptions are read through the file layer every `poll`; a change
// is compiled once the file has read the same on two polls in a row (an
// editor's save may take more than one write), so a save shows within
// three polls and a compile. Each compile replaces the compiled files in
// the output folder exactly as `scenario_tool compile` does, and the page
// shows its diagnostics. A compile that fails (a compile error, an identity
// error, a run-time failure, a file that cannot be read) keeps the last good
// picture on the page, with the error over it.
#ifndef SCENARIO_TOOLS_PREVIEW_WATCH_H_
#define SCENARIO_TOOLS_PREVIEW_WATCH_H_

#include <chrono>
#include <functional>
#include <ostream>

#include "tools/compile/compile_command.h"

namespace tools {

inline constexpr int kDefaultWatchPort = 8417;

struct WatchOptions {
  CompileOptions compile;        // route and train both given
  int port = kDefaultWatchPort;  // 0: any free port
  std::chrono::milliseconds poll{50};
  // Called once the preview is served, with its port.
  std::function<void(int port)> on_serving;
};

// Serves and compiles until `stop` returns true (asked every poll). Prints
// where the preview is and one line per compile on `out`. Throws ToolError
// when the port cannot be had; otherwise returns 0 once stopped.
int run_watch(const WatchOptions& options, const std::function<bool()>& stop, std::ostream& out);

// The same, until Ctrl-C or a termination request.
int run_watch_until_interrupted(const WatchOptions& options, std::ostream& out);

}  // namespace tools

#endif  // SCENARIO_TOOLS_PREVIEW_WATCH_H_
