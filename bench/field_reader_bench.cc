// The field reader's throughput on a long text of description rows.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/largest_scenario.h"

namespace {

void BM_FieldReader(benchmark::State& state) {
  const std::string text = bench::field_reader_text(static_cast<size_t>(state.range(0)));
  size_t fields = 0;
  for (auto _ : state) {
    // The reader owns its bytes: the copy it is given is made off the clock.
    state.PauseTiming();
    std::string copy = text;
    state.ResumeTiming();
    fields = bench::read_rows(std::move(copy));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
  state.counters["fields"] = static_cast<double>(fields);
}
BENCHMARK(BM_FieldReader)->Arg(64 << 20)->Unit(benchmark::kMillisecond);

}  // namespace
