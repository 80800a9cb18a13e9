// The language server's time from a change of a description to its
// diagnostics: the built-in pair open, the route description changed again
// and again, each change checked as a pair in memory.
#include <benchmark/benchmark.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "compiled/text.h"
#include "platform/memory_file_system.h"
#include "tools/compile/compile_command.h"
#include "tools/lsp/lsp_server.h"

namespace {

using json = nlohmann::json;

constexpr int kChanges = 10;
constexpr int kChecks = kChanges + 2;

std::string framed(const json& message) {
  const std::string body = message.dump();
  return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

json notification(const std::string& method, json params) {
  return json{{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}};
}

// A session: initialize, open both, kChanges changes of the route, end.
std::string session() {
  platform::MemoryFileSystem built;
  tools::write_builtin("/b", false, built);
  const std::string route = tools::to_utf8(built.contents("/b/BRENTALVO_linea.txt"));
  const std::string train = tools::to_utf8(built.contents("/b/BRENTALVO_TRN4417-.txt"));
  const std::string route_uri = "file:///w/BRENTALVO_linea.txt";
  std::string in = framed(
      json{{"jsonrpc", "2.0"}, {"id", 1}, {"method", "initialize"}, {"params", json::object()}});
  for (const auto& [uri, text] :
       {std::pair{route_uri, route},
        std::pair{std::string("file:///w/BRENTALVO_TRN4417-.txt"), train}}) {
    in += framed(notification(
        "textDocument/didOpen",
        json{{"textDocument",
              json{{"uri", uri}, {"languageId", "text"}, {"version", 1}, {"text", text}}}}));
  }
  for (int i = 0; i < kChanges; ++i) {
    in += framed(notification("textDocument/didChange",
                              json{{"textDocument", json{{"uri", route_uri}, {"version", i + 2}}},
                                   {"contentChanges", json::array({json{{"text", route}}})}}));
  }
  in += framed(json{{"jsonrpc", "2.0"}, {"id", 2}, {"method", "shutdown"}});
  in += framed(notification("exit", json::object()));
  return in;
}

void BM_LspChangeToDiagnostics(benchmark::State& state) {
  const std::string input = session();
  for (auto _ : state) {
    platform::MemoryFileSystem disk;
    disk.add_folder("/w");
    std::istringstream in(input);
    std::ostringstream out;
    benchmark::DoNotOptimize(tools::run_lsp(in, out, disk));
  }
  // Each iteration checks the pair kChecks times (two opens, the changes):
  // the goal in bench_main.cc divides its time by that.
  state.counters["checks"] = kChecks;
}
BENCHMARK(BM_LspChangeToDiagnostics)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
