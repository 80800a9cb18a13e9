// What the fuzz targets share: a per-process working folder, the outcome
// checks that every target makes, and the way a broken invariant is reported.
//
// A broken invariant prints what was expected and aborts, so that libFuzzer
// keeps the input as a crash like any sanitizer report.
#ifndef SCENARIO_FUZZ_FUZZ_SUPPORT_H_
#define SCENARIO_FUZZ_FUZZ_SUPPORT_H_

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "model/scenario.h"

namespace fuzz {

[[noreturn]] void broken(const char* file, int line, const std::string& what);

#define FUZZ_CHECK(condition, what)                             \
  do {                                                          \
    if (!(condition)) ::fuzz::broken(__FILE__, __LINE__, what); \
  } while (0)

// A folder of its own for this process under the system's temporary folder,
// removed at exit. Never the source tree.
class WorkFolder {
 public:
  explicit WorkFolder(std::string_view target);
  WorkFolder(const WorkFolder&) = delete;
  WorkFolder& operator=(const WorkFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string file(std::string_view name) const;
  // Removes everything inside.
  void clear() const;
  // The names of the files inside, sorted.
  std::set<std::string> names() const;

 private:
  std::string path_;
};

// A scenario with the built-in names, working in `folder`, as
// memorizza_percorso(j) starts it.
model::Scenario fresh_scenario(const WorkFolder& folder, int32_t write_line_file);

// The built-in descriptions, as their writers write them (lines ended by CR LF).
std::string builtin_route_text();
std::string builtin_train_text();

// The compile errors that reading and finishing may leave in error_code.
bool is_compile_error(int32_t code);
// Those that only the route half sets.
bool is_route_only_error(int32_t code);

// The station file's size: 87 records of 34 bytes plus the names' lengths.
size_t expected_station_file_size(const model::Scenario& s);

// Checks that `bytes` are a line file for `plan`: 2 x (last + 1) tagged
// values, each of a known type with its payload, in the plan's pattern
// (points 0 and 1 integers, computed points doubles, the rest empty).
void check_line_file(std::string_view bytes, const model::TrackPlan& plan);

// Checks the route signs against the item table: every kind 14 cell names a
// slot from 1 to 80, no two the same, and that slot holds only a text.
void check_route_signs(const model::Scenario& s);

// Checks the sizes of the track and the plan against cell_count and
// total_length.
void check_model_shape(const model::Scenario& s);

}  // namespace fuzz

#endif  // SCENARIO_FUZZ_FUZZ_SUPPORT_H_
