// The peak memory of the largest compile, measured in a process of its own:
// the descriptions are written first (their texts freed), then one
// memorizza_percorso runs, then the process's peak resident size is compared
// with the line file's size.
#include <sys/resource.h>

#include <cstdio>
#include <filesystem>

#include "app/compile_pass.h"
#include "bench/bench_support.h"
#include "bench/largest_scenario.h"
#include "model/compiled_files.h"
#include "platform/files.h"

namespace {
long peak_kib() {
  struct rusage u {};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;  // KiB on Linux
}
}  // namespace

int main() {
  bench::BenchFolder folder("peak_memory");
  {
    model::Scenario s = bench::scenario_in(folder);
    bench::write_descriptions(s, bench::largest_route_description(),
                              bench::largest_train_description());
  }
  const long before = peak_kib();
  model::Scenario s = bench::scenario_in(folder);
  app::memorizza_percorso(s, 1);
  const long peak = peak_kib();
  const double line_bytes = static_cast<double>(
      std::filesystem::file_size(platform::join_path(s.app_path, model::line_file_name(s))));
  const double ratio = peak * 1024.0 / line_bytes;
  std::printf("Peak memory of the largest compile (error_code %d):\n", s.error_code);
  std::printf("  peak resident size      %8.1f MiB (%.1f MiB before the compile)\n", peak / 1024.0,
              before / 1024.0);
  std::printf("  line file               %8.1f MiB\n", line_bytes / (1024.0 * 1024.0));
  std::printf("  peak / line file        %8.2f   goal < 2   %s\n", ratio,
              ratio < 2 ? "met" : "MISSED");
  return 0;
}
