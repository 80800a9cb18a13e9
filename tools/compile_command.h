// The tool's two commands on descriptions: writing the built-in pair as a
// starting point, and compiling any route and train description pair with
// the compiler's own compile pass.
//
// compile_descriptions copies the author's descriptions into a private
// temporary folder under the names the compile pass expects, runs
// app::memorizza_percorso there, and moves the compiled files it wrote into
// the output folder. The author's files are only ever read. The outcome is
// the model's error code and position as the pass left them, what ended the
// pass (normally, an identity error or a run-time failure), one diagnostic in
// words, and the files written.
#ifndef SCENARIO_TOOLS_COMPILE_COMMAND_H_
#define SCENARIO_TOOLS_COMPILE_COMMAND_H_

#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tools/diagnostics.h"

namespace tools {

inline constexpr const char kDefaultLineName[] = "BRENTALVO";
inline constexpr const char kDefaultTrainCode[] = "TRN4417";

// A file written by a command: its name (without folder) and size in bytes.
using WrittenFile = std::pair<std::string, uint64_t>;

// Writes the five built-in texts into `dir` (created when missing) under the
// built-in names, byte for byte as scenario_compiler writes them. Refuses
// (ToolError, nothing written) when one of the five files is already there,
// unless `overwrite`: they may be an author's edited descriptions.
std::vector<WrittenFile> write_builtin(const std::filesystem::path& dir, bool overwrite);

struct CompileOptions {
  std::optional<std::filesystem::path> route;  // absent: no route description
  std::optional<std::filesystem::path> train;  // absent: no train description
  std::filesystem::path out;
  std::string line_name = kDefaultLineName;
  std::string train_code = kDefaultTrainCode;
  bool line_file = true;  // false: the compile pass runs with j = 0
};

enum class Outcome { kOk, kIdentityError, kRuntimeFailure };
const char* outcome_name(Outcome outcome);  // "ok", "identity_error", "runtime_failure"

struct CompileReport {
  int32_t error_code = 0;
  int32_t error_position = 0;
  Outcome outcome = Outcome::kOk;
  std::optional<int> identity_error;  // 1250 or 1251
  Diagnostic diagnostic;              // the file and line refer to the author's files
  std::vector<WrittenFile> files;     // compiled files moved into the output folder

  // 0 without a compile error, 1 with one (the files are written all the
  // same), 2 after an identity error or a run-time failure (nothing written).
  int exit_status() const;
  // {"error_code", "error_position", "outcome", "identity_error", "file",
  //  "line", "message", "files"}
  nlohmann::ordered_json to_json() const;
};

// Throws ToolError, before anything is written, for a name that cannot form
// file names, an unreadable description, an output folder that is a file, or
// an output file that is one of the descriptions.
CompileReport compile_descriptions(const CompileOptions& options);

}  // namespace tools

#endif  // SCENARIO_TOOLS_COMPILE_COMMAND_H_
