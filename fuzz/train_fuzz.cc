// The train half after the built-in route: the input is the train
// description, read into the model that the built-in route description gives
// (read once, then copied for every input). The finishing pass, the identity
// stamps and the compiled files' encoding follow in memory, as the compile
// pass runs them on whatever the reading left.
//
// Checked: the reading ends with a train code or a run-time failure; the
// description is gone whenever the reading returns and nothing else appears
// in the folder (of the memory file system the input runs on, fuzz_support.h)
// or elsewhere; the route's part of the model (cell count, gradients,
// mountain marks, general slots, sign slots) is untouched; the stations stay
// below the sign slots; the finishing pass only adds codes 11 to 13; an
// identity error comes exactly when the stamps' fields are taken; the station
// and track files have their sizes.
#include <algorithm>
#include <cstdint>
#include <set>
#include <string>

#include "finish/errore.h"
#include "finish/finishing_pass.h"
#include "finish/identity.h"
#include "fuzz/fuzz_support.h"
#include "model/compile_errors.h"
#include "model/compiled_files.h"
#include "platform/memory_file_system.h"
#include "platform/runtime_failure.h"
#include "route/route_reader.h"
#include "train/train_reader.h"

namespace {

struct AfterRoute {
  model::Scenario s;
  int32_t sign_slot = 0;
};

// The model after the built-in route, without the plan (the train half and
// the finishing pass never look at it). Read on a memory file system of its
// own; each input sets its own as s.files.
AfterRoute read_builtin_route() {
  platform::MemoryFileSystem files;
  AfterRoute r;
  r.s = fuzz::fresh_scenario(files, 0);
  files.add_file(fuzz::app_file(model::route_description_name(r.s)), fuzz::builtin_route_text());
  route::RouteOutcome out = route::read_route_description(r.s);
  FUZZ_CHECK(out.read_train && r.s.error_code == 0, "the built-in route does not read cleanly");
  FUZZ_CHECK(fuzz::left_in_folder(files).empty(), "the built-in route leaves files");
  r.s.files = nullptr;
  r.sign_slot = out.sign_slot;
  return r;
}

bool same_record(const model::ItemRecord& a, const model::ItemRecord& b) {
  return a.item_kind == b.item_kind && a.area_start == b.area_start && a.area_end == b.area_end &&
         a.item_position == b.item_position && a.item_flag == b.item_flag &&
         a.item_name == b.item_name && a.item_word1 == b.item_word1 &&
         a.item_word2 == b.item_word2 && a.item_word3 == b.item_word3 &&
         a.item_word4 == b.item_word4 && a.item_word5 == b.item_word5 &&
         a.item_byte1 == b.item_byte1 && a.item_byte2 == b.item_byte2 &&
         a.item_byte3 == b.item_byte3 && a.item_byte4 == b.item_byte4 && a.item_time == b.item_time;
}

// The numbers the train half sets: its own, and a row beyond the track.
bool is_train_error(int32_t code) {
  const model::ErrorInfo* info = model::find_error(code);
  return info != nullptr &&
         (info->stage == model::ErrorStage::kTrain || code == model::kBeyondTrack);
}

bool is_finishing_error(int32_t code) {
  const model::ErrorInfo* info = model::find_error(code);
  return info != nullptr && info->stage == model::ErrorStage::kFinishing;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const AfterRoute route = read_builtin_route();

  platform::MemoryFileSystem files;
  files.add_folder(fuzz::kAppFolder);
  model::Scenario s = route.s;
  s.files = &files;
  const model::Scenario& before = route.s;
  const std::string description = model::train_description_name(s);
  files.add_file(fuzz::app_file(description),
                 std::string(reinterpret_cast<const char*>(data), size));

  bool failed = false;
  try {
    train::read_train_description(s, route.sign_slot);
  } catch (const platform::RuntimeFailure&) {
    failed = true;
  }
  const std::set<std::string> left = fuzz::left_in_folder(files);
  if (failed) {
    FUZZ_CHECK(left.empty() || left == std::set<std::string>{description},
               "a failed train reading left other files");
    s.error_code = model::kReadingFailure;
  } else {
    FUZZ_CHECK(left.empty(), "the train description (or another file) is left after reading");
    FUZZ_CHECK(s.error_code == 0 || is_train_error(s.error_code),
               "the train half ends with code " + std::to_string(s.error_code));
  }

  // What belongs to the route stays as the route left it.
  FUZZ_CHECK(s.cell_count == before.cell_count && s.total_length == before.total_length &&
                 s.track.size() == before.track.size(),
             "the train half resized the track");
  for (size_t i = 0; i < s.track.size(); ++i) {
    FUZZ_CHECK(s.track[i].gradient_code == before.track[i].gradient_code &&
                   s.track[i].mountain_type == before.track[i].mountain_type,
               "the train half changed the route's cell " + std::to_string(i));
  }
  for (int slot = route.sign_slot + 1; slot <= model::kSlotLine; ++slot) {
    const model::ItemRecord& a = s.item_table[static_cast<size_t>(slot)];
    const model::ItemRecord& b = before.item_table[static_cast<size_t>(slot)];
    if (slot == model::kSlotTrainGeneral) {
      FUZZ_CHECK(a.area_end == b.area_end, "the train half changed the line length");
    } else {
      FUZZ_CHECK(same_record(a, b), "the train half changed slot " + std::to_string(slot));
    }
  }
  const model::ItemRecord& t = s.item_table[model::kSlotTrain];
  const model::ItemRecord& tb = before.item_table[model::kSlotTrain];
  FUZZ_CHECK(t.item_name == tb.item_name && t.area_start == tb.area_start &&
                 t.area_end == tb.area_end && t.item_position == tb.item_position,
             "the train half changed the route's part of slot 86");
  for (const model::TrackCell& c : s.track) {
    if (c.kind == model::kStationStop) {
      // Slot 1 takes a station even when the signs reach down to slot 2.
      FUZZ_CHECK(c.value1 >= 1 && c.value1 < std::max(route.sign_slot, 2),
                 "a stop cell names slot " + std::to_string(c.value1));
    }
  }
  fuzz::check_model_shape(s);
  fuzz::check_route_signs(s);

  // The rest of the compile pass, in memory.
  const int32_t code_read = s.error_code;
  finish::finishing_pass(s);
  FUZZ_CHECK(s.error_code == code_read || is_finishing_error(s.error_code),
             "the finishing pass set code " + std::to_string(s.error_code));
  fuzz::check_model_shape(s);
  fuzz::check_route_signs(s);

  const model::ItemRecord& line = s.item_table[model::kSlotLine];
  const int expected_errore =
      (line.item_word1 != 0 || s.cell(1).value1 != 0)  ? model::kIdentityValue1Taken
      : (line.item_time != 0 || s.cell(1).value2 != 0) ? model::kIdentityValue2Taken
                                                       : model::kNoError;
  int errore = 0;
  try {
    finish::stamp_identity(s);
  } catch (const finish::IdentityError& e) {
    errore = e.number();
  }
  FUZZ_CHECK(errore == expected_errore, "identity error " + std::to_string(errore) + ", expected " +
                                            std::to_string(expected_errore));
  if (errore == 0) {
    FUZZ_CHECK(model::encode_station_file(s).size() == fuzz::expected_station_file_size(s),
               "station file size");
    FUZZ_CHECK(model::encode_track_file(s).size() ==
                   model::kTrackRecordSize * (static_cast<size_t>(s.cell_count) + 1),
               "track file size");
  }
  return 0;
}
