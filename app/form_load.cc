#include "app/form_load.h"

#include <string>
#include <vector>

#include "app/compile_pass.h"
#include "model/compiled_files.h"
#include "platform/files.h"
#include "platform/set_journal.h"
#include "platform/window.h"
#include "sources/builtin_texts.h"

namespace app {

std::unique_ptr<platform::FolderLock> claim_folder(model::Scenario& s,
                                                   std::chrono::milliseconds wait) {
  std::unique_ptr<platform::FolderLock> lock = s.files->lock_folder(s.app_path, wait);
  // A set that a stopped run was replacing is made whole first: its
  // temporaries are not leftovers.
  const platform::SetRecovery recovery = platform::recover_interrupted_set(*s.files, s.app_path);
  if (recovery.outcome != platform::SetRecovery::Outcome::kNothing) {
    platform::report_note(recovery.message(s.app_path));
  }
  const std::vector<std::string> names = {
      model::route_description_name(s), model::train_description_name(s), sources::notes_name(s),
      sources::slow_order_form_name(s), sources::timetable_card_name(s),  model::line_file_name(s),
      model::station_file_name(s),      model::track_file_name(s)};
  platform::remove_stale_partials(*s.files, s.app_path, names);
  return lock;
}

void Form_Load(model::Scenario& s) {
  s.line_name = kLineName;
  s.train_code = kTrainCode;
  if (s.app_path.empty()) s.app_path = platform::app_folder();
  std::unique_ptr<platform::FolderLock> lock = claim_folder(s);

  // Painted once: no event is processed until the program ends.
  platform::Window form("Attendere");
  form.show_and_paint();

  sources::dati_linea(s);
  sources::dati_treno(s);
  platform::FileReplacement documents(*s.files);
  sources::dati_note(s, documents);
  sources::dati_rallentamenti(s, documents);
  sources::dati_scheda(s, documents);
  documents.commit();
  memorizza_percorso(s, 1);
}

}  // namespace app
