#include "tools/cli.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "app/version.h"
#include "model/description_fields.h"
#include "platform/file_system.h"
#include "platform/runtime_failure.h"
#include "platform/sibling_program.h"
#include "platform/standard_output.h"
#include "tools/compile_command.h"
#include "tools/compiled_set.h"
#include "tools/diff.h"
#include "tools/html_preview.h"
#include "tools/inspect.h"
#include "tools/lsp_server.h"
#include "tools/render.h"
#include "tools/starter_scenario.h"
#include "tools/text.h"
#include "tools/watch.h"

namespace tools {

namespace {

constexpr int kUsage = 2;
constexpr int kBadFile = 1;
constexpr int kDiffer = 1;  // diff: the two sets differ

// Refuses a name that cannot form file names, with the reason.
CLI::Validator name_rule(const char* what) {
  return CLI::Validator([what](std::string& value) { return name_problem(what, value); }, "",
                        "name rule");
}

// --line-name and --train-code, which name the descriptions' scenario.
void add_name_options(CLI::App* command, CompileOptions& options) {
  command->add_option("--line-name", options.line_name, "Line name (default BRENTALVO)")
      ->check(name_rule("line name"))
      ->type_name("NAME");
  command->add_option("--train-code", options.train_code, "Train code (default TRN4417)")
      ->check(name_rule("train code"))
      ->type_name("CODE");
}

void print_files(std::ostream& out, const std::string& folder,
                 const std::vector<WrittenFile>& files) {
  out << "wrote into " << folder << ":\n";
  size_t width = 0;
  for (const WrittenFile& f : files) width = std::max(width, f.first.size());
  for (const WrittenFile& f : files) {
    out << "  " << f.first << std::string(width - f.first.size(), ' ') << "  " << f.second
        << " bytes\n";
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

}  // namespace

namespace {
int run_command(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                const WatchRunner& run_watch);
}  // namespace

int run_tool(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
             const WatchRunner& run_watch) {
  errno = 0;
  int status = run_command(argc, argv, out, err, run_watch);
  // A result that did not reach its reader is a failure, whatever it was.
  out.flush();
  if (!out) {
    err << "scenario_tool: cannot write to standard output";
    if (errno != 0) err << " (" << std::strerror(errno) << ")";
    err << "\n";
    return kUsage;
  }
  return status;
}

namespace {

int run_command(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                const WatchRunner& run_watch) {
  CLI::App app{
      "Authoring tool for scenarios of the scenario compiler: write the built-in descriptions, "
      "compile your own, inspect and draw the compiled files.",
      "scenario_tool"};
  app.require_subcommand(1, 1);
  app.set_version_flag("--version", std::string("scenario_tool ") + app::kVersion,
                       "Print the version and exit");

  // builtin
  std::string builtin_dir;
  bool force = false;
  CLI::App* builtin = app.add_subcommand(
      "builtin",
      "Write the five built-in texts (route and train descriptions, three driver "
      "documents) into DIR, byte for byte as scenario_compiler writes them.");
  builtin->add_option("DIR", builtin_dir, "Folder to write into; created when missing")->required();
  builtin->add_flag("--force", force, "Replace the five files when they are already there");

  // new
  std::string new_dir;
  bool new_force = false;
  CompileOptions new_names;
  CLI::App* starter = app.add_subcommand(
      "new",
      "Write a small starter scenario into DIR to grow into your own: a route and a train "
      "description of a 20 km line with three stations, signals, gradients, curves, a tunnel, "
      "a slowdown and a few route signs, each kind of row explained by a note beside it. It "
      "compiles with no error and no warning and takes 7 of the 80 slots that stations and route "
      "signs share.");
  starter->add_option("DIR", new_dir, "Folder to write into; created when missing")->required();
  add_name_options(starter, new_names);
  starter->add_flag("--force", new_force, "Replace the two files when they are already there");

  // compile
  CompileOptions options;
  std::string route, train, out_dir;
  bool no_line_file = false, compile_json = false;
  CLI::App* compile = app.add_subcommand(
      "compile",
      "Compile a route description and a train description with the compiler's own "
      "compile pass and write the compiled files into DIR.");
  compile->add_option("--route", route, "Route description")
      ->required()
      ->check(CLI::Validator(CLI::ExistingFile).description(""))
      ->type_name("FILE");
  compile->add_option("--train", train, "Train description")
      ->required()
      ->check(CLI::Validator(CLI::ExistingFile).description(""))
      ->type_name("FILE");
  compile->add_option("--out", out_dir, "Folder for the compiled files; created when missing")
      ->required()
      ->type_name("DIR");
  add_name_options(compile, options);
  compile->add_flag("--no-line-file", no_line_file, "Build no track plan and write no line file");
  bool no_documents = false;
  compile->add_flag("--no-documents", no_documents,
                    "Write no timetable card and no slow-order form beside the compiled files");
  compile->add_flag("--json", compile_json, "Print the outcome as one JSON object");
  compile->add_flag("--force", options.force,
                    "Replace compiled files in DIR that another scenario's names gave");

  // check
  CompileOptions check_options;
  std::string check_route, check_train;
  bool check_json = false, werror = false, check_no_line_file = false;
  CLI::App* check = app.add_subcommand(
      "check",
      "Compile a route description and a train description in memory and write nothing: "
      "print every warning and the error, if any, in file order, and how many of the 80 "
      "slots the stations and route signs take.");
  check->add_option("--route", check_route, "Route description")
      ->required()
      ->check(CLI::Validator(CLI::ExistingFile).description(""))
      ->type_name("FILE");
  check->add_option("--train", check_train, "Train description")
      ->required()
      ->check(CLI::Validator(CLI::ExistingFile).description(""))
      ->type_name("FILE");
  add_name_options(check, check_options);
  check->add_flag("--no-line-file", check_no_line_file,
                  "Compile without a track plan (curve rows are then not read)");
  check->add_flag("--json", check_json, "Print the outcome as one JSON object");
  check->add_flag("--werror", werror, "Exit with 1 when there is a warning");

  // inspect
  std::string inspect_path;
  bool inspect_json = false, cells = false;
  CLI::App* inspect = app.add_subcommand(
      "inspect",
      "Show compiled files readably: a folder with one scenario's files, or one file "
      "(which file it is follows from its name).");
  inspect->add_option("PATH", inspect_path, "Folder or compiled file")->required();
  inspect->add_flag("--json", inspect_json, "Print one JSON object");
  inspect->add_flag("--cells", cells, "List every cell of the track file");

  // render
  std::string render_path, svg_file, html_file;
  CLI::App* render = app.add_subcommand(
      "render",
      "Draw the compiled scenario: as one SVG page for print (the plan of the line, and under "
      "it the elevation and speed profiles), or as one HTML page to explore in a browser "
      "(zoom, pan, search, every item's values on hover). Give --svg, --html or both.");
  render->add_option("PATH", render_path, "Folder or one compiled file of the scenario")
      ->required();
  render
      ->add_option("--svg", svg_file,
                   "SVG file to write, or - for standard output. An existing file is replaced "
                   "only when it is an earlier drawing of render; names of descriptions and "
                   "compiled files (*_linea.txt, *-.txt, *.sim, *.dat) are refused")
      ->type_name("FILE");
  render
      ->add_option("--html", html_file,
                   "HTML file to write, or - for standard output: one self-contained page, "
                   "nothing fetched. Replaced on the same terms as --svg")
      ->type_name("FILE");

  // watch
  WatchOptions watch_options;
  std::string watch_route, watch_train, watch_out;
  CLI::App* watch = app.add_subcommand(
      "watch",
      "Compile a route and a train description into DIR, serve the compiled scenario as a "
      "live HTML preview on 127.0.0.1, and compile again whenever either description is "
      "saved: the open page redraws by itself and lists the diagnostics; a description that "
      "fails keeps the last good picture, with the error over it. Ctrl-C ends it.");
  watch->add_option("--route", watch_route, "Route description")
      ->required()
      ->check(CLI::Validator(CLI::ExistingFile).description(""))
      ->type_name("FILE");
  watch->add_option("--train", watch_train, "Train description")
      ->required()
      ->check(CLI::Validator(CLI::ExistingFile).description(""))
      ->type_name("FILE");
  watch->add_option("--out", watch_out, "Folder for the compiled files; created when missing")
      ->required()
      ->type_name("DIR");
  watch
      ->add_option(
          "--port", watch_options.port,
          "Port on 127.0.0.1 (default " + std::to_string(kDefaultWatchPort) + "; 0: any free port)")
      ->check(CLI::Range(0, 65535))
      ->type_name("N");
  add_name_options(watch, watch_options.compile);
  watch->add_flag("--force", watch_options.compile.force,
                  "Replace compiled files in DIR that another scenario's names gave");

  // lsp
  CLI::App* lsp = app.add_subcommand(
      "lsp",
      "Serve the Language Server Protocol on standard input and output, for editors: the "
      "errors and warnings of check as you type (nothing is written), the meaning of any field "
      "on hover, row keywords for the section you are in, and an outline of sections, stations "
      "and route signs.");

  // diff
  std::string diff_a, diff_b;
  bool diff_json_out = false;
  CLI::App* diff = app.add_subcommand(
      "diff",
      "Show what changed between two compiled scenarios: the files that differ, general "
      "values, stations and route signs by slot, cells by field as km ranges and how far the "
      "plan moved. Exit status 0 when both hold the same compiled files, 1 when they differ.");
  diff->add_option("DIR_A", diff_a, "Folder or one compiled file of the first scenario")
      ->required();
  diff->add_option("DIR_B", diff_b, "Folder or one compiled file of the second scenario")
      ->required();
  diff->add_flag("--json", diff_json_out, "Print one JSON object");

  // CLI11 would only say that a command is missing.
  // CLI11 would only say that a command is missing, or that an option was
  // not expected: the tool names the one meant, when one is close.
  std::vector<std::string_view> command_names;
  for (const CLI::App* c : app.get_subcommands({})) command_names.push_back(c->get_name());
  if (argc > 1 && argv[1][0] != '-' &&
      std::find(command_names.begin(), command_names.end(), argv[1]) == command_names.end()) {
    err << "scenario_tool: unknown command \"" << argv[1] << "\"";
    const std::string_view near = model::nearest_keyword(argv[1], command_names);
    if (!near.empty()) err << "; did you mean \"" << near << "\"?";
    err << "\nthe commands are";
    for (size_t i = 0; i < command_names.size(); ++i) {
      err << (i == 0 ? " " : i + 1 == command_names.size() ? " and " : ", ") << command_names[i];
    }
    err << "\n";
    return kUsage;
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success))
      return app.exit(e, out, err);
    err << "scenario_tool: " << e.what() << "\n";
    if (argc > 1) err << option_suggestions(app, argc, argv);
    err << "run \"scenario_tool --help\" or \"scenario_tool COMMAND --help\" for usage\n";
    return kUsage;
  }

  try {
    if (builtin->parsed()) {
      const std::vector<WrittenFile> written = write_builtin(builtin_dir, force);
      print_files(out, builtin_dir, written);
      // Its stations and signs take the slots they share: say so before an
      // author adds one.
      CompileOptions check;
      check.route = std::filesystem::path(builtin_dir) / written[0].first;
      check.train = std::filesystem::path(builtin_dir) / written[1].first;
      const Slots slots = check_descriptions(check).slots;
      out << slots.text();
      if (slots.free() == 0) {
        out << ": no room for another station or route sign (\"scenario_tool new DIR\" writes a "
               "small starter scenario with room)";
      }
      out << "\n";
      return 0;
    }
    if (starter->parsed()) {
      print_files(out, new_dir,
                  write_starter(new_dir, new_names.line_name, new_names.train_code, new_force));
      out << "compile it with: scenario_tool compile --route "
          << (std::filesystem::path(new_dir) / (new_names.line_name + "_linea.txt")).string()
          << " --train "
          << (std::filesystem::path(new_dir) /
              (new_names.line_name + "_" + new_names.train_code + "-.txt"))
                 .string()
          << " --out " << (std::filesystem::path(new_dir) / "out").string();
      if (new_names.line_name != kDefaultLineName || new_names.train_code != kDefaultTrainCode) {
        out << " --line-name " << new_names.line_name << " --train-code " << new_names.train_code;
      }
      out << "\n";
      return 0;
    }
    if (compile->parsed()) {
      options.route = route;
      options.train = train;
      options.out = out_dir;
      options.line_file = !no_line_file;
      options.documents = !no_documents;
      CompileReport report = compile_descriptions(options);
      if (compile_json) {
        out << dump(report.to_json()) << "\n";
        return report.exit_status();
      }
      for (const Diagnostic& d : report.diagnostics()) err << d.text();
      err << report.unshown_warnings();
      if (report.stopped()) {
        err << "scenario_tool: " << report.message() << "\n";
        return report.exit_status();
      }
      if (report.error_code == 0) out << "compiled with no error\n";
      for (const std::string& note : report.document_notes) err << "note: " << note << "\n";
      print_files(out, out_dir, report.files);
      out << report.slots.text() << "\n";
      return report.exit_status();
    }
    if (check->parsed()) {
      check_options.route = check_route;
      check_options.train = check_train;
      check_options.line_file = !check_no_line_file;
      CompileReport report = check_descriptions(check_options);
      if (check_json) {
        out << dump(report.to_json()) << "\n";
        return report.check_status(werror);
      }
      for (const Diagnostic& d : report.diagnostics()) out << d.text();
      out << report.unshown_warnings();
      if (report.outcome == Outcome::kRuntimeFailure) {
        // The pass could not go on: the error above, if any, is why.
        err << "scenario_tool: " << report.message() << "\n";
        return report.check_status(werror);
      }
      out << report.slots.text() << "\n";
      return report.check_status(werror);
    }
    if (inspect->parsed()) {
      CompiledSet set = load_compiled(platform::real_file_system(), inspect_path, false);
      if (inspect_json) {
        out << dump(inspection_json(set, cells)) << "\n";
      } else {
        print_inspection(set, cells, out);
      }
      return 0;
    }
    if (render->parsed()) {
      platform::FileSystem& files = platform::real_file_system();
      if (svg_file.empty() && html_file.empty())
        throw ToolError("render needs --svg FILE, --html FILE or both");
      if (svg_file == html_file)
        throw ToolError("--svg and --html name the same file \"" + svg_file + "\"");
      const bool svg_out = svg_file == "-", html_out = html_file == "-";
      // Refused before anything is read: nothing is drawn for nothing.
      if (!svg_file.empty() && !svg_out) check_drawing_target(files, svg_file);
      if (!html_file.empty() && !html_out) check_preview_target(files, html_file);
      const CompiledSet set = load_compiled(files, render_path, true);
      // What goes to standard output is the drawing alone.
      const bool quiet = svg_out || html_out;
      if (!svg_file.empty()) {
        const std::string svg = render_svg(set);
        if (svg_out) {
          out << svg;
        } else {
          write_drawing(files, svg_file, svg);
          if (!quiet)
            out << "drew " << render_path << " into " << svg_file << " (" << svg.size()
                << " bytes)\n";
        }
      }
      if (!html_file.empty()) {
        PreviewOptions preview;
        preview.title = render_path;
        const std::string html = render_html(set, preview);
        if (html_out) {
          out << html;
        } else {
          write_preview(files, html_file, html);
          if (!quiet)
            out << "drew " << render_path << " into " << html_file << " (" << html.size()
                << " bytes)\n";
        }
      }
      return 0;
    }
    if (watch->parsed()) {
      if (!run_watch) {
        // The server lives in a program of its own: every other command
        // starts without loading it.
        std::vector<std::string> args{kWatchProgram};
        for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
        out.flush();
        try {
          platform::become_sibling_program(kWatchProgram, args);
        } catch (const platform::RuntimeFailure& e) {
          throw ToolError("watch runs " + std::string(kWatchProgram) +
                          ", which is not beside scenario_tool: " + e.detail());
        }
      }
      watch_options.compile.route = watch_route;
      watch_options.compile.train = watch_train;
      watch_options.compile.out = watch_out;
      return run_watch(watch_options, out);
    }
    if (lsp->parsed()) {
      platform::use_binary_standard_streams();
      return run_lsp(std::cin, out);
    }
    if (diff->parsed()) {
      try {
        CompiledDiff d = diff_compiled(platform::real_file_system(), diff_a, diff_b);
        if (diff_json_out) {
          out << dump(diff_json(d)) << "\n";
        } else {
          print_diff(d, out);
        }
        return d.identical ? 0 : kDiffer;
      } catch (const BadFile& e) {
        // 1 says that the sets differ: a set that cannot be compared is not one.
        err << "scenario_tool: " << e.what() << "\n";
        return kUsage;
      }
    }
  } catch (const BadFile& e) {
    err << "scenario_tool: " << e.what() << "\n";
    return kBadFile;
  } catch (const ToolError& e) {
    err << "scenario_tool: " << e.what() << "\n";
    return kUsage;
  } catch (const std::filesystem::filesystem_error& e) {
    err << "scenario_tool: " << e.what() << "\n";
    return kUsage;
  } catch (const platform::RuntimeFailure& e) {
    err << "scenario_tool: " << e.what() << "\n";
    return kUsage;
  } catch (const std::bad_alloc&) {
    err << "scenario_tool: out of memory\n";
    return kUsage;
  }
  return kUsage;
}

}  // namespace

}  // namespace tools
