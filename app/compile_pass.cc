#include "app/compile_pass.h"

#include "finish/finishing_pass.h"
#include "finish/identity.h"
#include "model/compile_errors.h"
#include "model/compiled_files.h"
#include "platform/files.h"
#include "platform/runtime_failure.h"
#include "route/route_reader.h"
#include "train/train_reader.h"

namespace app {

namespace {
void delete_if_present(platform::FileSystem& fs, const std::string& path) {
  if (platform::file_exists(fs, path)) fs.delete_file(path);
}

// Deletes the descriptions on the way out of a run that cannot go on. The
// storage may be failing: what cannot be deleted stays, and the failure that
// ends the run is the one reported.
void delete_descriptions_quietly(model::Scenario& s) {
  for (const std::string& name :
       {model::route_description_name(s), model::train_description_name(s)}) {
    try {
      s.files->delete_file(platform::join_path(s.app_path, name));
    } catch (const platform::RuntimeFailure&) {
      // Already gone, or the storage is failing.
    }
  }
}
}  // namespace

void memorizza_dati(model::Scenario& s) {
  try {
    route::RouteOutcome route = route::read_route_description(s);
    if (route.read_train) train::read_train_description(s, route.sign_slot);
  } catch (const platform::FileReadFailure&) {
    // Not a fault of the text: a set compiled without that description would
    // be no scenario at all (no train, no stations), written over a good one.
    delete_descriptions_quietly(s);
    throw;
  } catch (const platform::RuntimeFailure& failure) {
    // The one trap of the reading: the readers hold their text in memory, so
    // closing every file is done; what is left is deleting the descriptions.
    // The error's place is the field being read when the failure came.
    model::ErrorSite site;
    site.field = s.reading;
    site.row = s.reading_row;
    site.row_keyword = s.reading_row_keyword;
    site.row_section = s.reading_section;
    // The value being read when the failure came; a cell or a table out of
    // reach is the row's as a whole.
    if (failure.number() != platform::kSubscriptOutOfRange) site.row_value = s.reading_values - 1;
    site.value_stored_later = s.reading_late_value;
    s.reading_late_value.reset();
    site.failure = failure.number();
    site.failure_text = failure.what();
    delete_if_present(*s.files, platform::join_path(s.app_path, model::route_description_name(s)));
    delete_if_present(*s.files, platform::join_path(s.app_path, model::train_description_name(s)));
    model::record_error(s, model::kReadingFailure, std::move(site));
  }
}

void memorizza_percorso(model::Scenario& s, int32_t j) {
  s.write_line_file = j;
  s.error_code = model::kNoError;
  // What the last pass recorded for authors goes with it.
  s.error_site = {};
  s.earlier_errors.clear();
  s.earlier_error_count = 0;
  s.warnings.clear();
  s.warning_count = 0;
  s.placements.clear();
  s.taken_cell = -1;
  s.reading_late_value.reset();
  s.signs_read = 0;
  s.stations_read = 0;
  model::clear_item_table(s);
  memorizza_dati(s);
  if (s.error_code == model::kNoRouteDescription) {
    // No track can be built without the route: the finishing pass would
    // fail on its first cell. The missing file is the cause, and the run
    // ends on it.
    delete_descriptions_quietly(s);
    throw platform::FileReadFailure(
        platform::kFileNotFound, platform::join_path(s.app_path, model::route_description_name(s)) +
                                     " (the route description is not there)");
  }
  finish::finishing_pass(s);
  finish::stamp_identity(s);
  model::write_compiled_files(s);
}

}  // namespace app
