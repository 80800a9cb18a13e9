#include "tools/compile/compile_command.h"

#include <algorithm>
#include <functional>
#include <new>
#include <set>
#include <system_error>
#include <tuple>

#include "app/compile_pass.h"
#include "compiled/compiled_set.h"
#include "compiled/text.h"
#include "documents/document_files.h"
#include "documents/train_documents.h"
#include "finish/errore.h"
#include "finish/finishing_pass.h"
#include "model/compile_errors.h"
#include "model/compiled_files.h"
#include "model/scenario.h"
#include "platform/files.h"
#include "platform/forwarding_file_system.h"
#include "platform/memory_file_system.h"
#include "platform/runtime_failure.h"
#include "platform/set_journal.h"
#include "sources/builtin_texts.h"
#include "sources/line_writer.h"
#include "tools/compile/description_overlay.h"
#include "tools/compile/row_pass_over.h"

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

// The names the compile pass has renamed into place, as they were renamed.
class RenameRecord : public platform::ForwardingFileSystem {
 public:
  using ForwardingFileSystem::ForwardingFileSystem;
  void rename_file(const std::string& from, const std::string& to) override {
    ForwardingFileSystem::rename_file(from, to);
    renamed_.push_back(to);
  }
  bool renamed(const std::string& path) const {
    return std::find(renamed_.begin(), renamed_.end(), path) != renamed_.end();
  }

 private:
  std::vector<std::string> renamed_;
};

std::vector<std::string> compiled_names(const CompileOptions& o, const model::Scenario& s);

// Runs the compile pass on `s`, whose descriptions are served, and reports
// what it recorded.
CompileReport run_pass(const CompileOptions& o, const Inputs& in, model::Scenario& s) {
  CompileReport report;
  // What the pass renames, to say which compiled files a failure left new.
  platform::FileSystem& served = *s.files;
  RenameRecord record(served);
  s.files = &record;
  try {
    app::memorizza_percorso(s, o.line_file ? 1 : 0);
  } catch (const finish::IdentityError& end) {
    report.outcome = Outcome::kIdentityError;
    report.identity_error = end.number();
    report.identity_occupant = identity_occupant(s, end.number());
  } catch (const platform::FileReadFailure& f) {
    report.outcome = Outcome::kRuntimeFailure;
    report.stop = "failure reading a description: " + f.detail();
  } catch (const platform::SetReplacementFailure& f) {
    report.outcome = Outcome::kRuntimeFailure;
    report.partly_replaced = true;
    report.stop = "failure writing the compiled files: " + f.detail();
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
      for (const std::string& name : compiled_names(o, s)) {
        (record.renamed(platform::join_path(s.app_path, name)) ? report.replaced
                                                               : report.not_replaced)
            .push_back(name);
      }
    }
  } catch (const std::bad_alloc&) {
    report.outcome = Outcome::kRuntimeFailure;
    report.stop = "failure: out of memory";
  }
  s.files = &served;
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

// What a folder to write into is: a symbolic link that leads to a folder is
// taken as that folder (a link is never followed at the last name of a file
// written, but a folder's files are written inside it).
platform::FileKind folder_kind(platform::FileSystem& files, const std::string& folder) {
  const platform::FileKind kind = files.kind(folder);
  if (kind == platform::FileKind::kLink &&
      files.kind(platform::join_path(folder, ".")) == platform::FileKind::kFolder) {
    return platform::FileKind::kFolder;
  }
  return kind;
}

// Why `folder` cannot be written into, for a kind other than a folder or
// nothing at all.
std::string not_a_folder(const std::string& folder, platform::FileKind kind) {
  switch (kind) {
    case platform::FileKind::kRegular:
      return folder + " is a file, not a folder";
    case platform::FileKind::kLink:
      return folder + " is a symbolic link that does not lead to a folder";
    default:
      return folder + " is a pipe, device or socket, not a folder";
  }
}

}  // namespace

std::optional<ScenarioNames> names_from_files(const std::filesystem::path& route,
                                              const std::filesystem::path& train) {
  const std::string route_name = route.filename().string();
  const std::string train_name = train.filename().string();
  constexpr std::string_view kRouteEnd = "_linea.txt", kTrainEnd = "-.txt";
  if (!route_name.ends_with(kRouteEnd) || !train_name.ends_with(kTrainEnd)) return std::nullopt;
  ScenarioNames names;
  names.line_name = route_name.substr(0, route_name.size() - kRouteEnd.size());
  const std::string prefix = names.line_name + "_";
  if (!train_name.starts_with(prefix) || train_name.size() <= prefix.size() + kTrainEnd.size()) {
    return std::nullopt;
  }
  names.train_code =
      train_name.substr(prefix.size(), train_name.size() - prefix.size() - kTrainEnd.size());
  if (!is_valid_name(names.line_name) || !is_valid_name(names.train_code)) return std::nullopt;
  return names;
}

ScenarioNames resolve_names(const std::string& line_name, const std::string& train_code,
                            const std::filesystem::path& route, const std::filesystem::path& train,
                            std::string& note) {
  note.clear();
  ScenarioNames names{line_name, train_code};
  if (!line_name.empty() && !train_code.empty()) return names;
  if (std::optional<ScenarioNames> from_files = names_from_files(route, train)) {
    if (names.line_name.empty()) names.line_name = from_files->line_name;
    if (names.train_code.empty()) names.train_code = from_files->train_code;
    return names;
  }
  if (names.line_name.empty()) names.line_name = kDefaultLineName;
  if (names.train_code.empty()) names.train_code = kDefaultTrainCode;
  note =
      "the file names are not LINE_linea.txt and LINE_TRAIN-.txt of one LINE, so the "
      "compiled files are named after line " +
      names.line_name + " and train " + names.train_code +
      " (--line-name and --train-code choose them)";
  return names;
}

namespace {

// The errors a pass recorded, in the order found: the ones the last
// replaced, then the last (the pass's own).
std::vector<model::ErrorSite> recorded_sites(const model::Scenario& s) {
  std::vector<model::ErrorSite> sites = s.earlier_errors;
  if (s.error_code != model::kNoError) {
    model::ErrorSite last = s.error_site;
    if (last.code != s.error_code) {
      last = {};
      last.code = s.error_code;
      last.position = s.error_position;
    }
    sites.push_back(std::move(last));
  }
  return sites;
}

// An error is the same one when it is found again with the same number, at
// the same field, with the same position.
using ErrorKey = std::tuple<model::Description, int, int, int32_t, int32_t>;
ErrorKey key_of(const model::ErrorSite& e) {
  return {e.field.description, e.field.line, e.field.column, e.code, e.position};
}
using RowKey = std::tuple<model::Description, int, int>;
RowKey key_of(const model::FieldPlace& p) { return {p.description, p.line, p.column}; }
using WarningKey = std::tuple<model::WarningId, model::Description, int, int>;
WarningKey key_of(const model::Warning& w) {
  return {w.id, w.place.description, w.place.line, w.place.column};
}

const std::string& no_train_id() {
  static const std::string id = model::warning_name(model::WarningId::kNoTrain);
  return id;
}

void mark_after_passing_over(Diagnostic& d) {
  d.after_passing_over = true;
  d.notes.push_back(
      "found by reading on past the other errors, their rows passed over as notes: it may "
      "go when they are fixed");
}

// The errors of the compile, each once; a train that reads as nothing
// leaves the warnings for the errors: the simulator would run it with every
// speed limit 0.
void list_errors(const model::Scenario& s, CompileReport& report) {
  std::set<ErrorKey> listed;
  for (const model::ErrorSite& site : recorded_sites(s)) {
    if (listed.insert(key_of(site)).second) {
      report.errors.push_back(error_diagnostic(s, site, report.sources));
    }
  }
  for (auto it = report.warnings.begin(); it != report.warnings.end();) {
    if (it->id != no_train_id()) {
      ++it;
      continue;
    }
    it->is_error = true;
    report.errors.push_back(std::move(*it));
    it = report.warnings.erase(it);
    --report.warning_count;
  }
}

// Reads the descriptions into `s` and runs the finishing pass: all of the
// compile that records errors. Neither the identity stamps nor the writing
// of the compiled files (20 MB for the longest line) can add one to the
// list, so a further reading leaves them out. False when the reading could
// not go on (a run-time failure: without a track, say), which tells nothing
// about the rows after.
bool read_for_errors(model::Scenario& s, const CompileOptions& o) {
  try {
    s.write_line_file = o.line_file ? 1 : 0;
    app::memorizza_dati(s);
    finish::finishing_pass(s);
  } catch (const platform::RuntimeFailure&) {
    return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

// Goes on past the compile's errors (see the top of compile_command.h):
// each further reading, in memory, passes over the row of the last error
// found whose row is still read. `first` is the compile that was reported.
void find_further_errors(const CompileOptions& o, const Inputs& in, const model::Scenario& first,
                         CompileReport& report) {
  std::set<ErrorKey> listed;
  std::vector<model::ErrorSite> sites = recorded_sites(first);
  for (const model::ErrorSite& site : sites) listed.insert(key_of(site));
  std::set<WarningKey> warned;
  for (const model::Warning& w : first.warnings) warned.insert(key_of(w));
  // Warnings found further on are added only when none of the compile's
  // own were dropped: a dropped one could not be told from a new one.
  const bool add_warnings = report.warning_count == static_cast<int64_t>(report.warnings.size());

  Inputs copy = in;
  std::set<RowKey> passed_rows;
  std::set<ErrorKey> passed_errors;
  bool train_rows_passed = false;
  bool reads_as_nothing = std::any_of(report.errors.begin(), report.errors.end(),
                                      [](const Diagnostic& e) { return e.id == no_train_id(); });
  platform::MemoryFileSystem memory;
  const std::string folder = "/further";
  memory.create_folders(folder);
  DescriptionOverlay overlay(memory);
  while (report.errors.size() < kMaxListedErrors &&
         static_cast<size_t>(report.further_readings) < kMaxListedErrors) {
    const model::ErrorSite* target = nullptr;
    for (auto it = sites.rbegin(); it != sites.rend() && target == nullptr; ++it) {
      if (it->row.line > 0 && it->row.description != model::Description::kNone &&
          passed_rows.count(key_of(it->row)) == 0) {
        target = &*it;
      }
    }
    if (target == nullptr) return;
    std::optional<std::string>& bytes =
        target->row.description == model::Description::kRoute ? copy.route : copy.train;
    if (!bytes || !pass_over_row(*bytes, target->row, target->field)) return;
    passed_rows.insert(key_of(target->row));
    if (target->row.description == model::Description::kTrain) train_rows_passed = true;
    passed_errors.insert(key_of(*target));

    ++report.further_readings;
    model::Scenario s = fresh_scenario(o, folder, overlay);
    serve_inputs(overlay, s, copy);
    if (!read_for_errors(s, o)) return;
    sites = recorded_sites(s);
    // Passing over its row did not take it away: reading on finds nothing new.
    if (!sites.empty() && passed_errors.count(key_of(sites.back())) != 0) return;
    for (const model::ErrorSite& site : sites) {
      if (report.errors.size() >= kMaxListedErrors) break;
      if (!listed.insert(key_of(site)).second) continue;
      Diagnostic d = error_diagnostic(s, site, report.sources);
      mark_after_passing_over(d);
      report.errors.push_back(std::move(d));
    }
    for (const model::Warning& w : s.warnings) {
      if (w.id == model::WarningId::kNoTrain) {
        // A train read for the first time once the route's faulty rows are
        // passed over may read as nothing; one whose rows were passed over
        // is no fault of the author's.
        if (!train_rows_passed && !reads_as_nothing && report.errors.size() < kMaxListedErrors) {
          reads_as_nothing = true;
          Diagnostic d = warning_diagnostic(w, report.sources);
          d.is_error = true;
          mark_after_passing_over(d);
          report.errors.push_back(std::move(d));
        }
        continue;
      }
      if (!add_warnings || report.warnings.size() >= model::kMaxWarnings) continue;
      if (!warned.insert(key_of(w)).second) continue;
      Diagnostic d = warning_diagnostic(w, report.sources);
      mark_after_passing_over(d);
      report.warnings.push_back(std::move(d));
      ++report.warning_count;
    }
  }
}

// The compile's errors, then every error further on, in file order.
void find_every_error(const CompileOptions& o, const Inputs& in, const model::Scenario& first,
                      CompileReport& report) {
  list_errors(first, report);
  find_further_errors(o, in, first, report);
  sort_in_file_order(report.errors, report.sources);
}

void refuse_bad_names(const CompileOptions& o) {
  std::string problem = name_problem("line name (--line-name)", o.line_name);
  if (problem.empty()) problem = train_code_problem("train code (--train-code)", o.train_code);
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

// The line name and train code stamped in the station file at `path`, or
// nothing when there is no regular file there or it cannot be read as a
// station file (a file cut short by an older tool, say: nothing shows it to
// be another scenario's). One that cannot be read stops the compile.
std::optional<std::pair<std::string, std::string>> station_names(platform::FileSystem& files,
                                                                 const std::string& path) {
  if (files.kind(path) != platform::FileKind::kRegular) return std::nullopt;
  StationFile station;
  try {
    station = read_station_file(files.read_file(path, kMaxStationFileSize));
  } catch (const platform::RuntimeFailure& f) {
    throw ToolError("cannot read the station file already there: " + f.detail() +
                    ": nothing was written (use --force to replace it)");
  } catch (const BadFile&) {
    return std::nullopt;
  }
  return std::make_pair(station.slots[model::kSlotLine].item_name,
                        station.slots[model::kSlotTrain].item_name);
}

[[noreturn]] void refuse_another_scenarios_file(const std::string& path, const std::string& what) {
  throw ToolError(path + " " + what +
                  ": nothing was written (use --force to replace it, or another --out folder)");
}

bool ends_with_nocase(std::string_view text, std::string_view end) {
  if (text.size() < end.size()) return false;
  text = text.substr(text.size() - end.size());
  for (size_t i = 0; i < end.size(); ++i) {
    const char c =
        text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
    if (c != end[i]) return false;
  }
  return true;
}

// Names of two scenarios can give the same file name: line "A_B" with train
// "C" and line "A" with train "B_C" share their station and track files, and
// the track file of line "A" and train "B_linea" is the line file of line
// "A_B". A compiled file already in the output folder that belongs to
// another scenario is not replaced without --force; what shows it is the
// station file that names that scenario. Anything but a regular file is left
// to the replacement, which refuses it.
void refuse_replacing_another_scenario(const CompileOptions& o, platform::FileSystem& files,
                                       const model::Scenario& s) {
  if (o.force) return;
  const std::string& folder = s.app_path;
  const auto other = [&s](const std::pair<std::string, std::string>& names) {
    return "the compiled scenario of line " + to_utf8(names.first) + " and train " +
           to_utf8(names.second) + ", not of line " + s.line_name + " and train " + s.train_code;
  };

  // The station file and the track file: the station file under the same
  // name says whose they are.
  const std::string station = platform::join_path(folder, model::station_file_name(s));
  if (const auto names = station_names(files, station);
      names && (names->first != s.line_name || names->second != s.train_code)) {
    refuse_another_scenarios_file(station, "holds " + other(*names));
  }

  // The line file: it is another scenario's track file when a station file
  // of the same name stands beside it.
  const std::string line_file = platform::join_path(folder, model::line_file_name(s));
  if (o.line_file && files.kind(line_file) == platform::FileKind::kRegular) {
    const std::string base = s.line_name + "_linea";
    const std::string beside = platform::join_path(folder, base + ".sim");
    if (const auto names = station_names(files, beside)) {
      refuse_another_scenarios_file(
          line_file, "is the track file of line " + to_utf8(names->first) + " and train " +
                         to_utf8(names->second) + " (its station file " + base +
                         ".sim is beside it), not the line file of line " + s.line_name);
    }
  }

  // The track file of a train code ending in "_linea": it is the line file of
  // the line named by the rest when a station file of that line is there.
  const std::string track = platform::join_path(folder, model::track_file_name(s));
  constexpr std::string_view kLineSuffix = "_linea";
  if (ends_with_nocase(s.train_code, kLineSuffix) &&
      files.kind(track) == platform::FileKind::kRegular) {
    const std::string line =
        s.line_name + "_" + s.train_code.substr(0, s.train_code.size() - kLineSuffix.size());
    for (const std::string& name : files.list_folder(folder)) {
      if (!name.starts_with(line + "_") || !name.ends_with(".sim")) continue;
      const auto names = station_names(files, platform::join_path(folder, name));
      if (names && names->first == line) {
        refuse_another_scenarios_file(track, "is the line file of line " + to_utf8(line) +
                                                 " (its train " + to_utf8(names->second) +
                                                 " is compiled there, " + name +
                                                 "), not the track file of line " + s.line_name +
                                                 " and train " + s.train_code);
      }
    }
  }
}

// The timetable card and the slow-order form of the compiled train, in that
// order. Throws platform::RuntimeFailure where the train description cannot
// be read for them.
std::vector<documents::DocumentFile> driver_documents(const model::Scenario& s,
                                                      const std::string& train) {
  documents::TrainRows rows = documents::read_train_rows(train);
  rows.kilometres = documents::kilometre_records(s.item_table);
  const documents::Documents d = documents::make_documents(rows, s.line_name, s.train_code);
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
      report.files.push_back(written_file(files, s.app_path, name));
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

WrittenFile written_file(platform::FileSystem& files, const std::string& folder,
                         const std::string& name) {
  try {
    return {name, files.file_size(platform::join_path(folder, name))};
  } catch (const platform::RuntimeFailure&) {
    return {name, kSizeNotKnown};
  }
}

std::vector<WrittenFile> write_into_folder(const fs::path& dir,
                                           const std::vector<std::string>& names, bool overwrite,
                                           platform::FileSystem& files,
                                           const std::function<void(const std::string&)>& write) {
  const std::string folder = dir.string();
  try {
    const platform::FileKind kind = folder_kind(files, folder);
    if (kind != platform::FileKind::kMissing && kind != platform::FileKind::kFolder) {
      throw ToolError(not_a_folder(folder, kind));
    }
    if (kind == platform::FileKind::kMissing) files.create_folders(folder);
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
      written.push_back(written_file(files, folder, name));
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
  return error_code == 0 && errors.empty() ? 0 : 1;
}

int CompileReport::check_status(bool warnings_are_errors) const {
  // A pass that could not go on after a compile error (no track without a
  // route length) failed because of the description: that error is the
  // outcome.
  if (error_code != 0 || identity_error || !errors.empty()) return 1;
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
  all.insert(all.end(), errors.begin(), errors.end());
  sort_in_file_order(all, sources);
  if (identity_error)
    all.push_back(identity_diagnostic(*identity_error, identity_occupant, sources));
  return all;
}

std::string CompileReport::message() const {
  std::string m = error             ? "error " + std::to_string(error->code) + ": " + error->message
                  : !errors.empty() ? "error " + errors.front().id + ": " + errors.front().message
                                    : std::string("no compile error");
  if (!stopped()) return m;
  const std::string ended =
      identity_error ? "error " + std::to_string(*identity_error) + ": " +
                           identity_diagnostic(*identity_error, identity_occupant, sources).message
                     : "the compile stopped with a " + stop;
  const auto names = [](const std::vector<std::string>& list) {
    std::string text;
    for (size_t i = 0; i < list.size(); ++i) {
      text += (i == 0 ? "" : i + 1 == list.size() ? " and " : ", ") + list[i];
    }
    return text;
  };
  std::string fate;
  if (replaced.empty()) {
    fate = "; no compiled file was replaced";
  } else {
    fate = "; " + names(replaced) + (replaced.size() == 1 ? " was" : " were") + " replaced";
    if (!not_replaced.empty()) {
      fate += ", " + names(not_replaced) + (not_replaced.size() == 1 ? " was" : " were") + " not";
    }
  }
  // A set replacement that failed part way says itself which files it replaced.
  return (error ? m + "; then " : std::string()) + ended +
         (in_memory || partly_replaced ? "" : fate);
}

nlohmann::ordered_json CompileReport::to_json() const {
  using json = nlohmann::ordered_json;
  auto or_null = [](int n) { return n > 0 ? json(n) : json(nullptr); };
  auto occupant_json = [&or_null](const ErrorOccupant& o) {
    return json{{"kind", o.kind},
                {"file", o.file ? json(*o.file) : json(nullptr)},
                {"line", or_null(o.line)}};
  };
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
    if (error->occupant) error_json["occupant"] = occupant_json(*error->occupant);
  }
  json error_list = json::array();
  for (const Diagnostic& e : errors) {
    error_list.push_back(json{{"code", e.id.empty() ? json(e.code) : json(nullptr)},
                              {"id", e.id.empty() ? json(nullptr) : json(e.id)},
                              {"file", e.file ? json(*e.file) : json(nullptr)},
                              {"line", or_null(e.line)},
                              {"column", or_null(e.column)},
                              {"position", e.position ? json(*e.position) : json(nullptr)},
                              {"message", e.message},
                              {"after_passing_over", e.after_passing_over}});
  }
  json warning_list = json::array();
  for (const Diagnostic& w : warnings) {
    warning_list.push_back(json{{"id", w.id},
                                {"file", w.file ? json(*w.file) : json(nullptr)},
                                {"line", or_null(w.line)},
                                {"column", or_null(w.column)},
                                {"message", w.message},
                                {"after_passing_over", w.after_passing_over}});
  }
  // What took cell 1 from the identity stamp, as "error".occupant names it.
  json identity_occupant_json = nullptr;
  if (identity_error) {
    const Diagnostic d = identity_diagnostic(*identity_error, identity_occupant, sources);
    if (d.occupant) identity_occupant_json = occupant_json(*d.occupant);
  }
  json result =
      json{{"error_code", error_code},
           {"error_position", error_position},
           {"outcome", outcome_name(outcome)},
           {"identity_error", identity_error ? json(*identity_error) : json(nullptr)},
           {"identity_occupant", identity_occupant_json},
           {"file", error && error->file ? json(*error->file) : json(nullptr)},
           {"line", error ? or_null(error->line) : json(nullptr)},
           {"message", message()},
           {"files", names},
           {"error", error_json},
           {"errors", error_list},
           {"warnings", warning_list},
           {"warning_count", warning_count},
           {"further_readings", further_readings},
           {"slots",
            json{{"stations", slots.stations}, {"signs", slots.signs}, {"free", slots.free()}}}};
  if (in_memory) result["documents"] = documents_json(documents);
  if (!document_notes.empty()) result["document_notes"] = document_notes;
  if (!recovery.empty()) result["recovery"] = to_utf8(recovery);
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
  if (o.out.empty()) throw ToolError("--out: the name is empty: give the folder to write into");
  platform::FileSystem& files = *o.files;
  Inputs in = read_inputs(o, files);

  const std::string out = o.out.string();
  std::unique_ptr<platform::FolderLock> lock;
  DescriptionOverlay overlay(files);
  model::Scenario s = fresh_scenario(o, out, overlay);
  // A folder made for this compile goes again when nothing was written.
  std::optional<CreatedFolder> created;
  platform::SetRecovery recovery;
  try {
    const platform::FileKind kind = folder_kind(files, out);
    if (kind != platform::FileKind::kMissing && kind != platform::FileKind::kFolder) {
      throw ToolError("--out " + not_a_folder(out, kind));
    }
    if (kind == platform::FileKind::kMissing) created.emplace(files, out);
    // One compile at a time in a folder: another one would mix its files
    // with these.
    lock = files.lock_folder(out, o.folder_wait);
    // A set that a stopped run was replacing is made whole first: its
    // temporaries are not leftovers.
    try {
      recovery = platform::recover_interrupted_set(files, out);
    } catch (const platform::RuntimeFailure& f) {
      throw ToolError(f.detail() + ": nothing was written");
    }
    platform::remove_stale_partials(files, out, compiled_names(o, s));
  } catch (const platform::RuntimeFailure& f) {
    throw ToolError("the output folder " + f.detail());
  }
  refuse_overwriting_inputs(o, s);
  refuse_replacing_another_scenario(o, files, s);
  serve_inputs(overlay, s, in);

  CompileReport report = run_pass(o, in, s);
  find_every_error(o, in, s, report);
  report.recovery = recovery.message(out);
  if (report.stopped()) return report;
  if (created) created->keep();
  for (const std::string& name : compiled_names(o, s)) {
    report.files.push_back(written_file(files, out, name));
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
  find_every_error(o, in, s, report);
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
