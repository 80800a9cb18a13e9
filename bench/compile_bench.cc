// The compile pass, reading through writing, in a folder on the temporary
// disk; and, for comparison, merely writing the largest compile's output
// bytes to the same folder.
//
// The descriptions are written, and the scenario made and destroyed, off the
// clock: a timed iteration is exactly one memorizza_percorso.
#include <benchmark/benchmark.h>

#include <optional>
#include <string>
#include <vector>

#include "app/compile_pass.h"
#include "bench/bench_support.h"
#include "bench/largest_scenario.h"
#include "model/compiled_files.h"
#include "platform/files.h"
#include "sources/builtin_texts.h"

namespace {

void compile_repeatedly(benchmark::State& state, const bench::BenchFolder& folder,
                        const std::string* route, const std::string* train) {
  size_t bytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::optional<model::Scenario> s = bench::scenario_in(folder);
    if (route != nullptr) {
      bench::write_descriptions(*s, *route, *train);
    } else {
      sources::dati_linea(*s);
      sources::dati_treno(*s);
    }
    state.ResumeTiming();
    app::memorizza_percorso(*s, 1);
    state.PauseTiming();
    // A compile that fails part-way measures something else: stop there.
    if (s->error_code != 0) {
      state.SkipWithError(("compile error " + std::to_string(s->error_code)).c_str());
      break;
    }
    bytes = bench::compiled_bytes(*s);
    s.reset();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.counters["output_bytes"] = static_cast<double>(bytes);
}

void BM_BuiltinCompilePass(benchmark::State& state) {
  bench::BenchFolder folder("builtin");
  compile_repeatedly(state, folder, nullptr, nullptr);
}
BENCHMARK(BM_BuiltinCompilePass)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LargestCompile(benchmark::State& state) {
  bench::BenchFolder folder("largest");
  const std::string route = bench::largest_route_description();
  const std::string train = bench::largest_train_description();
  compile_repeatedly(state, folder, &route, &train);
}
BENCHMARK(BM_LargestCompile)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same make of scenario at 10 km, 100 km and 1000 km: the cost should
// grow with the length and no faster.
void BM_CompileByLength(benchmark::State& state) {
  bench::BenchFolder folder("by_length");
  const int length = static_cast<int>(state.range(0));
  const std::string route = bench::route_description(length);
  const std::string train = bench::train_description(length);
  compile_repeatedly(state, folder, &route, &train);
}
BENCHMARK(BM_CompileByLength)
    ->ArgName("metres")
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(bench::kLargestRouteLength)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The same three files, same names, same folder, same replace-and-write
// steps, with bytes already at hand.
void BM_WriteLargestOutputOnly(benchmark::State& state) {
  bench::BenchFolder folder("write_only");
  model::Scenario s = bench::scenario_in(folder);
  bench::write_descriptions(s, bench::largest_route_description(),
                            bench::largest_train_description());
  app::memorizza_percorso(s, 1);
  std::vector<std::pair<std::string, std::string>> files;
  size_t bytes = 0;
  for (const std::string& name :
       {model::line_file_name(s), model::station_file_name(s), model::track_file_name(s)}) {
    const std::string path = folder.file(name);
    files.emplace_back(path, platform::read_file(platform::real_file_system(), path));
    bytes += files.back().second.size();
  }
  for (auto _ : state) {
    for (const auto& [path, content] : files) {
      platform::replace_file(platform::real_file_system(), path, content);
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.counters["output_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_WriteLargestOutputOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
