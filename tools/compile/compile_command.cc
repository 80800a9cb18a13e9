#include "tools/compile/compile_command.h"

#include <functional>
#include <new>
#include <system_error>

#include "app/compile_pass.h"
#include "compiled/compiled_set.h"
#include "compiled/text.h"
#include "documents/document_files.h"
#include "documents/train_documents.h"
#include "finish/errore.h"
#include "model/compile_errors.h"
#include "model/compiled_files.h"
#include "model/scenario.h"
#include "platform/files.h"
#include "platform/memory_file_system.h"
#include "platform/runtime_failure.h"
#include "sources/builtin_texts.h"
#include "sources/line_writer.h"
#include "tools/compile/description_overlay.h"

namespace tools {

namespace fs = std::filesystem;

namespace {

std::string read_description(platform::FileSystem& files, const fs::path& path, const char* what) {
  try {
    return platform::read_description_file(files, path.string());
  } catch (const platform::RuntimeFailure& f) {
    throw ToolError(std::string(what) + " " + f.detail());
  }
}

// The author's descriptions, read once; the compile pass sees these copies.
struct Inputs {
  std::optional<std::string> route, train;
};

Inputs read_inputs(const CompileOptions& o, platform::FileSystem& files) {
  Inputs in;
  if (o.route) in.route = read_description(files, *o.route, "route description");
  if (o.train) in.train = read_description(files, *o.train, "train description");
  return in;
}

model::Scenario fresh_scenario(const CompileOptions& o, const std::string& folder,
                               platform::FileSystem& files) {
  model::Scenario s;
  s.app_path = folder;
  s.files = &files;
  s.line_name = o.line_name;
  s.train_code = o.train_code;
  return s;
}

// Serves the descriptions to the compile pass under the names it reads in
// s.app_path; a description not given is missing there.
void serve_inputs(DescriptionOverlay& overlay, const model::Scenario& s, const Inputs& in) {
  overlay.serve(platform::join_path(s.app_path, model::route_description_name(s)), in.route);
  overlay.serve(platform::join_path(s.app_path, model::train_description_name(s)), in.train);
}

DescriptionSources sources_of(const CompileOptions& o, const Inputs& in) {
  DescriptionSources src;
  if (o.route) src.route_file = o.route->string();
  if (o.train) src.train_file = o.train->string();
  src.route = in.route;
  src.train = in.train;
  return src;
}

// Runs the compile pass on `s`, whose descriptions are served, and reports
// what it recorded.
CompileReport run_pass(const CompileOptions& o, const Inputs& in, model::Scenario& s) {
  CompileReport report;
  try {
    app::memorizza_percorso(s, o.line_file ? 1 : 0);
  } catch (const finish::IdentityError& end) {
    report.outcome = Outcome::kIdentityError;
    report.identity_error = end.number();
  } catch (const platform::RuntimeFailure& f) {
    report.outcome = Outcome::kRuntimeFailure;
    if (f.number() == platform::kSubscriptOutOfRange) {
      // In the author's words: the pass reached past the track it had.
      report.stop = !s.track_allocated
                        ? "failure: no track was built, as the route description gave no "
                          "accepted route length"
                        : "failure: a value reached past the end of the track (run-time "
                          "failure " +
                              std::to_string(f.number()) + ")";
    } else {
      // Past the reading, only the compiled files' writing touches a file.
      report.stop = "failure writing the compiled files: " + f.detail();
    }
  } catch (const std::bad_alloc&) {
    report.outcome = Outcome::kRuntimeFailure;
    report.stop = "failure: out of memory";
  }
  report.error_code = s.error_code;
  report.error_position = s.error_position;
  if (report.outcome == Outcome::kOk && s.error_code != model::kNoError) {
    report.outcome = Outcome::kCompileError;
  }
  const DescriptionSources src = sources_of(o, in);
  if (s.error_code != model::kNoError) report.error = error_diagnostic(s, src);
  report.warnings = warning_diagnostics(s, src);
  report.warning_count = s.warning_count;
  report.slots = slots_of(s);
  report.sources = src;
  return report;
}

void refuse_bad_names(const CompileOptions& o) {
  std::string problem = name_problem("line name (--line-name)", o.line_name);
  if (problem.empty()) problem = name_problem("train code (--train-code)", o.train_code);
  if (!problem.empty()) throw ToolError(problem);
}

// A folder created for the output, deleted again (with the folders made
// above it) unless kept; only ever when empty.
class CreatedFolder {
 public:
  CreatedFolder(platform::FileSystem& files, const std::string& folder) : files_(files) {
    std::string missing = folder;
    while (files.kind(missing) == platform::FileKind::kMissing) {
      made_.push_back(missing);
      std::string up = platform::folder_of(missing);
      if (up == missing || up == "." || up == "/") break;
      missing = up;
    }
    files.create_folders(folder);
  }
  CreatedFolder(const CreatedFolder&) = delete;
  CreatedFolder& operator=(const CreatedFolder&) = delete;
  ~CreatedFolder() {
    for (const std::string& folder : made_) {
      try {
        files_.delete_folder(folder);
      } catch (...) {
        return;  // not empty (or failing): left as it is
      }
    }
  }
  void keep() { made_.clear(); }

 private:
  platform::FileSystem& files_;
  std::vector<std::string> made_;  // deepest first
};

std::vector<std::string> compiled_names(const CompileOptions& o, const model::Scenario& s) {
  std::vector<std::string> names;
  if (o.line_file) names.push_back(model::line_file_name(s));
  names.push_back(model::station_file_name(s));
  names.push_back(model::track_file_name(s));
  return names;
}

// The author's descriptions must never be among the files the pass writes.
void refuse_overwriting_inputs(const CompileOptions& o, const model::Scenario& names) {
  std::error_code ec;
  for (const std::string& name : compiled_names(o, names)) {
    fs::path target = o.out / name;
    for (const auto& input : {o.route, o.train}) {
      if (input && fs::exists(target, ec) && fs::equivalent(target, *input, ec)) {
        throw ToolError("the compiled file " + target.string() + " would replace the description " +
                        input->string() + ": choose another --out folder or other names");
      }
    }
  }
}

// A station file already in the output folder under this compile's name
// but stamped with other names (line "A_B" and train "C" against line "A"
// and train "B_C" give the same file names) is another scenario's: not
// replaced without --force. A file that cannot be read as a station file
// is replaced like any other; one that cannot be read stops the compile.
// Anything but a regular file is left to the replacement, which refuses it.
void refuse_replacing_another_scenario(const CompileOptions& o, platform::FileSystem& files,
                                       const model::Scenario& s) {
  if (o.force) return;
  const std::string path = platform::join_path(o.out.string(), model::station_file_name(s));
  if (files.kind(path) != platform::FileKind::kRegular) return;
  StationFile old;
  try {
    old = read_station_file(files.read_file(path, kMaxStationFileSize));
  } catch (const platform::RuntimeFailure& f) {
    throw ToolError("cannot read the station file already there: " + f.detail() +
                    ": nothing was written (use --force to replace it)");
  } catch (const BadFile&) {
    // Not a station file at all (a file cut short by an older tool, say):
    // nothing shows it to be another scenario's.
    return;
  }
  const std::string& line = old.slots[model::kSlotLine].item_name;
  const std::string& train = old.slots[model::kSlotTrain].item_name;
  if (line == s.line_name && train == s.train_code) return;
  throw ToolError(path + " holds the compiled scenario of line " + to_utf8(line) + " and train " +
                  to_utf8(train) + ", not of line " + s.line_name + " and train " + s.train_code +
                  ": nothing was written (use --force to replace it, or another --out folder)");
}

// The timetable card and the slow-order form of the compiled train, in that
// order. Throws platform::RuntimeFailure where the train description cannot
// be read for them.
std::vector<documents::DocumentFile> driver_documents(const model::Scenario& s,
                                                      const std::string& train) {
  const documents::Documents d =
      documents::make_documents(documents::read_train_rows(train), s.line_name, s.train_code);
  return {{sources::timetable_card_name(s), d.timetable_card,
           sources::line_array_bytes(sources::timetable_card_text())},
          {sources::slow_order_form_name(s), d.slow_order_form,
           sources::line_array_bytes(sources::slow_order_form_text())}};
}

const char kDocumentsNotMade[] = "the driver's documents were not written: ";

// The driver's documents, beside the compiled files.
void write_driver_documents(platform::FileSystem& files, const model::Scenario& s,
                            const std::string& train, CompileReport& report) {
  try {
    const std::vector<documents::DocumentFile> docs = driver_documents(s, train);
    for (const documents::DocumentFile& d : docs) report.documents.push_back({d.name, d.bytes});
    const documents::WriteResult r =
        documents::write_documents(files, s.app_path, s.line_name, s.train_code, docs);
    for (const std::string& name : r.written) {
      report.files.emplace_back(name, files.file_size(platform::join_path(s.app_path, name)));
    }
    for (const std::string& name : r.kept) {
      report.document_notes.push_back(
          name + " was edited by hand: kept, not replaced (delete it to have it generated again)");
    }
  } catch (const platform::RuntimeFailure& f) {
    report.document_notes.push_back(kDocumentsNotMade + f.detail());
  }
}

// A document's lines in UTF-8, without their line ends.
nlohmann::ordered_json document_lines(const std::string& bytes) {
  nlohmann::ordered_json lines = nlohmann::ordered_json::array();
  size_t from = 0;
  while (from < bytes.size()) {
    size_t end = bytes.find("\r\n", from);
    if (end == std::string::npos) end = bytes.size();
    lines.push_back(to_utf8(std::string_view(bytes).substr(from, end - from)));
    from = end + 2;
  }
  return lines;
}

}  // namespace

std::vector<WrittenFile> write_into_folder(const fs::path& dir,
                                           const std::vector<std::string>& names, bool overwrite,
                                           platform::FileSystem& files,
                                           const std::function<void(const std::string&)>& write) {
  const std::string folder = dir.string();
  try {
    if (files.kind(folder) != platform::FileKind::kMissing &&
        files.kind(folder) != platform::FileKind::kFolder) {
      throw ToolError(folder + " is a file, not a folder");
    }
    files.create_folders(folder);
    std::unique_ptr<platform::FolderLock> lock = files.lock_folder(folder, kFolderWait);
    platform::remove_stale_partials(files, folder, names);
    if (!overwrite) {
      for (const std::string& name : names) {
        std::string path = platform::join_path(folder, name);
        if (files.kind(path) != platform::FileKind::kMissing) {
          throw ToolError(path +
                          " is already there and may hold your edits: nothing was written "
                          "(use --force to replace the " +
                          std::to_string(names.size()) + " files)");
        }
      }
    }
    write(folder);
    std::vector<WrittenFile> written;
    for (const std::string& name : names) {
      written.emplace_back(name, files.file_size(platform::join_path(folder, name)));
    }
    return written;
  } catch (const platform::RuntimeFailure& f) {
    throw ToolError("cannot write into " + folder + ": " + f.detail());
  }
}

std::vector<WrittenFile> write_builtin(const fs::path& dir, bool overwrite,
                                       platform::FileSystem& files) {
  model::Scenario s;
  s.line_name = kDefaultLineName;
  s.train_code = kDefaultTrainCode;
  s.files = &files;
  const std::vector<std::string> names = {
      model::route_description_name(s), model::train_description_name(s), sources::notes_name(s),
      sources::slow_order_form_name(s), sources::timetable_card_name(s)};
  return write_into_folder(dir, names, overwrite, files, [&s](const std::string& folder) {
    s.app_path = folder;
    sources::dati_linea(s);
    sources::dati_treno(s);
    sources::dati_note(s);
    sources::dati_rallentamenti(s);
    sources::dati_scheda(s);
  });
}

const char* outcome_name(Outcome outcome) {
  switch (outcome) {
    case Outcome::kOk:
      return "ok";
    case Outcome::kCompileError:
      return "compile_error";
    case Outcome::kIdentityError:
      return "identity_error";
    case Outcome::kRuntimeFailure:
      return "runtime_failure";
  }
  return "ok";
}

bool CompileReport::stopped() const {
  return outcome == Outcome::kIdentityError || outcome == Outcome::kRuntimeFailure;
}

int CompileReport::exit_status() const {
  if (stopped()) return 2;
  return error_code == 0 ? 0 : 1;
}

int CompileReport::check_status(bool warnings_are_errors) const {
  // A pass that could not go on after a compile error (no track without a
  // route length) failed because of the description: that error is the
  // outcome.
  if (error_code != 0 || identity_error) return 1;
  if (outcome == Outcome::kRuntimeFailure) return 2;
  return warnings_are_errors && warning_count > 0 ? 1 : 0;
}

std::string CompileReport::unshown_warnings() const {
  const int64_t unshown = warning_count - static_cast<int64_t>(warnings.size());
  if (unshown <= 0) return {};
  return "note: " + std::to_string(unshown) + " more warnings not shown (the first " +
         std::to_string(warnings.size()) + " are)\n";
}

std::vector<Diagnostic> CompileReport::diagnostics() const {
  std::vector<Diagnostic> all = warnings;
  if (error) all.push_back(*error);
  sort_in_file_order(all, sources);
  if (identity_error) all.push_back(identity_diagnostic(*identity_error));
  return all;
}

std::string CompileReport::message() const {
  std::string m = error ? "error " + std::to_string(error->code) + ": " + error->message
                        : std::string("no compile error");
  if (!stopped()) return m;
  const std::string ended = identity_error ? "error " + std::to_string(*identity_error) + ": " +
                                                 identity_diagnostic(*identity_error).message
                                           : "the compile stopped with a " + stop;
  return (error ? m + "; then " : std::string()) + ended +
         (in_memory ? "" : "; no compiled file was replaced");
}

nlohmann::ordered_json CompileReport::to_json() const {
  using json = nlohmann::ordered_json;
  auto or_null = [](int n) { return n > 0 ? json(n) : json(nullptr); };
  json names = json::array();
  for (const WrittenFile& f : files) names.push_back(to_utf8(f.first));
  json error_json = nullptr;
  if (error) {
    error_json = json{{"code", error->code},
                      {"file", error->file ? json(*error->file) : json(nullptr)},
                      {"line", or_null(error->line)},
                      {"column", or_null(error->column)},
                      {"position", error->position ? json(*error->position) : json(nullptr)},
                      {"message", error->message}};
    error_json["row"] = nullptr;
    if (const std::optional<ErrorRow>& row = error->row) {
      error_json["row"] = json{{"file", row->file ? json(*row->file) : json(nullptr)},
                               {"line", row->line},
                               {"column", row->column},
                               {"kind", row->kind},
                               {"value", row->value.empty() ? json(nullptr) : json(row->value)}};
    }
    error_json["occupant"] = nullptr;
    if (const std::optional<ErrorOccupant>& o = error->occupant) {
      error_json["occupant"] = json{{"kind", o->kind},
                                    {"file", o->file ? json(*o->file) : json(nullptr)},
                                    {"line", or_null(o->line)}};
    }
  }
  json warning_list = json::array();
  for (const Diagnostic& w : warnings) {
    warning_list.push_back(json{{"id", w.id},
                                {"file", w.file ? json(*w.file) : json(nullptr)},
                                {"line", or_null(w.line)},
                                {"column", or_null(w.column)},
                                {"message", w.message}});
  }
  json result =
      json{{"error_code", error_code},
           {"error_position", error_position},
           {"outcome", outcome_name(outcome)},
           {"identity_error", identity_error ? json(*identity_error) : json(nullptr)},
           {"file", error && error->file ? json(*error->file) : json(nullptr)},
           {"line", error ? or_null(error->line) : json(nullptr)},
           {"message", message()},
           {"files", names},
           {"error", error_json},
           {"warnings", warning_list},
           {"warning_count", warning_count},
           {"slots",
            json{{"stations", slots.stations}, {"signs", slots.signs}, {"free", slots.free()}}}};
  if (in_memory) result["documents"] = documents_json(documents);
  if (!document_notes.empty()) result["document_notes"] = document_notes;
  return result;
}

nlohmann::ordered_json documents_json(const std::vector<GeneratedDocument>& documents) {
  using json = nlohmann::ordered_json;
  if (documents.size() != 2) return nullptr;
  json docs = json::object();
  const char* keys[] = {"timetable_card", "slow_order_form"};
  for (size_t i = 0; i < 2; ++i) {
    docs[keys[i]] =
        json{{"file", to_utf8(documents[i].name)}, {"lines", document_lines(documents[i].bytes)}};
  }
  return docs;
}

CompileReport compile_descriptions(const CompileOptions& o) {
  refuse_bad_names(o);
  platform::FileSystem& files = *o.files;
  Inputs in = read_inputs(o, files);

  const std::string out = o.out.string();
  std::unique_ptr<platform::FolderLock> lock;
  DescriptionOverlay overlay(files);
  model::Scenario s = fresh_scenario(o, out, overlay);
  // A folder made for this compile goes again when nothing was written.
  std::optional<CreatedFolder> created;
  try {
    platform::FileKind kind = files.kind(out);
    if (kind == platform::FileKind::kRegular)
      throw ToolError("--out " + out + " is a file, not a folder");
    if (kind != platform::FileKind::kMissing && kind != platform::FileKind::kFolder) {
      throw ToolError("--out " + out + " is not a folder");
    }
    if (kind == platform::FileKind::kMissing) created.emplace(files, out);
    // One compile at a time in a folder: another one would mix its files
    // with these.
    lock = files.lock_folder(out, o.folder_wait);
    platform::remove_stale_partials(files, out, compiled_names(o, s));
  } catch (const platform::RuntimeFailure& f) {
    throw ToolError("the output folder " + f.detail());
  }
  refuse_overwriting_inputs(o, s);
  refuse_replacing_another_scenario(o, files, s);
  serve_inputs(overlay, s, in);

  CompileReport report = run_pass(o, in, s);
  if (report.stopped()) return report;
  if (created) created->keep();
  for (const std::string& name : compiled_names(o, s)) {
    report.files.emplace_back(name, files.file_size(platform::join_path(out, name)));
  }
  if (o.documents && in.train && report.error_code == 0)
    write_driver_documents(files, s, *in.train, report);
  return report;
}

CompileReport check_descriptions(const CompileOptions& o) {
  refuse_bad_names(o);
  Inputs in = read_inputs(o, *o.files);
  // The pass runs on a file system of its own in memory: nothing is written
  // anywhere, and no folder is locked.
  platform::MemoryFileSystem memory;
  const std::string folder = "/check";
  memory.create_folders(folder);
  DescriptionOverlay overlay(memory);
  model::Scenario s = fresh_scenario(o, folder, overlay);
  serve_inputs(overlay, s, in);
  CompileReport report = run_pass(o, in, s);
  report.in_memory = true;
  // What compile would write beside the compiled files, for the author to
  // look at before compiling.
  if (o.documents && in.train && report.error_code == 0 && !report.stopped()) {
    try {
      for (documents::DocumentFile& d : driver_documents(s, *in.train))
        report.documents.push_back({std::move(d.name), std::move(d.bytes)});
    } catch (const platform::RuntimeFailure& f) {
      report.document_notes.push_back("the driver's documents could not be generated: " +
                                      f.detail());
    }
  }
  return report;
}

}  // namespace tools
