// The language server's time from a change of a description to its
// diagnostics: the built-in pair open, the route description changed again
// and again, each change arriving on its own and checked as a pair in
// memory. And a burst of changes of the largest pair sent at once, which the
// server checks once, at the last text.
#include <benchmark/benchmark.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "bench/largest_scenario.h"
#include "compiled/text.h"
#include "platform/memory_file_system.h"
#include "tools/compile/compile_command.h"
#include "tools/lsp/lsp_server.h"
#include "tools/lsp/piecewise_input.h"

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

json change(const std::string& uri, int version, const std::string& text) {
  return notification("textDocument/didChange",
                      json{{"textDocument", json{{"uri", uri}, {"version", version}}},
                           {"contentChanges", json::array({json{{"text", text}}})}});
}

// Initialize, open both, `changes` changes of the route alternating between
// two texts, end: one message a piece.
std::vector<std::string> session(const std::string& route, const std::string& train, int changes) {
  const std::string route_uri = "file:///w/BRENTALVO_linea.txt";
  const std::string other_route = route + "; changed\r\n";
  std::vector<std::string> in = {framed(
      json{{"jsonrpc", "2.0"}, {"id", 1}, {"method", "initialize"}, {"params", json::object()}})};
  for (const auto& [uri, text] :
       {std::pair{route_uri, route},
        std::pair{std::string("file:///w/BRENTALVO_TRN4417-.txt"), train}}) {
    in.push_back(framed(notification(
        "textDocument/didOpen",
        json{{"textDocument",
              json{{"uri", uri}, {"languageId", "text"}, {"version", 1}, {"text", text}}}})));
  }
  for (int i = 0; i < changes; ++i) {
    in.push_back(framed(change(route_uri, i + 2, i % 2 == 0 ? other_route : route)));
  }
  in.push_back(framed(json{{"jsonrpc", "2.0"}, {"id", 2}, {"method", "shutdown"}}));
  in.push_back(framed(notification("exit", json::object())));
  return in;
}

std::vector<std::string> builtin_session() {
  platform::MemoryFileSystem built;
  tools::write_builtin("/b", false, built);
  return session(tools::to_utf8(built.contents("/b/BRENTALVO_linea.txt")),
                 tools::to_utf8(built.contents("/b/BRENTALVO_TRN4417-.txt")), kChanges);
}

void BM_LspChangeToDiagnostics(benchmark::State& state) {
  const std::vector<std::string> input = builtin_session();
  for (auto _ : state) {
    platform::MemoryFileSystem disk;
    disk.add_folder("/w");
    tools::lsp::PiecewiseInput pieces(input);
    std::istream in(&pieces);
    std::ostringstream out;
    benchmark::DoNotOptimize(tools::run_lsp(in, out, disk));
  }
  // Each iteration checks the pair kChecks times (two opens, the changes):
  // the goal in bench_main.cc divides its time by that.
  state.counters["checks"] = kChecks;
}
BENCHMARK(BM_LspChangeToDiagnostics)->Unit(benchmark::kMillisecond)->UseRealTime();

// 1000 changes of the largest pair sent at once, from the first byte to the
// diagnostics of the last text.
void BM_LspBurstOfLargestChanges(benchmark::State& state) {
  const std::vector<std::string> messages =
      session(tools::to_utf8(bench::largest_route_description()),
              tools::to_utf8(bench::largest_train_description()), 1000);
  std::string all;
  for (const std::string& m : messages) all += m;
  const std::vector<std::string> input = {std::move(all)};
  for (auto _ : state) {
    state.PauseTiming();  // the copy of the input is not the server's work
    platform::MemoryFileSystem disk;
    disk.add_folder("/w");
    auto pieces = std::make_unique<tools::lsp::PiecewiseInput>(input);
    std::istream in(pieces.get());
    std::ostringstream out;
    state.ResumeTiming();
    benchmark::DoNotOptimize(tools::run_lsp(in, out, disk));
  }
  state.counters["bytes"] = static_cast<double>(input.front().size());
}
BENCHMARK(BM_LspBurstOfLargestChanges)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
