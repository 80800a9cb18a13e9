// The whole compile pass, memorizza_percorso, from one input:
//
//   <route description> NUL <train description>             line file asked for
//   <route description> NUL <train description> NUL <any>    no line file
//   <route description>                                      no train description
//
// The pass runs on a memory file system of its own (fuzz_support.h); checked,
// against the files in its folder afterwards:
//   - the pass returns with error_code 0 or a number of the error table, or
//     ends by an identity error (1250, 1251), by a run-time failure only
//     where the track lacks the cells the stamps need, or, without a train
//     description, by the failure to read it;
//   - the route description is always gone; the train description is gone
//     unless the route reading ended before it (then it is byte for byte as
//     written); no other file appears, in the folder or elsewhere, and no
//     temporary (".<name>.partial-...") of a compiled file is left;
//   - after a return, the compiled files are there: the track file of
//     15 x (cell_count + 1) bytes, the station file of 2958 bytes plus the
//     names, the line file (when asked for) with the values its variant codes
//     announce; after an identity error or a failure, none of them;
//   - the route signs still own their item slots;
//   - what the pass recorded for messages points into the texts it read.
// The line file is checked as the pass writes it and never kept
// (fuzz::LineFileSink). Under the fuzzer, an input whose track is longer than
// fuzz::kLongestKeptTrack has its route read and no more (fuzz::runs_whole).
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "app/compile_pass.h"
#include "finish/errore.h"
#include "fuzz/fuzz_support.h"
#include "model/compile_errors.h"
#include "model/compiled_files.h"
#include "platform/memory_file_system.h"
#include "platform/runtime_failure.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t cut = input.find('\0');
  const std::string_view route_text = input.substr(0, cut);
  std::string_view train_text;
  const bool has_train = cut != std::string_view::npos;
  int32_t j = 1;
  if (has_train) {
    train_text = input.substr(cut + 1);
    const size_t end = train_text.find('\0');
    if (end != std::string_view::npos) {
      train_text = train_text.substr(0, end);
      j = 0;
    }
  }

  if (!fuzz::runs_whole(route_text)) return -1;

  platform::MemoryFileSystem files;
  model::Scenario s = fuzz::fresh_scenario(files, j);
  fuzz::LineFileSink sink(files, s.track_plan, model::line_file_name(s));
  s.files = &sink;
  const std::string route_name = model::route_description_name(s);
  const std::string train_name = model::train_description_name(s);
  files.add_file(fuzz::app_file(route_name), std::string(route_text));
  if (has_train) files.add_file(fuzz::app_file(train_name), std::string(train_text));

  enum { kReturned, kIdentityError, kRunTimeFailure } end = kReturned;
  try {
    app::memorizza_percorso(s, j);
  } catch (const finish::IdentityError& e) {
    FUZZ_CHECK(
        e.number() == model::kIdentityValue1Taken || e.number() == model::kIdentityValue2Taken,
        "identity error " + std::to_string(e.number()));
    end = kIdentityError;
  } catch (const platform::FileReadFailure& e) {
    // A description that is not there ends the pass: only the train
    // description can be missing here.
    FUZZ_CHECK(!has_train, std::string("a description could not be read: ") + e.what());
    end = kRunTimeFailure;
  } catch (const platform::RuntimeFailure& e) {
    // Outside reading the compile pass has no trap: a failure there ends the
    // program. It may come only from a missing track or a track too short to
    // hold cell 1 for the stamps.
    FUZZ_CHECK(!s.track_allocated || s.cell_count < 1,
               std::string("run-time failure after reading: ") + e.what());
    end = kRunTimeFailure;
  }
  const int32_t code = s.error_code;
  FUZZ_CHECK(code == 0 || fuzz::is_compile_error(code), "error code " + std::to_string(code));
  FUZZ_CHECK(code != model::kNoRouteDescription, "code 101 with a route description");

  std::set<std::string> expected;
  const std::set<std::string> left = fuzz::left_in_folder(files);
  fuzz::check_no_temporaries(left, s);
  // A route code (or one of the finishing pass's, which may follow it) is the
  // only way the train description stays; it is then untouched.
  const bool train_unread = fuzz::is_route_only_error(code);
  const model::ErrorInfo* info = model::find_error(code);
  const bool train_may_stay =
      train_unread || (info != nullptr && info->stage == model::ErrorStage::kFinishing);
  if (has_train && left.count(train_name)) {
    FUZZ_CHECK(train_may_stay, "train description left with code " + std::to_string(code));
    FUZZ_CHECK(files.contents(fuzz::app_file(train_name)) == train_text,
               "the train description left behind was changed");
    expected.insert(train_name);
  } else {
    FUZZ_CHECK(!(has_train && train_unread),
               "train description gone although the route ended with code " + std::to_string(code));
  }

  if (end == kReturned) {
    const std::string track = model::track_file_name(s);
    const std::string station = model::station_file_name(s);
    expected.insert(track);
    expected.insert(station);
    FUZZ_CHECK(left.count(track) && left.count(station), "a compiled file is missing");
    FUZZ_CHECK(files.file_size(fuzz::app_file(track)) ==
                   model::kTrackRecordSize * (static_cast<size_t>(s.cell_count) + 1),
               "track file size for cell_count " + std::to_string(s.cell_count));
    FUZZ_CHECK(files.file_size(fuzz::app_file(station)) == fuzz::expected_station_file_size(s),
               "station file size");
    if (j != 0) {
      const std::string line = model::line_file_name(s);
      expected.insert(line);
      FUZZ_CHECK(left.count(line), "the line file is missing");
      const fuzz::LineFileCheck* check = sink.line_file();
      FUZZ_CHECK(check != nullptr, "the line file was not written where it is");
      check->finish();
    }
  }
  FUZZ_CHECK(left == expected, "the folder holds other files than expected");

  fuzz::check_model_shape(s);
  fuzz::check_route_signs(s);
  fuzz::check_reading_record(s, route_text, train_text);
  return 0;
}
