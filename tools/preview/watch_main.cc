// scenario_watch: scenario_tool with the watch command served in this
// process (its web server library is linked here only). scenario_tool watch
// runs this program in its own place; see tools/cli.h.
#include <iostream>

#include "platform/standard_output.h"
#include "tools/cli.h"
#include "tools/preview/watch.h"

int main(int argc, char** argv) {
  platform::report_broken_pipe_as_failure();
  return tools::run_tool(argc, argv, std::cout, std::cerr, tools::run_watch_until_interrupted);
}
