// scenario_tool: the authoring tool on the compiler's library. See
// tools/cli.h for its commands.
#include <iostream>

#include "tools/cli.h"

int main(int argc, char** argv) { return tools::run_tool(argc, argv, std::cout, std::cerr); }
