#include "tools/compile_command.h"

#include <fstream>
#include <new>
#include <random>
#include <system_error>

#include "app/compile_pass.h"
#include "finish/errore.h"
#include "model/compiled_files.h"
#include "model/scenario.h"
#include "platform/runtime_failure.h"
#include "route/route_reader.h"
#include "sources/builtin_texts.h"
#include "tools/compiled_set.h"
#include "tools/text.h"
#include "train/train_reader.h"

namespace tools {

namespace fs = std::filesystem;

namespace {

// A fresh folder under the system's temporary folder, readable by its owner
// only, removed with everything in it when the object goes.
class PrivateFolder {
 public:
  PrivateFolder() {
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
      fs::path p = fs::temp_directory_path() / ("scenario_tool." + std::to_string(random()));
      std::error_code ec;
      if (fs::create_directory(p, ec)) {
        fs::permissions(p, fs::perms::owner_all, fs::perm_options::replace, ec);
        path_ = p;
        return;
      }
    }
    throw ToolError("cannot create a temporary folder under " + fs::temp_directory_path().string());
  }
  PrivateFolder(const PrivateFolder&) = delete;
  PrivateFolder& operator=(const PrivateFolder&) = delete;
  ~PrivateFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

std::string read_description(const fs::path& path, const char* what) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) {
    throw ToolError(std::string(what) + " " + path.string() + ": no such file");
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ToolError(std::string(what) + " " + path.string() + ": cannot be read");
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw ToolError(std::string(what) + " " + path.string() + ": read failed");
  return bytes;
}

void write_bytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw ToolError(path.string() + ": cannot be written");
}

// The descriptions as the compile pass finds them in a private folder.
struct Inputs {
  std::optional<std::string> route, train;
};

void lay_out(const model::Scenario& s, const Inputs& in) {
  if (in.route) write_bytes(fs::path(s.app_path) / model::route_description_name(s), *in.route);
  if (in.train) write_bytes(fs::path(s.app_path) / model::train_description_name(s), *in.train);
}

model::Scenario fresh_scenario(const CompileOptions& o, const fs::path& folder) {
  model::Scenario s;
  s.app_path = folder.string();
  s.line_name = o.line_name;
  s.train_code = o.train_code;
  return s;
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
  PrivateFolder folder;
  model::Scenario s = fresh_scenario(o, folder.path());
  lay_out(s, in);
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

void move_file(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  fs::rename(from, to, ec);
  if (!ec) return;
  // Another file system: copy, then drop the private copy.
  fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
  if (ec) throw ToolError(to.string() + ": cannot be written: " + ec.message());
  fs::remove(from, ec);
}

void refuse_bad_names(const CompileOptions& o) {
  std::string problem = name_problem("line name (--line-name)", o.line_name);
  if (problem.empty()) problem = name_problem("train code (--train-code)", o.train_code);
  if (!problem.empty()) throw ToolError(problem);
}

// The author's descriptions must never be among the files the pass writes.
void refuse_overwriting_inputs(const CompileOptions& o, const model::Scenario& names) {
  std::error_code ec;
  if (fs::exists(o.out, ec) && !fs::is_directory(o.out, ec)) {
    throw ToolError("--out " + o.out.string() + " is a file, not a folder");
  }
  for (const std::string& name : {model::line_file_name(names), model::station_file_name(names),
                                  model::track_file_name(names)}) {
    fs::path target = o.out / name;
    for (const auto& input : {o.route, o.train}) {
      if (input && fs::exists(target, ec) && fs::equivalent(target, *input, ec)) {
        throw ToolError("the compiled file " + target.string() + " would replace the description " +
                        input->string() + ": choose another --out folder or other names");
      }
    }
  }
}

}  // namespace

std::vector<WrittenFile> write_builtin(const fs::path& dir, bool overwrite) {
  model::Scenario s;
  s.line_name = kDefaultLineName;
  s.train_code = kDefaultTrainCode;
  s.app_path = dir.string();
  const std::string names[] = {model::route_description_name(s), model::train_description_name(s),
                               sources::notes_name(s), sources::slow_order_form_name(s),
                               sources::timetable_card_name(s)};
  std::error_code ec;
  if (fs::exists(dir, ec) && !fs::is_directory(dir, ec)) {
    throw ToolError(dir.string() + " is a file, not a folder");
  }
  if (!overwrite) {
    for (const std::string& name : names) {
      if (fs::exists(dir / name, ec)) {
        throw ToolError((dir / name).string() +
                        " is already there and may hold your edits: nothing was written "
                        "(use --force to replace the five files)");
      }
    }
  }
  fs::create_directories(dir, ec);
  if (ec) throw ToolError(dir.string() + ": cannot create the folder: " + ec.message());
  try {
    sources::dati_linea(s);
    sources::dati_treno(s);
    sources::dati_note(s);
    sources::dati_rallentamenti(s);
    sources::dati_scheda(s);
  } catch (const platform::RuntimeFailure& f) {
    throw ToolError(std::string("writing the built-in texts failed: ") + f.what());
  }
  std::vector<WrittenFile> written;
  for (const std::string& name : names) written.emplace_back(name, fs::file_size(dir / name, ec));
  return written;
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
  Inputs in;
  if (o.route) in.route = read_description(*o.route, "route description");
  if (o.train) in.train = read_description(*o.train, "train description");

  PrivateFolder folder;
  model::Scenario s = fresh_scenario(o, folder.path());
  refuse_overwriting_inputs(o, s);
  lay_out(s, in);

  CompileReport report;
  std::string stop;  // what ended the pass early, in words
  try {
    app::memorizza_percorso(s, o.line_file ? 1 : 0);
  } catch (const finish::ErroreEnd& end) {
    report.outcome = Outcome::kIdentityError;
    report.identity_error = end.number();
  } catch (const platform::RuntimeFailure& f) {
    report.outcome = Outcome::kRuntimeFailure;
    stop = "run-time failure " + std::to_string(f.number()) + " (" + f.what() + ")";
    if (!s.track_allocated) {
      stop += ": no track was built, as the route description gave no accepted route length";
    }
  } catch (const std::bad_alloc&) {
    report.outcome = Outcome::kRuntimeFailure;
    stop = "run-time failure 7 (out of memory)";
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
        "; no compiled file was written";
    return report;
  }

  std::error_code ec;
  fs::create_directories(o.out, ec);
  if (ec) {
    report.outcome = Outcome::kRuntimeFailure;
    report.diagnostic.message +=
        "; the output folder " + o.out.string() + " cannot be created: " + ec.message();
    return report;
  }
  std::vector<std::string> names;
  if (o.line_file) names.push_back(model::line_file_name(s));
  names.push_back(model::station_file_name(s));
  names.push_back(model::track_file_name(s));
  for (const std::string& name : names) {
    fs::path from = folder.path() / name;
    if (!fs::exists(from, ec)) continue;
    uint64_t size = fs::file_size(from, ec);
    try {
      move_file(from, o.out / name);
    } catch (const ToolError& e) {
      report.outcome = Outcome::kRuntimeFailure;
      report.diagnostic.message += std::string("; ") + e.what();
      return report;
    }
    report.files.emplace_back(name, size);
  }
  return report;
}

}  // namespace tools
