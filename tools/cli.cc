#include "tools/cli.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "app/version.h"
#include "compiled/compiled_set.h"
#include "compiled/text.h"
#include "model/description_fields.h"
#include "platform/file_system.h"
#include "platform/runtime_failure.h"
#include "platform/sibling_program.h"
#include "platform/standard_output.h"
#include "tools/compile/compile_command.h"
#include "tools/decompile/decompile_command.h"
#include "tools/decompile/row_diff.h"
#include "tools/lsp/lsp_server.h"
#include "tools/preview/html_preview.h"
#include "tools/preview/render.h"
#include "tools/preview/watch.h"
#include "tools/report/diff.h"
#include "tools/report/inspect.h"
#include "tools/starter_scenario.h"

namespace tools {

namespace {

constexpr int kUsage = 2;
constexpr int kBadFile = 1;
constexpr int kDiffer = 1;             // diff: the two sets differ
constexpr int kClosedPipe = 128 + 13;  // 128 + SIGPIPE, as a shell reports it

// Refuses a name that cannot form file names, with the reason.
CLI::Validator name_rule(const char* what) {
  return CLI::Validator([what](std::string& value) { return name_problem(what, value); }, "",
                        "name rule");
}

// The same for a train code, which may also not give the line file's name.
CLI::Validator train_code_rule() {
  return CLI::Validator([](std::string& value) { return train_code_problem("train code", value); },
                        "", "train code rule");
}

// --line-name and --train-code, which name the descriptions' scenario.
void add_name_options(CLI::App* command, CompileOptions& options) {
  command->add_option("--line-name", options.line_name, "Line name (default BRENTALVO)")
      ->check(name_rule("line name"))
      ->type_name("NAME");
  command->add_option("--train-code", options.train_code, "Train code (default TRN4417)")
      ->check(train_code_rule())
      ->type_name("CODE");
}

// The same for the commands that compile descriptions: a name not given
// (left empty) comes from the descriptions' file names.
void add_compile_name_options(CLI::App* command, std::string& line_name, std::string& train_code) {
  command
      ->add_option("--line-name", line_name,
                   "Line name (default: LINE of descriptions named LINE_linea.txt and "
                   "LINE_TRAIN-.txt, else BRENTALVO)")
      ->check(name_rule("line name"))
      ->type_name("NAME");
  command
      ->add_option("--train-code", train_code,
                   "Train code (default: TRAIN of descriptions named LINE_linea.txt and "
                   "LINE_TRAIN-.txt, else TRN4417)")
      ->check(name_rule("train code"))
      ->type_name("CODE");
}

void print_files(std::ostream& out, const std::string& folder,
                 const std::vector<WrittenFile>& files) {
  out << "wrote into " << folder << ":\n";
  size_t width = 0;
  for (const WrittenFile& f : files) width = std::max(width, f.first.size());
  for (const WrittenFile& f : files) {
    out << "  " << f.first << std::string(width - f.first.size(), ' ') << "  ";
    if (f.second == kSizeNotKnown) {
      out << "written; its size could not be looked up\n";
    } else {
      out << f.second << " bytes\n";
    }
  }
}

// "did you mean ...?" lines for the options of argv that the command named
// by argv[1] (or the tool itself) does not have, where one of its own is
// within two edits.
std::string option_suggestions(CLI::App& app, int argc, const char* const* argv) {
  CLI::App* command = &app;
  for (CLI::App* c : app.get_subcommands({})) {
    if (c->get_name() == argv[1]) command = c;
  }
  std::vector<std::string> names;
  for (const CLI::Option* o : command->get_options()) {
    for (const std::string& n : o->get_lnames()) names.push_back("--" + n);
  }
  std::vector<std::string_view> views(names.begin(), names.end());
  std::string lines;
  for (int i = 1; i < argc; ++i) {
    const std::string_view word =
        std::string_view(argv[i]).substr(0, std::string_view(argv[i]).find('='));
    if (!word.starts_with("--") || std::find(names.begin(), names.end(), word) != names.end()) {
      continue;
    }
    const std::string_view near = model::nearest_keyword(word, views);
    if (!near.empty()) {
      lines += "\"" + std::string(word) + "\": did you mean \"" + std::string(near) + "\"?\n";
    }
  }
  return lines;
}

std::string dump(const nlohmann::ordered_json& j) {
  return j.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

// What one command's options hold once parsed. Each command has its own.
struct Values {
  std::string dir;           // builtin, new
  std::string path, path_b;  // inspect, render, diff
  std::string route, train, out;
  std::string svg, html;   // render
  CompileOptions compile;  // new's --line-name and --train-code, and --force of compile and watch
  // compile, check, watch: empty takes the file names'; decompile: empty
  // keeps the set's own.
  std::string line_name, train_code;
  int port = kDefaultWatchPort;
  bool force = false;  // builtin, new
  bool json = false, no_line_file = false, no_documents = false, werror = false, cells = false;
};

// Where a command runs: its streams, the whole command line, and what
// serves watch.
struct Context {
  int argc;
  const char* const* argv;
  std::ostream& out;
  std::ostream& err;
  const WatchRunner& run_watch;
};

// A command of the tool: its name and help, the options it declares into its
// Values, and what it does with them; returns the exit status. Failures are
// thrown and mapped to an exit status in one place (failure_status).
struct Command {
  const char* name;
  const char* help;
  void (*declare)(CLI::App& command, Values& v);
  int (*run)(const Values& v, const Context& c);
};

// A description given on the command line: there, and not a folder. A name
// that cannot be looked at (a folder on the way that may not be searched, a
// failing disk) says so with the system's reason. Anything else is left to
// the reading, which refuses what is not a regular file.
CLI::Validator existing_description() {
  return CLI::Validator(
      [](std::string& path) -> std::string {
        try {
          switch (platform::real_file_system().kind(path)) {
            case platform::FileKind::kMissing:
              return "File does not exist: " + path;
            case platform::FileKind::kFolder:
              return "File is actually a directory: " + path;
            default:
              return {};
          }
        } catch (const platform::RuntimeFailure& f) {
          return "cannot look at " + f.detail();
        }
      },
      "", "description file");
}

// A folder to write into: an empty name is no folder at all.
CLI::Validator folder_name() {
  return CLI::Validator(
      [](std::string& name) -> std::string {
        return name.empty() ? "the name is empty: give the folder to write into" : "";
      },
      "", "folder name");
}

// --route and --train, the descriptions a command compiles.
void add_description_options(CLI::App& command, Values& v) {
  command.add_option("--route", v.route, "Route description")
      ->required()
      ->check(existing_description())
      ->type_name("FILE");
  command.add_option("--train", v.train, "Train description")
      ->required()
      ->check(existing_description())
      ->type_name("FILE");
}

// --out, the folder the compiled files go into.
void add_out_option(CLI::App& command, Values& v) {
  command.add_option("--out", v.out, "Folder for the compiled files; created when missing")
      ->required()
      ->check(folder_name())
      ->type_name("DIR");
}

// The descriptions and names of `v` as the compile takes them; `note` says
// when the defaults name the scenario (compile_command.h, resolve_names).
CompileOptions compile_options(const Values& v, std::string& note) {
  CompileOptions options = v.compile;
  options.route = v.route;
  options.train = v.train;
  options.out = v.out;
  options.line_file = !v.no_line_file;
  ScenarioNames names = resolve_names(v.line_name, v.train_code, v.route, v.train, note);
  options.line_name = std::move(names.line_name);
  options.train_code = std::move(names.train_code);
  return options;
}

// ---- builtin

void declare_builtin(CLI::App& command, Values& v) {
  command.add_option("DIR", v.dir, "Folder to write into; created when missing")
      ->required()
      ->check(folder_name());
  command.add_flag("--force", v.force, "Replace the five files when they are already there");
}

int run_builtin(const Values& v, const Context& c) {
  const std::vector<WrittenFile> written = write_builtin(v.dir, v.force);
  print_files(c.out, v.dir, written);
  // Its stations and signs take the slots they share: say so before an
  // author adds one.
  CompileOptions check;
  check.route = std::filesystem::path(v.dir) / written[0].first;
  check.train = std::filesystem::path(v.dir) / written[1].first;
  const Slots slots = check_descriptions(check).slots;
  c.out << slots.text();
  if (slots.free() == 0) {
    c.out << ": no room for another station or route sign (\"scenario_tool new DIR\" writes a "
             "small starter scenario with room)";
  }
  c.out << "\n";
  return 0;
}

// ---- new

void declare_new(CLI::App& command, Values& v) {
  command.add_option("DIR", v.dir, "Folder to write into; created when missing")
      ->required()
      ->check(folder_name());
  add_name_options(&command, v.compile);
  command.add_flag("--force", v.force, "Replace the two files when they are already there");
}

int run_new(const Values& v, const Context& c) {
  const std::string& line = v.compile.line_name;
  const std::string& train = v.compile.train_code;
  print_files(c.out, v.dir, write_starter(v.dir, line, train, v.force));
  const std::filesystem::path dir(v.dir);
  c.out << "compile it with: scenario_tool compile --route "
        << (dir / (line + "_linea.txt")).string() << " --train "
        << (dir / (line + "_" + train + "-.txt")).string() << " --out " << (dir / "out").string();
  if (line != kDefaultLineName || train != kDefaultTrainCode) {
    c.out << " --line-name " << line << " --train-code " << train;
  }
  c.out << "\n";
  return 0;
}

// ---- compile

void declare_compile(CLI::App& command, Values& v) {
  add_description_options(command, v);
  add_out_option(command, v);
  add_compile_name_options(&command, v.line_name, v.train_code);
  command.add_flag("--no-line-file", v.no_line_file, "Build no track plan and write no line file");
  command.add_flag("--no-documents", v.no_documents,
                   "Write no timetable card and no slow-order form beside the compiled files");
  command.add_flag("--json", v.json, "Print the outcome as one JSON object");
  command.add_flag("--force", v.compile.force,
                   "Replace compiled files in DIR that another scenario's names gave");
}

int run_compile(const Values& v, const Context& c) {
  std::string names_note;
  CompileOptions options = compile_options(v, names_note);
  options.documents = !v.no_documents;
  CompileReport report = compile_descriptions(options);
  if (v.json) {
    c.out << dump(report.to_json()) << "\n";
    return report.exit_status();
  }
  if (!report.recovery.empty()) c.err << "note: " << to_utf8(report.recovery) << "\n";
  for (const Diagnostic& d : report.diagnostics()) c.err << d.text();
  c.err << report.unshown_warnings();
  if (report.stopped()) {
    c.err << "scenario_tool: " << report.message() << "\n";
    return report.exit_status();
  }
  // The JSON names the files written: the note is for a reader.
  if (!names_note.empty()) c.err << "note: " << names_note << "\n";
  if (report.exit_status() == 0) c.out << "compiled with no error\n";
  for (const std::string& note : report.document_notes) c.err << "note: " << note << "\n";
  print_files(c.out, v.out, report.files);
  c.out << report.slots.text() << "\n";
  return report.exit_status();
}

// ---- check

void declare_check(CLI::App& command, Values& v) {
  add_description_options(command, v);
  add_compile_name_options(&command, v.line_name, v.train_code);
  command.add_flag("--no-line-file", v.no_line_file,
                   "Compile without a track plan (curve rows are then not read)");
  command.add_flag("--json", v.json, "Print the outcome as one JSON object");
  command.add_flag("--werror", v.werror, "Exit with 1 when there is a warning");
}

int run_check(const Values& v, const Context& c) {
  // Nothing is written under the names: no note when the defaults stand in.
  std::string names_note;
  CompileReport report = check_descriptions(compile_options(v, names_note));
  if (v.json) {
    c.out << dump(report.to_json()) << "\n";
    return report.check_status(v.werror);
  }
  for (const Diagnostic& d : report.diagnostics()) c.out << d.text();
  c.out << report.unshown_warnings();
  if (report.outcome == Outcome::kRuntimeFailure) {
    // The pass could not go on: the error above, if any, is why.
    c.err << "scenario_tool: " << report.message() << "\n";
    return report.check_status(v.werror);
  }
  c.out << report.slots.text() << "\n";
  for (const std::string& note : report.document_notes) c.err << "note: " << note << "\n";
  return report.check_status(v.werror);
}

// ---- inspect

void declare_inspect(CLI::App& command, Values& v) {
  command.add_option("PATH", v.path, "Folder or compiled file")->required();
  command.add_flag("--json", v.json, "Print one JSON object");
  command.add_flag("--cells", v.cells, "List every cell of the track file");
}

int run_inspect(const Values& v, const Context& c) {
  CompiledSet set = load_compiled(platform::real_file_system(), v.path, false);
  if (v.json) {
    c.out << dump(inspection_json(set, v.cells)) << "\n";
  } else {
    print_inspection(set, v.cells, c.out);
  }
  return 0;
}

// ---- decompile

void declare_decompile(CLI::App& command, Values& v) {
  command.add_option("PATH", v.path, "Folder or compiled file of the set")->required();
  command.add_option("--out", v.out, "Folder to write the descriptions into")
      ->required()
      ->check(folder_name())
      ->type_name("DIR");
  command
      .add_option("--line-name", v.line_name, "Line name of the files written (default: the set's)")
      ->check(name_rule("line name"))
      ->type_name("NAME");
  command
      .add_option("--train-code", v.train_code,
                  "Train code of the files written (default: the set's)")
      ->check(train_code_rule())
      ->type_name("CODE");
  command.add_flag("--force", v.force, "Replace descriptions already there");
  command.add_flag("--json", v.json, "Print the outcome as one JSON object");
}

int run_decompile(const Values& v, const Context& c) {
  decompile::DecompileOptions options;
  options.path = v.path;
  options.out = v.out;
  options.line_name = v.line_name;
  options.train_code = v.train_code;
  options.force = v.force;
  options.json = v.json;
  return decompile::run_decompile(options, c.out, c.err);
}

// ---- render

void declare_render(CLI::App& command, Values& v) {
  command.add_option("PATH", v.path, "Folder or one compiled file of the scenario")->required();
  command
      .add_option("--svg", v.svg,
                  "SVG file to write, or - for standard output. An existing file is replaced "
                  "only when it is an earlier drawing of render; names of descriptions and "
                  "compiled files (*_linea.txt, *-.txt, *.sim, *.dat) are refused")
      ->type_name("FILE");
  command
      .add_option("--html", v.html,
                  "HTML file to write, or - for standard output: one self-contained page, "
                  "nothing fetched. Replaced on the same terms as --svg")
      ->type_name("FILE");
}

int run_render(const Values& v, const Context& c) {
  platform::FileSystem& files = platform::real_file_system();
  if (v.svg.empty() && v.html.empty())
    throw ToolError("render needs --svg FILE, --html FILE or both");
  if (v.svg == v.html) throw ToolError("--svg and --html name the same file \"" + v.svg + "\"");
  const bool svg_out = v.svg == "-", html_out = v.html == "-";
  // Refused before anything is read: nothing is drawn for nothing.
  if (!v.svg.empty() && !svg_out) check_drawing_target(files, v.svg);
  if (!v.html.empty() && !html_out) check_preview_target(files, v.html);
  const CompiledSet set = load_compiled(files, v.path, true);
  // What goes to standard output is the drawing alone.
  const bool quiet = svg_out || html_out;
  if (!v.svg.empty()) {
    const std::string svg = render_svg(set);
    if (svg_out) {
      c.out << svg;
    } else {
      write_drawing(files, v.svg, svg);
      if (!quiet)
        c.out << "drew " << v.path << " into " << v.svg << " (" << svg.size() << " bytes)\n";
    }
  }
  if (!v.html.empty()) {
    PreviewOptions preview;
    preview.title = v.path;
    const std::string html = render_html(set, preview);
    if (html_out) {
      c.out << html;
    } else {
      write_preview(files, v.html, html);
      if (!quiet)
        c.out << "drew " << v.path << " into " << v.html << " (" << html.size() << " bytes)\n";
    }
  }
  return 0;
}

// ---- watch

void declare_watch(CLI::App& command, Values& v) {
  add_description_options(command, v);
  add_out_option(command, v);
  command
      .add_option(
          "--port", v.port,
          "Port on 127.0.0.1 (default " + std::to_string(kDefaultWatchPort) + "; 0: any free port)")
      ->check(CLI::Range(0, 65535))
      ->type_name("N");
  add_compile_name_options(&command, v.line_name, v.train_code);
  command.add_flag("--force", v.compile.force,
                   "Replace compiled files in DIR that another scenario's names gave");
}

int run_watch_command(const Values& v, const Context& c) {
  if (!c.run_watch) {
    // The server lives in a program of its own: every other command
    // starts without loading it.
    std::vector<std::string> args{kWatchProgram};
    for (int i = 1; i < c.argc; ++i) args.emplace_back(c.argv[i]);
    c.out.flush();
    try {
      platform::become_sibling_program(kWatchProgram, args);
    } catch (const platform::RuntimeFailure& e) {
      throw ToolError("watch runs " + std::string(kWatchProgram) +
                      ", which is not beside scenario_tool: " + e.detail());
    }
  }
  WatchOptions options;
  options.port = v.port;
  std::string names_note;
  options.compile = compile_options(v, names_note);
  if (!names_note.empty()) c.err << "note: " << names_note << "\n";
  return c.run_watch(options, c.out);
}

// ---- lsp

void declare_lsp(CLI::App&, Values&) {}

int run_lsp_command(const Values&, const Context& c) {
  platform::use_binary_standard_streams();
  // Unsynchronised with C's stdio, standard input can tell whether the
  // client has sent more (in_avail), which lets the server merge a backlog
  // of changes into one check.
  std::ios::sync_with_stdio(false);
  return run_lsp(std::cin, c.out);
}

// ---- diff

void declare_diff(CLI::App& command, Values& v) {
  command.add_option("DIR_A", v.path, "Folder or one compiled file of the first scenario")
      ->required();
  command.add_option("DIR_B", v.path_b, "Folder or one compiled file of the second scenario")
      ->required();
  command.add_flag("--cells", v.cells,
                   "Compare the compiled files themselves: general values, stations and route "
                   "signs by slot, cells by field as km ranges and the plan");
  command.add_flag("--json", v.json, "Print one JSON object");
}

int run_diff(const Values& v, const Context& c) {
  // 1 says that the sets differ: a set that cannot be compared is not one.
  if (!v.cells) {
    decompile::RowDiff d;
    try {
      d = decompile::diff_rows(platform::real_file_system(), v.path, v.path_b);
    } catch (const BadFile& e) {
      throw ToolError(e.what());
    }
    if (v.json) {
      c.out << dump(decompile::row_diff_json(d)) << "\n";
    } else {
      decompile::print_row_diff(d, c.out);
    }
    return d.identical ? 0 : kDiffer;
  }
  CompiledDiff d;
  try {
    d = diff_compiled(platform::real_file_system(), v.path, v.path_b);
  } catch (const BadFile& e) {
    throw ToolError(e.what());
  }
  if (v.json) {
    c.out << dump(diff_json(d)) << "\n";
  } else {
    print_diff(d, c.out);
  }
  return d.identical ? 0 : kDiffer;
}

// The commands, in the order --help lists them.
constexpr Command kCommands[] = {
    {"builtin",
     "Write the five built-in texts (route and train descriptions, three driver "
     "documents) into DIR, byte for byte as scenario_compiler writes them.",
     declare_builtin, run_builtin},
    {"new",
     "Write a small starter scenario into DIR to grow into your own: a route and a train "
     "description of a 20 km line with three stations, signals, gradients, curves, a tunnel, "
     "a slowdown and a few route signs, each kind of row explained by a note beside it. It "
     "compiles with no error and no warning and takes 7 of the 80 slots that stations and route "
     "signs share.",
     declare_new, run_new},
    {"compile",
     "Compile a route description and a train description with the compiler's own "
     "compile pass and write the compiled files into DIR.",
     declare_compile, run_compile},
    {"check",
     "Compile a route description and a train description in memory and write nothing: "
     "print every warning and the error, if any, in file order, and how many of the 80 "
     "slots the stations and route signs take.",
     declare_check, run_check},
    {"inspect",
     "Show compiled files readably: a folder with one scenario's files, or one file "
     "(which file it is follows from its name).",
     declare_inspect, run_inspect},
    {"decompile",
     "Write the two descriptions that a compiled set comes from into a folder, and prove them: "
     "they are compiled again in memory and must give the set's files byte for byte (exit 0, "
     "\"round trip: exact\"; 1 lists where they differ).",
     declare_decompile, run_decompile},
    {"render",
     "Draw the compiled scenario: as one SVG page for print (the plan of the line, and under "
     "it the elevation and speed profiles), or as one HTML page to explore in a browser "
     "(zoom, pan, search, every item's values on hover). Give --svg, --html or both.",
     declare_render, run_render},
    {"watch",
     "Compile a route and a train description into DIR, serve the compiled scenario as a "
     "live HTML preview on 127.0.0.1, and compile again whenever either description is "
     "saved: the open page redraws by itself and lists the diagnostics; a description that "
     "fails keeps the last good picture, with the error over it. Ctrl-C ends it.",
     declare_watch, run_watch_command},
    {"lsp",
     "Serve the Language Server Protocol on standard input and output, for editors: the "
     "errors and warnings of check as you type (nothing is written), the meaning of any field "
     "on hover, row keywords for the section you are in, and an outline of sections, stations "
     "and route signs.",
     declare_lsp, run_lsp_command},
    {"diff",
     "Show what changed between two compiled scenarios as the rows you write: both are "
     "decompiled and their rows compared (a signal moved, a gradient or a station's times "
     "changed, a station added). --cells compares the compiled files instead: the files that "
     "differ, general values, stations and route signs by slot, cells by field as km ranges "
     "and how far the plan moved. Exit status 0 when both hold the same compiled files, 1 when "
     "they differ.",
     declare_diff, run_diff},
};

// The exit status of the failure being handled, its message on the error
// stream: the one place where what went wrong becomes a status.
int failure_status(CLI::App& app, const Context& c) {
  try {
    throw;
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success))
      return app.exit(e, c.out, c.err);  // --help, --version
    c.err << "scenario_tool: " << e.what() << "\n";
    if (c.argc > 1) c.err << option_suggestions(app, c.argc, c.argv);
    c.err << "run \"scenario_tool --help\" or \"scenario_tool COMMAND --help\" for usage\n";
    return kUsage;
  } catch (const BadFile& e) {
    c.err << "scenario_tool: " << e.what() << "\n";
    return kBadFile;
  } catch (const ToolError& e) {
    c.err << "scenario_tool: " << e.what() << "\n";
    return kUsage;
  } catch (const std::filesystem::filesystem_error& e) {
    c.err << "scenario_tool: " << e.what() << "\n";
    return kUsage;
  } catch (const platform::RuntimeFailure& e) {
    c.err << "scenario_tool: " << e.what() << "\n";
    return kUsage;
  } catch (const std::bad_alloc&) {
    c.err << "scenario_tool: out of memory\n";
    return kUsage;
  }
}

// CLI11 would only say that a command is missing: names the one meant, when
// one is close, and lists them all. Returns whether argv names a command (or
// none, or an option first).
bool known_command(int argc, const char* const* argv, std::ostream& err) {
  std::vector<std::string_view> names;
  for (const Command& command : kCommands) names.push_back(command.name);
  if (argc <= 1 || argv[1][0] == '-' ||
      std::find(names.begin(), names.end(), argv[1]) != names.end())
    return true;
  err << "scenario_tool: unknown command \"" << argv[1] << "\"";
  const std::string_view near = model::nearest_keyword(argv[1], names);
  if (!near.empty()) err << "; did you mean \"" << near << "\"?";
  err << "\nthe commands are";
  for (size_t i = 0; i < names.size(); ++i) {
    err << (i == 0 ? " " : i + 1 == names.size() ? " and " : ", ") << names[i];
  }
  err << "\n";
  return false;
}

int run_command(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                const WatchRunner& run_watch) {
  const Context context{argc, argv, out, err, run_watch};
  CLI::App app{
      "Authoring tool for scenarios of the scenario compiler: write the built-in descriptions, "
      "compile your own, inspect and draw the compiled files.",
      "scenario_tool"};
  app.require_subcommand(1, 1);
  app.set_version_flag("--version", std::string("scenario_tool ") + app::kVersion,
                       "Print the version and exit");
  constexpr size_t kCount = std::size(kCommands);
  std::array<Values, kCount> values;
  std::array<CLI::App*, kCount> parsed{};
  for (size_t i = 0; i < kCount; ++i) {
    parsed[i] = app.add_subcommand(kCommands[i].name, kCommands[i].help);
    kCommands[i].declare(*parsed[i], values[i]);
  }
  if (!known_command(argc, argv, err)) return kUsage;
  try {
    app.parse(argc, argv);
    for (size_t i = 0; i < kCount; ++i) {
      if (parsed[i]->parsed()) return kCommands[i].run(values[i], context);
    }
  } catch (...) {
    return failure_status(app, context);
  }
  return kUsage;
}

}  // namespace

int run_tool(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
             const WatchRunner& run_watch) {
  errno = 0;
  int status = run_command(argc, argv, out, err, run_watch);
  // A result that did not reach its reader is a failure, whatever it was.
  out.flush();
  if (!out && errno == EPIPE) {
    // The reader has gone (a pipe into head): nothing to say, and the status
    // the shell shows for a program that a closed pipe ended.
    return kClosedPipe;
  }
  if (!out) {
    err << "scenario_tool: cannot write to standard output";
    if (errno != 0) err << " (" << std::strerror(errno) << ")";
    err << "\n";
    return kUsage;
  }
  return status;
}

}  // namespace tools
