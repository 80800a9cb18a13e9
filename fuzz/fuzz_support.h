// What the fuzz targets share: the scenario set up on an in-memory file
// system, the outcome checks that every target makes, and the way a broken
// invariant is reported.
//
// Every input gets a new platform::MemoryFileSystem: the stages read and
// write only through it (model::Scenario::files), so nothing touches the
// disk and no input sees what an earlier one left.
//
// A broken invariant prints what was expected and aborts, so that libFuzzer
// keeps the input as a crash like any sanitizer report.
#ifndef SCENARIO_FUZZ_FUZZ_SUPPORT_H_
#define SCENARIO_FUZZ_FUZZ_SUPPORT_H_

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>

#include "model/scenario.h"
#include "platform/forwarding_file_system.h"
#include "platform/memory_file_system.h"

namespace fuzz {

[[noreturn]] void broken(const char* file, int line, const std::string& what);

#define FUZZ_CHECK(condition, what)                             \
  do {                                                          \
    if (!(condition)) ::fuzz::broken(__FILE__, __LINE__, what); \
  } while (0)

// The harness's own loops over every value, point or byte (the line file's
// check, the plan's shape, the texts' lines) are left out of the coverage
// that guides the fuzzer: their branches say nothing about the compiler,
// and their counters and comparisons cost time on every execution.
#if defined(__clang__)
#define FUZZ_NOT_GUIDING __attribute__((no_sanitize("coverage")))
#else
#define FUZZ_NOT_GUIDING
#endif

// Under the fuzzer, the targets that compile a track run an input whole only
// when its track (route length plus the spare track) is at most this long:
// every metre costs a plan point and two line file values, the spare track
// alone makes 7000 of them, and a corpus that drifts to long tracks runs a
// few executions a second. A longer input gets its route read without the
// plan (what decides the length) and no more, so it is cheap and libFuzzer
// finds little in it worth keeping. Routes up to 9 km run whole; so do the
// long seeds (the built-in route of 100 km, plain routes of 20 km, 80 signs
// over 80 km) in the test run, which replays every seed with every check,
// while under the fuzzer they are starting points whose mutations run whole
// once they are short enough.
inline constexpr int32_t kLongestKeptTrack = 16000;

// Whether the input with this route description is run whole: always in
// the replays (built without SCENARIO_FUZZING), and under the fuzzer when
// the route reader, reading it without a plan, gives a track of at most
// kLongestKeptTrack (or stops before it knows the length).
bool runs_whole(std::string_view route_text);

// The folder of the memory file system that the stages work in.
inline constexpr char kAppFolder[] = "/fuzz/app";

// The path of `name` in kAppFolder.
std::string app_file(std::string_view name);

// A scenario with the built-in names, as memorizza_percorso(j) starts it,
// working in kAppFolder of `files` (which it creates).
model::Scenario fresh_scenario(platform::MemoryFileSystem& files, int32_t write_line_file);

// The names (without folder) of what a stage left in kAppFolder, sorted.
// Checks that every entry there is a regular file and that nothing at all
// was made anywhere else in `files`. Copies no file's bytes: the compiled
// files run to megabytes.
std::set<std::string> left_in_folder(platform::MemoryFileSystem& files);

// Checks that `left` holds no temporary of a replacement
// (".<name>.partial-<tag>") of any file the scenario names: the compiled
// files and the descriptions.
void check_no_temporaries(const std::set<std::string>& left, const model::Scenario& s);

// The built-in descriptions, as their writers write them (lines ended by CR LF).
std::string builtin_route_text();
std::string builtin_train_text();

// The compile errors that reading and finishing may leave in error_code.
bool is_compile_error(int32_t code);
// Those that only the route half sets.
bool is_route_only_error(int32_t code);

// The station file's size: 87 records of 34 bytes plus the names' lengths.
size_t expected_station_file_size(const model::Scenario& s);

// Checks that bytes are a line file for `plan`: 2 x (last + 1) tagged
// values, each of a known type with its payload, in the plan's pattern
// (points 0 and 1 integers, computed points doubles, the rest empty). The
// bytes are fed in parts as they are written, cut anywhere, and never kept.
class LineFileCheck {
 public:
  explicit LineFileCheck(const model::TrackPlan& plan) : plan_(plan) {}
  void feed(std::string_view bytes);
  // Checks that the file ends after its last value.
  void finish() const;
  uint64_t size() const { return size_; }

 private:
  // Checks the value at the start of `bytes`; returns its length, or 0 when
  // `bytes` end inside it.
  size_t value(std::string_view bytes);

  const model::TrackPlan& plan_;
  int half_ = 0;     // 0 for x, 1 for y, 2 once both are whole
  int64_t m_ = 0;    // the point of the next value
  std::string cut_;  // the start of a value that the last part cut
  uint64_t size_ = 0;
};

// Checks that `bytes` are a whole line file for `plan` (LineFileCheck).
void check_line_file(std::string_view bytes, const model::TrackPlan& plan);

// The memory file system of a compile, except that the line file keeps no
// bytes: what is written to it (or to a temporary of it) goes through a
// LineFileCheck as it comes, and the file itself stays empty, so that its
// name, renames and deletion behave as for any file. A line file runs to
// megabytes; held and copied it cost most of a fuzzed compile.
class LineFileSink : public platform::ForwardingFileSystem {
 public:
  // `plan` is the plan that the line file `line_file_name` (in kAppFolder)
  // is written from.
  LineFileSink(platform::MemoryFileSystem& files, const model::TrackPlan& plan,
               std::string line_file_name);

  // The check of the line file's bytes; nullptr when no line file is there.
  const LineFileCheck* line_file();

  std::unique_ptr<platform::WritableFile> create_new(const std::string& path) override;
  void rename_file(const std::string& from, const std::string& to) override;
  void delete_file(const std::string& path) override;
  uint64_t file_size(const std::string& path) override;
  std::string read_file(const std::string& path, uint64_t limit) override;

 private:
  const model::TrackPlan& plan_;
  std::string line_file_name_;
  std::map<std::string, std::shared_ptr<LineFileCheck>> checks_;  // by path
};

// Checks the route signs against the item table: every kind 14 cell names a
// slot from 1 to 80, no two the same, and that slot holds only a text.
void check_route_signs(const model::Scenario& s);

// Checks what the pass recorded for messages against the texts it read:
// the error's record carries error_code; every place of the error, its row
// and the warnings lies in its description (a line of the text, a column
// within that line or just past its end, or line 0 for the text as a
// whole); the warnings kept are bounded and counted; the slots add up.
void check_reading_record(const model::Scenario& s, std::string_view route_text,
                          std::string_view train_text);

// Checks the sizes of the track and the plan against cell_count and
// total_length.
void check_model_shape(const model::Scenario& s);

}  // namespace fuzz

#endif  // SCENARIO_FUZZ_FUZZ_SUPPORT_H_
