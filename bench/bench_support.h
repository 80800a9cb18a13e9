// What the benchmarks share: a folder of their own on the temporary disk and
// a scenario set up there as the program sets it up.
#ifndef SCENARIO_BENCH_BENCH_SUPPORT_H_
#define SCENARIO_BENCH_BENCH_SUPPORT_H_

#include <filesystem>
#include <string>
#include <string_view>

#include "model/scenario.h"

namespace bench {

// A fresh folder under the system's temporary folder, removed with the object.
class BenchFolder {
 public:
  explicit BenchFolder(std::string_view name);
  ~BenchFolder();
  BenchFolder(const BenchFolder&) = delete;
  BenchFolder& operator=(const BenchFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string file(std::string_view name) const;

 private:
  std::string path_;
};

// A scenario with the built-in names, working in `folder`.
model::Scenario scenario_in(const BenchFolder& folder);

// Writes the two descriptions into the scenario's folder.
void write_descriptions(const model::Scenario& s, const std::string& route,
                        const std::string& train);

// The bytes of the three compiled files, as written by a compile.
size_t compiled_bytes(const model::Scenario& s);

}  // namespace bench

#endif  // SCENARIO_BENCH_BENCH_SUPPORT_H_
