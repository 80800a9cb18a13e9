// The route half alone: the input is the route description, read with the
// track plan asked for, as the program's compile pass does.
//
// Checked: the reading ends with a code it may set, or with a run-time
// failure (which the compile pass traps as 25); the description is gone
// whenever the reading returns; nothing else appears in the folder (of the
// memory file system the input runs on, fuzz_support.h) or elsewhere; the track
// and the plan have the sizes their lengths give; the route signs own their
// slots; the track and line files that the model would give have their sizes.
// Under the fuzzer, an input whose track is longer than
// fuzz::kLongestKeptTrack is read without the plan and no more
// (fuzz::runs_whole).
#include <cstdint>
#include <set>
#include <string>

#include "fuzz/fuzz_support.h"
#include "model/compile_errors.h"
#include "model/compiled_files.h"
#include "platform/memory_file_system.h"
#include "platform/runtime_failure.h"
#include "route/route_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzz::runs_whole(std::string_view(reinterpret_cast<const char*>(data), size))) return -1;

  platform::MemoryFileSystem files;
  model::Scenario s = fuzz::fresh_scenario(files, 1);
  const std::string description = model::route_description_name(s);
  files.add_file(fuzz::app_file(description),
                 std::string(reinterpret_cast<const char*>(data), size));

  route::RouteOutcome out;
  bool failed = false;
  try {
    out = route::read_route_description(s);
  } catch (const platform::RuntimeFailure&) {
    failed = true;
  }

  const std::set<std::string> left = fuzz::left_in_folder(files);
  if (failed) {
    // The compile pass's trap deletes the description where it still exists.
    FUZZ_CHECK(left.empty() || left == std::set<std::string>{description},
               "a failed route reading left other files");
  } else {
    FUZZ_CHECK(left.empty(), "the route description (or another file) is left after reading");
    const int32_t code = s.error_code;
    if (out.read_train) {
      FUZZ_CHECK(code == 0 || code == model::kBeyondTrack,
                 "the train half follows code " + std::to_string(code));
      FUZZ_CHECK(out.sign_slot >= 0 && out.sign_slot <= model::kFirstSignSlot,
                 "sign slot " + std::to_string(out.sign_slot));
      FUZZ_CHECK(s.track_allocated && s.track_plan_allocated, "no track after a whole reading");
      int signs = 0;
      for (const model::TrackCell& c : s.track) signs += c.kind == model::kRouteSign;
      FUZZ_CHECK(signs == model::kFirstSignSlot - out.sign_slot,
                 std::to_string(signs) + " sign cells, sign slot " + std::to_string(out.sign_slot));
      // The plan's tail runs to point total_length - 2.
      FUZZ_CHECK(s.track_plan.cursor >= s.track_plan.last - 1, "the plan's tail is missing");
    } else {
      FUZZ_CHECK(fuzz::is_route_only_error(code) && code != model::kNoRouteDescription,
                 "the route half ends with code " + std::to_string(code));
    }
  }

  fuzz::check_model_shape(s);
  fuzz::check_route_signs(s);
  if (s.track_allocated) {
    FUZZ_CHECK(model::encode_track_file(s).size() == model::kTrackRecordSize * (s.track.size()),
               "track file size");
  }
  if (s.track_plan_allocated) fuzz::check_line_file(model::encode_line_file(s), s.track_plan);
  FUZZ_CHECK(model::encode_station_file(s).size() == fuzz::expected_station_file_size(s),
             "station file size");
  return 0;
}
