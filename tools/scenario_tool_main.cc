// scenario_tool: the authoring tool on the compiler's library. See
// tools/cli.h for its commands.
#include <iostream>

#include "platform/standard_output.h"
#include "tools/cli.h"

int main(int argc, char** argv) {
  platform::report_broken_pipe_as_failure();
  return tools::run_tool(argc, argv, std::cout, std::cerr);
}
