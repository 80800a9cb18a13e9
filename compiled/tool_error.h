// The failure of a request the tool cannot carry out.
#ifndef SCENARIO_COMPILED_TOOL_ERROR_H_
#define SCENARIO_COMPILED_TOOL_ERROR_H_

#include <stdexcept>

namespace tools {

// A request the tool cannot carry out (no such path, no compiled file, an
// ambiguous folder, an output that may not be written). Its text is the
// message shown to the author. Files that do not fit their format throw
// BadFile (compiled_reader.h) instead.
class ToolError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace tools

#endif  // SCENARIO_COMPILED_TOOL_ERROR_H_
