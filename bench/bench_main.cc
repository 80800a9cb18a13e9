// Runs the benchmarks, then prints the goals' figures from the same run:
// the field reader's MB/s, and the largest compile's time over the time of
// merely writing its output bytes.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

struct Figures {
  double real_ns = 0;  // per iteration
  double bytes_per_second = 0;
  double checks = 1;  // checks made per iteration
};

// The console output as usual, keeping each benchmark's figures.
class KeepingReporter : public benchmark::ConsoleReporter {
 public:
  // Colours only on a terminal, so that a saved log reads plainly.
  KeepingReporter() : ConsoleReporter(::isatty(1) ? OO_Defaults : OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      // With repetitions, the median stands for the benchmark.
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      const std::string& name = run.run_name.function_name;
      if (run.run_type == Run::RT_Iteration && medians_.count(name)) continue;
      if (run.run_type != Run::RT_Iteration && !median) continue;
      if (median) medians_.insert(name);
      Figures& f = kept[name];
      f.real_ns = run.real_accumulated_time * 1e9 / static_cast<double>(run.iterations);
      auto bps = run.counters.find("bytes_per_second");
      if (bps != run.counters.end()) f.bytes_per_second = bps->second.value;
      auto checks = run.counters.find("checks");
      if (checks != run.counters.end()) f.checks = checks->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, Figures> kept;

 private:
  std::set<std::string> medians_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  KeepingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  const auto& k = reporter.kept;
  std::printf("\nGoals (this run):\n");
  if (k.count("BM_FieldReader")) {
    const double mb = k.at("BM_FieldReader").bytes_per_second / 1e6;
    std::printf("  field reader            %8.1f MB/s   goal >= 300 MB/s   %s\n", mb,
                mb >= 300 ? "met" : "MISSED");
  }
  if (k.count("BM_LargestCompile") && k.count("BM_WriteLargestOutputOnly")) {
    const double compile_ms = k.at("BM_LargestCompile").real_ns / 1e6;
    const double write_ms = k.at("BM_WriteLargestOutputOnly").real_ns / 1e6;
    const double ratio = compile_ms / write_ms;
    std::printf(
        "  largest compile         %8.2f ms, writing its output only %.2f ms: ratio %.2f   goal "
        "<= 1.5   %s\n",
        compile_ms, write_ms, ratio, ratio <= 1.5 ? "met" : "MISSED");
  }
  if (k.count("BM_LspChangeToDiagnostics")) {
    const Figures& f = k.at("BM_LspChangeToDiagnostics");
    const double ms = f.real_ns / 1e6 / f.checks;
    std::printf(
        "  language server, a change of the built-in pair to its diagnostics %.2f ms   "
        "goal < 100 ms   %s\n",
        ms, ms < 100 ? "met" : "MISSED");
  }
  return 0;
}
