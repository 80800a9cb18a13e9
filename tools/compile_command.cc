#include "tools/compile_command.h"

#include <new>
#include <system_error>

#include "app/compile_pass.h"
#include "finish/errore.h"
#include "model/compiled_files.h"
#include "model/scenario.h"
#include "platform/files.h"
#include "platform/memory_file_system.h"
#include "platform/runtime_failure.h"
#include "route/route_reader.h"
#include "sources/builtin_texts.h"
#include "tools/compiled_set.h"
#include "tools/description_overlay.h"
#include "tools/text.h"
#include "train/train_reader.h"

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

// The words for a run-time failure inside reading, by its number.
std::string failure_words(const platform::RuntimeFailure& f) {
  std::string words;
  switch (f.number()) {
    case platform::kOverflow:
      words = "a value does not fit its field";
      break;
    case platform::kTypeMismatch:
      words = "a field is not a whole number";
      break;
    case platform::kInputPastEnd:
      words = "the file ends inside a row";
      break;
    case platform::kSubscriptOutOfRange:
      words =
          "a row reaches outside the track or the tables (a cell before the start, "
          "past the end, or too many rows of its kind)";
      break;
    default:
      words = "run-time failure " + std::to_string(f.number());
  }
  return words + " (" + f.what() + ")";
}

// Where the reading of the two descriptions stopped, found by reading them
// once more on a scratch model with the same readers in the compile pass's
// order. Needed where the final model cannot tell: an error 15 of the route
// half is followed by the whole train half (which moves the reading state on
// and may replace the position), and an error 25 leaves no word on what
// failed.
struct ReadingReplay {
  int32_t route_code = 0;
  int32_t route_position = 0;
  int route_line = 0;
  bool failed = false;    // a run-time failure ended the reading (error 25)
  bool in_train = false;  // ... in the train half
  std::string file;       // the description of the last field read before it
  int line = 0;
  std::string failure;  // its words
};

ReadingReplay replay_reading(const CompileOptions& o, const Inputs& in) {
  // In memory: the replay writes nothing and cannot fail on a disk.
  platform::MemoryFileSystem memory;
  DescriptionOverlay overlay(memory);
  model::Scenario s = fresh_scenario(o, "replay", overlay);
  serve_inputs(overlay, s, in);
  s.write_line_file = o.line_file ? 1 : 0;
  s.error_code = 0;
  model::clear_item_table(s);
  ReadingReplay r;
  try {
    route::RouteOutcome route = route::read_route_description(s);
    r.route_code = s.error_code;
    r.route_position = s.error_position;
    r.route_line = s.reading_line;
    if (route.read_train) {
      r.in_train = true;
      s.reading_file.clear();
      s.reading_line = 0;
      train::read_train_description(s, route.sign_slot);
    }
  } catch (const platform::RuntimeFailure& f) {
    r.failed = true;
    r.file = s.reading_file;
    r.line = s.reading_line;
    r.failure = failure_words(f);
  }
  return r;
}

// Names the author's file for a description file name of the compile pass.
std::optional<std::string> author_file(const CompileOptions& o, const model::Scenario& s,
                                       const std::string& reading_file) {
  if (reading_file.empty()) return std::nullopt;
  std::string name = fs::path(reading_file).filename().string();
  if (o.route && name == model::route_description_name(s)) return o.route->string();
  if (o.train && name == model::train_description_name(s)) return o.train->string();
  return name;
}

Diagnostic diagnose(const CompileOptions& o, const Inputs& in, const model::Scenario& s) {
  Diagnostic d;
  int32_t code = s.error_code;
  if (code == 0) {
    d.message = "no compile error";
    return d;
  }
  ErrorFacts facts;
  facts.cell_count = s.cell_count;
  facts.line_length = s.item_table[model::kSlotTrainGeneral].area_end;
  int32_t position = s.error_position;

  if (is_finishing_code(code) || code == 101) {
    // The finishing pass works on cells, not rows; 101 has no file at all.
  } else if (code == 2) {
    // Checked after the train reading, about rows of the route description.
    if (o.route) d.file = o.route->string();
  } else if (code == 15 || code == 25) {
    ReadingReplay r = replay_reading(o, in);
    if (code == 15 && r.route_code == 15) {
      if (o.route) d.file = o.route->string();
      if (d.file && r.route_line > 0) d.line = r.route_line;
      position = r.route_position;
    } else if (code == 25 && r.failed) {
      if (r.in_train && !o.train) {
        facts.train_missing = true;
      } else {
        const std::optional<fs::path>& source = r.in_train ? o.train : o.route;
        if (source) d.file = source->string();
        if (d.file && r.line > 0 && !r.file.empty()) d.line = r.line;
        facts.failure = r.failure;
      }
    } else {
      d.file = author_file(o, s, s.reading_file);
      if (d.file && s.reading_line > 0) d.line = s.reading_line;
    }
  } else {
    d.file = author_file(o, s, s.reading_file);
    if (d.file && s.reading_line > 0) d.line = s.reading_line;
  }
  d.message = error_message(code, position, facts);
  return d;
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

}  // namespace

std::vector<WrittenFile> write_builtin(const fs::path& dir, bool overwrite,
                                       platform::FileSystem& files) {
  model::Scenario s;
  s.line_name = kDefaultLineName;
  s.train_code = kDefaultTrainCode;
  s.app_path = dir.string();
  s.files = &files;
  const std::string names[] = {model::route_description_name(s), model::train_description_name(s),
                               sources::notes_name(s), sources::slow_order_form_name(s),
                               sources::timetable_card_name(s)};
  try {
    if (files.kind(s.app_path) != platform::FileKind::kMissing &&
        files.kind(s.app_path) != platform::FileKind::kFolder) {
      throw ToolError(dir.string() + " is a file, not a folder");
    }
    files.create_folders(s.app_path);
    std::unique_ptr<platform::FolderLock> lock = files.lock_folder(s.app_path, kFolderWait);
    platform::remove_stale_partials(files, s.app_path, names);
    if (!overwrite) {
      for (const std::string& name : names) {
        std::string path = platform::join_path(s.app_path, name);
        if (files.kind(path) != platform::FileKind::kMissing) {
          throw ToolError(path +
                          " is already there and may hold your edits: nothing was written "
                          "(use --force to replace the five files)");
        }
      }
    }
    sources::dati_linea(s);
    sources::dati_treno(s);
    sources::dati_note(s);
    sources::dati_rallentamenti(s);
    sources::dati_scheda(s);
    std::vector<WrittenFile> written;
    for (const std::string& name : names) {
      written.emplace_back(name, files.file_size(platform::join_path(s.app_path, name)));
    }
    return written;
  } catch (const platform::RuntimeFailure& f) {
    throw ToolError("cannot write the built-in texts: " + f.detail());
  }
}

const char* outcome_name(Outcome outcome) {
  switch (outcome) {
    case Outcome::kOk:
      return "ok";
    case Outcome::kIdentityError:
      return "identity_error";
    case Outcome::kRuntimeFailure:
      return "runtime_failure";
  }
  return "ok";
}

int CompileReport::exit_status() const {
  if (outcome != Outcome::kOk) return 2;
  return error_code == 0 ? 0 : 1;
}

nlohmann::ordered_json CompileReport::to_json() const {
  using json = nlohmann::ordered_json;
  json names = json::array();
  for (const WrittenFile& f : files) names.push_back(to_utf8(f.first));
  return json{{"error_code", error_code},
              {"error_position", error_position},
              {"outcome", outcome_name(outcome)},
              {"identity_error", identity_error ? json(*identity_error) : json(nullptr)},
              {"file", diagnostic.file ? json(*diagnostic.file) : json(nullptr)},
              {"line", diagnostic.line ? json(*diagnostic.line) : json(nullptr)},
              {"message", diagnostic.message},
              {"files", names}};
}

CompileReport compile_descriptions(const CompileOptions& o) {
  refuse_bad_names(o);
  platform::FileSystem& files = *o.files;
  Inputs in;
  if (o.route) in.route = read_description(files, *o.route, "route description");
  if (o.train) in.train = read_description(files, *o.train, "train description");

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

  CompileReport report;
  std::string stop;  // what ended the pass early, in words
  try {
    app::memorizza_percorso(s, o.line_file ? 1 : 0);
  } catch (const finish::ErroreEnd& end) {
    report.outcome = Outcome::kIdentityError;
    report.identity_error = end.number();
  } catch (const platform::RuntimeFailure& f) {
    report.outcome = Outcome::kRuntimeFailure;
    if (f.number() == platform::kSubscriptOutOfRange) {
      stop = "run-time failure " + std::to_string(f.number()) + " (" + f.what() + ")";
      if (!s.track_allocated) {
        stop += ": no track was built, as the route description gave no accepted route length";
      }
    } else {
      // Past the reading, only the compiled files' writing touches a file.
      stop = "failure writing the compiled files: " + f.detail();
    }
  } catch (const std::bad_alloc&) {
    report.outcome = Outcome::kRuntimeFailure;
    stop = "failure: out of memory";
  }
  report.error_code = s.error_code;
  report.error_position = s.error_position;
  report.diagnostic = diagnose(o, in, s);

  if (report.outcome != Outcome::kOk) {
    // The compile error, if any, is kept in front of what ended the pass.
    std::string ended = report.outcome == Outcome::kIdentityError
                            ? error_message(*report.identity_error, 0)
                            : "the compile stopped with a " + stop;
    report.diagnostic.message =
        (s.error_code != 0 ? report.diagnostic.message + "; then " : std::string()) + ended +
        "; no compiled file was replaced";
    return report;
  }
  if (created) created->keep();
  for (const std::string& name : compiled_names(o, s)) {
    report.files.emplace_back(name, files.file_size(platform::join_path(out, name)));
  }
  return report;
}

}  // namespace tools
