// scenario_tool decompile: a compiled set on disk back to its two
// descriptions, written into a folder and proved by compiling them again.
//
// Exit status: 0 when the round trip is exact, 1 when it is not (the
// differences are listed), 2 for a request that cannot be carried out (no
// set, a set the tool refuses, descriptions already there without --force,
// a failure to write).
#ifndef SCENARIO_TOOLS_DECOMPILE_DECOMPILE_COMMAND_H_
#define SCENARIO_TOOLS_DECOMPILE_DECOMPILE_COMMAND_H_

#include <ostream>
#include <string>

#include "compiled/compiled_set.h"
#include "platform/file_system.h"
#include "tools/decompile/decompile.h"

namespace decompile {

struct DecompileOptions {
  std::string path;        // a folder or one compiled file of the set
  std::string out;         // the folder to write the descriptions into
  std::string line_name;   // empty: the set's own
  std::string train_code;  // empty: the set's own
  bool force = false;      // replace descriptions already in `out`
  bool json = false;
  platform::FileSystem* files = &platform::real_file_system();
};

// The bytes of the set at `path` (a folder or one of its compiled files) and
// the names its stamps carry. Throws what load_compiled throws, ToolError
// for a set without a station file or a track file, and RuntimeFailure.
CompiledBytes read_set(platform::FileSystem& fs, const std::string& path);

// The same from a set already loaded with its bytes (load_compiled); `path`
// names it in the refusal of a set without a station file or a track file.
CompiledBytes set_bytes(const std::string& path, const tools::CompiledSet& set,
                        tools::SetBytes bytes);

int run_decompile(const DecompileOptions& options, std::ostream& out, std::ostream& err);

}  // namespace decompile

#endif  // SCENARIO_TOOLS_DECOMPILE_DECOMPILE_COMMAND_H_
