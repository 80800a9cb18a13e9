// The compiled-file writer alone, on the model that the largest compile
// leaves: writing the three files, and encoding them in memory only.
#include <benchmark/benchmark.h>

#include <string>

#include "app/compile_pass.h"
#include "bench/bench_support.h"
#include "bench/largest_scenario.h"
#include "model/compiled_files.h"

namespace {

model::Scenario largest_compiled(const bench::BenchFolder& folder) {
  model::Scenario s = bench::scenario_in(folder);
  bench::write_descriptions(s, bench::largest_route_description(),
                            bench::largest_train_description());
  app::memorizza_percorso(s, 1);
  return s;
}

void BM_CompiledFileWriter(benchmark::State& state) {
  bench::BenchFolder folder("writer");
  const model::Scenario s = largest_compiled(folder);
  const size_t bytes = bench::compiled_bytes(s);
  for (auto _ : state) model::write_compiled_files(s);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_CompiledFileWriter)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_EncodeCompiledFiles(benchmark::State& state) {
  bench::BenchFolder folder("encode");
  const model::Scenario s = largest_compiled(folder);
  size_t bytes = 0;
  for (auto _ : state) {
    bytes = model::encode_line_file(s).size() + model::encode_station_file(s).size() +
            model::encode_track_file(s).size();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_EncodeCompiledFiles)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
