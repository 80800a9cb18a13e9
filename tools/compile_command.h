// The tool's two commands on descriptions: writing the built-in pair as a
// starting point, and compiling any route and train description pair with
// the compiler's own compile pass.
//
// compile_descriptions reads the author's descriptions once (each up to
// platform::kMaxDescriptionBytes) and runs app::memorizza_percorso in the
// output folder with those copies served from memory under the names the
// pass expects (tools/description_overlay.h): the author's files are only
// ever read, and no private copy is made on disk. The pass replaces the
// compiled files as it always does: all written to temporaries first, then
// renamed over the old ones, so a failure leaves the old set whole. The
// compile holds the output folder's lock throughout. The outcome is
// the model's error code and position as the pass left them, what ended the
// pass (normally, an identity error or a run-time failure), one diagnostic in
// words, and the files written.
#ifndef SCENARIO_TOOLS_COMPILE_COMMAND_H_
#define SCENARIO_TOOLS_COMPILE_COMMAND_H_

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_system.h"
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
// Holds the folder's lock while it writes.
std::vector<WrittenFile> write_builtin(const std::filesystem::path& dir, bool overwrite,
                                       platform::FileSystem& files = platform::real_file_system());

// How long a command waits for another run writing into the same folder.
inline constexpr std::chrono::milliseconds kFolderWait{30000};

struct CompileOptions {
  std::optional<std::filesystem::path> route;  // absent: no route description
  std::optional<std::filesystem::path> train;  // absent: no train description
  std::filesystem::path out;
  std::string line_name = kDefaultLineName;
  std::string train_code = kDefaultTrainCode;
  bool line_file = true;  // false: no track plan and no line file
  // Replace a station file stamped with another scenario's names.
  bool force = false;
  std::chrono::milliseconds folder_wait = kFolderWait;
  platform::FileSystem* files = &platform::real_file_system();
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
// file names, an unreadable or too large description, an output folder that
// is not a folder or that another run holds past folder_wait, an output file
// that is one of the descriptions, or a station file there of another
// scenario (without `force`).
CompileReport compile_descriptions(const CompileOptions& options);

}  // namespace tools

#endif  // SCENARIO_TOOLS_COMPILE_COMMAND_H_
