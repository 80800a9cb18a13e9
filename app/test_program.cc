// Test stand-in for scenario_compiler: the same ends of the program, but the
// compile pass runs on the route and train descriptions named on the command
// line (copied beside the executable under the built-in names) instead of
// the built-in texts.
//
//   scenario_test_program ROUTE_FILE TRAIN_FILE
#include <string>

#include "app/compile_pass.h"
#include "app/form_load.h"
#include "app/program.h"
#include "platform/files.h"
#include "platform/window.h"

int main(int argc, char** argv) {
  if (argc != 3) return 64;
  const std::string route = argv[1], train = argv[2];
  return app::run_program([&](model::Scenario& s) {
    s.line_name = app::kLineName;
    s.train_code = app::kTrainCode;
    s.app_path = platform::app_folder();
    std::unique_ptr<platform::FolderLock> lock = app::claim_folder(s);
    platform::Window form("Attendere");
    form.show_and_paint();
    platform::FileSystem& fs = *s.files;
    platform::replace_transient_file(
        fs, platform::join_path(s.app_path, model::route_description_name(s)),
        platform::read_description_file(fs, route));
    platform::replace_transient_file(
        fs, platform::join_path(s.app_path, model::train_description_name(s)),
        platform::read_description_file(fs, train));
    app::memorizza_percorso(s, 1);
  });
}
