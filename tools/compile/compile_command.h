// The tool's two commands on descriptions: writing the built-in pair as a
// starting point, and compiling any route and train description pair with
// the compiler's own compile pass.
//
// compile_descriptions reads the author's descriptions once (each up to
// platform::kMaxDescriptionBytes) and runs app::memorizza_percorso in the
// output folder with those copies served from memory under the names the
// pass expects (tools/compile/description_overlay.h): the author's files are only
// ever read, and no private copy is made on disk. The pass replaces the
// compiled files as it always does: all written to temporaries first, then
// renamed over the old ones, so a failure leaves the old set whole. The
// compile holds the output folder's lock throughout. The outcome is
// the model's error code and position as the pass left them, what ended the
// pass (normally, an identity error or a run-time failure), one diagnostic in
// words, and the files written.
//
// Both commands then go on past the compile's error: they compile again in
// memory with the faulty row passed over as a note would be
// (tools/compile/row_pass_over.h), and again, until no error is left, the
// errors reach kMaxListedErrors, or an error comes back at a place whose
// row was passed over. The errors found so are listed beside the compile's
// own; the files written are those of the first compile only.
#ifndef SCENARIO_TOOLS_COMPILE_COMPILE_COMMAND_H_
#define SCENARIO_TOOLS_COMPILE_COMPILE_COMMAND_H_

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_system.h"
#include "tools/compile/diagnostics.h"

namespace tools {

inline constexpr const char kDefaultLineName[] = "BRENTALVO";
inline constexpr const char kDefaultTrainCode[] = "TRN4417";

// The scenario's names as the descriptions' file names give them: the route
// description "LINE_linea.txt" and the train description "LINE_TRAIN-.txt"
// with the same LINE, both valid names (compiled/text.h). Absent for other
// file names.
struct ScenarioNames {
  std::string line_name;
  std::string train_code;
};
std::optional<ScenarioNames> names_from_files(const std::filesystem::path& route,
                                              const std::filesystem::path& train);

// The names a compile of `route` and `train` uses: each given name (empty:
// not given), else the file names' (names_from_files), else the default.
// `note` says when a default stands in for a name the file names do not
// give; it is left empty otherwise.
ScenarioNames resolve_names(const std::string& line_name, const std::string& train_code,
                            const std::filesystem::path& route, const std::filesystem::path& train,
                            std::string& note);

// A file written by a command: its name (without folder) and size in bytes,
// kSizeNotKnown when the file was written but its size could not be looked
// up afterwards (that is no reason to call the writing failed).
using WrittenFile = std::pair<std::string, uint64_t>;
inline constexpr uint64_t kSizeNotKnown = UINT64_MAX;

// The file `name` in `folder`, written, with its size or kSizeNotKnown.
WrittenFile written_file(platform::FileSystem& files, const std::string& folder,
                         const std::string& name);

// Writes the five built-in texts into `dir` (created when missing) under the
// built-in names, byte for byte as scenario_compiler writes them. Refuses
// (ToolError, nothing written) when one of the five files is already there,
// unless `overwrite`: they may be an author's edited descriptions.
// Holds the folder's lock while it writes.
std::vector<WrittenFile> write_builtin(const std::filesystem::path& dir, bool overwrite,
                                       platform::FileSystem& files = platform::real_file_system());

// Writes files into `dir` (created when missing) while holding its lock:
// `write(folder)` writes them, under `names`. Refuses (ToolError, nothing
// written) when one of `names` is already there, unless `overwrite`: they
// may hold an author's edits. Returns the names with their sizes.
std::vector<WrittenFile> write_into_folder(const std::filesystem::path& dir,
                                           const std::vector<std::string>& names, bool overwrite,
                                           platform::FileSystem& files,
                                           const std::function<void(const std::string&)>& write);

// How long a command waits for another run writing into the same folder.
inline constexpr std::chrono::milliseconds kFolderWait{30000};

// The most errors one run lists, the compile's own included.
inline constexpr size_t kMaxListedErrors = 20;

struct CompileOptions {
  std::optional<std::filesystem::path> route;  // absent: no route description
  std::optional<std::filesystem::path> train;  // absent: no train description
  std::filesystem::path out;
  std::string line_name = kDefaultLineName;
  std::string train_code = kDefaultTrainCode;
  bool line_file = true;  // false: no track plan and no line file
  // Write the timetable card and the slow-order form generated from the
  // train description beside the compiled files (documents/document_files.h).
  bool documents = true;
  // Replace a station file stamped with another scenario's names.
  bool force = false;
  std::chrono::milliseconds folder_wait = kFolderWait;
  platform::FileSystem* files = &platform::real_file_system();
};

// A driver's document as the compile would write it: its file name and its
// bytes (Windows-1252, CR LF after every line).
struct GeneratedDocument {
  std::string name;
  std::string bytes;
};

enum class Outcome { kOk, kCompileError, kIdentityError, kRuntimeFailure };
// "ok", "compile_error", "identity_error", "runtime_failure".
const char* outcome_name(Outcome outcome);

struct CompileReport {
  int32_t error_code = 0;
  int32_t error_position = 0;
  // kCompileError when error_code is not 0 and the pass ran to its end (the
  // files are written all the same).
  Outcome outcome = Outcome::kOk;
  std::optional<int> identity_error;  // 1250 or 1251
  // What took cell 1 from the identity stamp, when a row did.
  std::optional<model::CellOccupant> identity_occupant;
  std::string stop;  // what else ended the pass early, in words
  // After a failure while the compiled files were put in place: those that
  // were replaced, and those that were not (each is whole, old or new).
  std::vector<std::string> replaced, not_replaced;
  std::optional<Diagnostic> error;  // the compile error, where it was found
  // Every error in file order: the compile's own, the ones it replaced, and
  // those found by the further readings (marked after_passing_over), at
  // most kMaxListedErrors of them; and a train that reads as nothing, an
  // error of the tool's own (id "no-train", no number).
  std::vector<Diagnostic> errors;
  int further_readings = 0;          // how many further readings ran
  std::vector<Diagnostic> warnings;  // in reading order: the first ones kept
  int64_t warning_count = 0;         // all the warnings, kept or not
  Slots slots;
  DescriptionSources sources;      // the author's descriptions, for file order
  std::vector<WrittenFile> files;  // compiled files moved into the output folder
  // Why a driver's document was not written (one edited by hand is kept).
  std::vector<std::string> document_notes;
  bool in_memory = false;  // check: the pass wrote nothing anywhere
  // A run stopped while replacing a set in the output folder, and this
  // compile completed or undid that first: what it did, in words.
  std::string recovery;
  // A rename failed after some compiled files were replaced: the message
  // names them (stop), instead of saying that none was.
  bool partly_replaced = false;
  // The timetable card and the slow-order form generated from the train
  // description, in that order (compile: also where an edited document was
  // kept); empty after a compile error, without a train description, with
  // --no-documents, or when the description cannot be read for them (a note
  // in document_notes says why).
  std::vector<GeneratedDocument> documents;

  // An identity error or a run-time failure ended the pass: nothing written.
  bool stopped() const;
  // compile: 0 without an error, 1 with one (a compile error or a train
  // that reads as nothing: the files are written all the same), 2 after an
  // identity error or a run-time failure.
  int exit_status() const;
  // check: 0 without an error (and, when `warnings_are_errors`, without a
  // warning), 1 otherwise, 2 after a run-time failure that no error
  // explains.
  int check_status(bool warnings_are_errors) const;
  // The warnings and the errors in file order, then an identity error.
  std::vector<Diagnostic> diagnostics() const;
  // "note: N more warnings not shown ...\n" when warnings were dropped, else
  // empty.
  std::string unshown_warnings() const;
  // "error N: words" (the compile's own, else "error no-train: words"), or
  // "no compile error", and what ended the pass early.
  std::string message() const;
  // {"error_code", "error_position", "outcome", "identity_error",
  //  "identity_occupant" (what took cell 1 from the stamp, as "occupant"
  //  below, or null), "file", "line", "message", "files", "error", "errors", "warnings",
  //  "warning_count", "further_readings", "slots"}; "error" holds the code,
  //  place and message, then "row" (the row it arose in: {"file", "line",
  //  "column", "kind", "value"}, or null) and "occupant" (what took its cell:
  //  {"kind", "file", "line"}, or null); then "documents" for a check (null
  //  when none were generated: {"timetable_card": {"file", "lines"},
  //  "slow_order_form": ...}, each line as UTF-8 without its line end),
  //  "document_notes" when there are any and "recovery" when there was one.
  nlohmann::ordered_json to_json() const;
};

// The driver's documents as JSON: null when there are none, else
// {"timetable_card": {"file", "lines"}, "slow_order_form": {...}}, each line
// in UTF-8 without its line end.
nlohmann::ordered_json documents_json(const std::vector<GeneratedDocument>& documents);

// Compiles the author's descriptions into o.out (see the top of this file).
CompileReport compile_descriptions(const CompileOptions& o);

// Compiles them in memory and writes nothing: the report has no files.
// o.out, o.force and o.folder_wait are not used.
CompileReport check_descriptions(const CompileOptions& o);

}  // namespace tools

#endif  // SCENARIO_TOOLS_COMPILE_COMPILE_COMMAND_H_
