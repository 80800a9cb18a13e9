// `scenario_tool lsp`: a language server for the two descriptions, spoken
// over a pair of streams (the program's standard input and output).
//
// It publishes the errors and warnings of `check` for a route and train
// description pair as the author types (the unsaved text is what is
// checked, and nothing is written), explains any field on hover (its row,
// name, unit and what is stored), completes row keywords for the section
// the cursor is in, and lists sections and rows as document symbols.
// Malformed input gets the protocol's error replies, never a crash.
#ifndef SCENARIO_TOOLS_LSP_LSP_SERVER_H_
#define SCENARIO_TOOLS_LSP_LSP_SERVER_H_

#include <iosfwd>

#include "platform/file_system.h"

namespace tools {

// Serves one client until "exit" or the end of `in`. Returns 0 after
// "shutdown" then "exit", 1 otherwise. Partner descriptions that are not
// open are read (only read) from `disk`.
int run_lsp(std::istream& in, std::ostream& out,
            platform::FileSystem& disk = platform::real_file_system());

}  // namespace tools

#endif  // SCENARIO_TOOLS_LSP_LSP_SERVER_H_
