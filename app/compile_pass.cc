#include "app/compile_pass.h"

#include "finish/finishing_pass.h"
#include "finish/identity.h"
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
}  // namespace

void memorizza_dati(model::Scenario& s) {
  try {
    route::RouteOutcome route = route::read_route_description(s);
    if (route.read_train) train::read_train_description(s, route.sign_slot);
  } catch (const platform::RuntimeFailure&) {
    // The one trap of the reading: the readers hold their text in memory, so
    // closing every file is done; what is left is deleting the descriptions.
    delete_if_present(*s.files, platform::join_path(s.app_path, model::route_description_name(s)));
    delete_if_present(*s.files, platform::join_path(s.app_path, model::train_description_name(s)));
    s.error_code = 25;
  }
}

void memorizza_percorso(model::Scenario& s, int32_t j) {
  s.write_line_file = j;
  s.error_code = 0;
  model::clear_item_table(s);
  memorizza_dati(s);
  finish::finishing_pass(s);
  finish::stamp_identity(s);
  model::write_compiled_files(s);
}

}  // namespace app
