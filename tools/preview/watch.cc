#include "tools/preview/watch.h"

#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "compiled/compiled_reader.h"
#include "compiled/compiled_set.h"
#include "platform/files.h"
#include "platform/interrupt.h"
#include "tools/preview/html_preview.h"
#include "tools/preview/preview_server.h"

namespace tools {

namespace {

// The bytes of the two descriptions as last read, or why they could not be.
struct Reading {
  std::string route, train;
  bool operator==(const Reading&) const = default;
};

std::string read_or_why(platform::FileSystem& files, const std::filesystem::path& path) {
  try {
    return files.read_file(path.string(), platform::kMaxDescriptionBytes);
  } catch (const std::exception& e) {
    // Cannot be the bytes of a description: no text holds a NUL first.
    return std::string(1, '\0') + e.what();
  }
}

Reading read_descriptions(const CompileOptions& o) {
  return {read_or_why(*o.files, *o.route), read_or_why(*o.files, *o.train)};
}

Diagnostic failure(const std::string& message) {
  Diagnostic d;
  d.is_error = true;
  d.message = message;
  return d;
}

// One compile: its diagnostics, and the compiled set when it is good.
struct Compiled {
  std::vector<Diagnostic> diagnostics;
  std::optional<CompiledSet> set;
  std::vector<GeneratedDocument> documents;
  std::string summary;  // one line for the terminal
};

Compiled compile_once(const CompileOptions& o) {
  Compiled c;
  try {
    CompileReport report = compile_descriptions(o);
    c.diagnostics = report.diagnostics();
    const size_t warnings = report.warning_count;
    const std::string counted =
        std::to_string(warnings) + (warnings == 1 ? " warning" : " warnings");
    if (report.outcome == Outcome::kOk) {
      c.set = load_compiled(*o.files, o.out.string(), true);
      c.documents = std::move(report.documents);
      c.summary = "no error, " + counted + ", " + report.slots.text();
    } else {
      if (report.outcome == Outcome::kRuntimeFailure) {
        c.diagnostics.push_back(failure(report.message()));
      }
      c.summary = report.message() + ", " + counted + " (the page keeps the last good picture)";
    }
  } catch (const std::exception& e) {
    // A description that cannot be read, a folder held too long, a compiled
    // file that does not read back: shown like a compile error.
    c.diagnostics.push_back(failure(e.what()));
    c.summary = std::string(e.what()) + " (the page keeps the last good picture)";
  }
  return c;
}

}  // namespace

int run_watch(const WatchOptions& options, const std::function<bool()>& stop, std::ostream& out) {
  const CompileOptions& o = options.compile;
  PreviewServer server;
  const int port = server.start(options.port);

  PreviewOptions page;
  page.title = o.line_name + " / " + o.train_code;
  page.live = true;
  CompiledSet last_good;  // empty until a compile succeeds
  int compiles = 0;

  auto compile_and_publish = [&] {
    Compiled c = compile_once(o);
    if (c.set) {
      last_good = std::move(*c.set);
      page.documents = c.documents;
    }
    page.diagnostics = c.diagnostics;
    // The page keeps the last good picture; the data of a failed compile
    // carries only its diagnostics, which the open page shows over the
    // picture it has.
    std::string data = embeddable_json(
        preview_data(c.set ? last_good : CompiledSet{}, c.diagnostics, page.documents));
    server.publish(render_html(last_good, page), std::move(data));
    ++compiles;
    out << "compile " << compiles << ": " << c.summary << std::endl;
  };

  Reading compiled = read_descriptions(o);
  compile_and_publish();
  out << "watching " << o.route->string() << " and " << o.train->string()
      << "; the preview is on http://127.0.0.1:" << port << "/ (Ctrl-C ends)" << std::endl;
  if (options.on_serving) options.on_serving(port);

  std::optional<Reading> seen;  // differs from `compiled`, read on the last poll
  while (!stop()) {
    std::this_thread::sleep_for(options.poll);
    Reading now = read_descriptions(o);
    if (now == compiled) {
      seen.reset();
    } else if (seen && *seen == now) {
      compiled = std::move(now);
      seen.reset();
      compile_and_publish();
    } else {
      seen = std::move(now);
    }
  }
  server.stop();
  out << "stopped after " << compiles << (compiles == 1 ? " compile" : " compiles") << std::endl;
  return 0;
}

int run_watch_until_interrupted(const WatchOptions& options, std::ostream& out) {
  platform::InterruptFlag interrupt;
  return run_watch(
      options, [&interrupt] { return interrupt.raised(); }, out);
}

}  // namespace tools
