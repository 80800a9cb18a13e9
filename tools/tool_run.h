// The tool run in-process by its tests: the exit status and what it printed
// on each stream.
#ifndef SCENARIO_TOOLS_TOOL_RUN_H_
#define SCENARIO_TOOLS_TOOL_RUN_H_

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "tools/cli.h"

namespace tools::testing {

struct ToolRun {
  int status = -1;
  std::string out;
  std::string err;
  nlohmann::json json() const { return nlohmann::json::parse(out); }
};

// Runs `scenario_tool ARGS...` through run_tool.
inline ToolRun tool(const std::vector<std::string>& args) {
  std::vector<const char*> argv{"scenario_tool"};
  for (const std::string& a : args) argv.push_back(a.c_str());
  std::ostringstream out, err;
  ToolRun r;
  r.status = run_tool(static_cast<int>(argv.size()), argv.data(), out, err);
  r.out = out.str();
  r.err = err.str();
  return r;
}

}  // namespace tools::testing

#endif  // SCENARIO_TOOLS_TOOL_RUN_H_
