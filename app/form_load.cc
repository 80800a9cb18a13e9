#include "app/form_load.h"

#include "app/compile_pass.h"
#include "platform/files.h"
#include "platform/window.h"
#include "sources/builtin_texts.h"

namespace app {

void Form_Load(model::Scenario& s) {
  s.line_name = kLineName;
  s.train_code = kTrainCode;
  if (s.app_path.empty()) s.app_path = platform::app_folder();

  // Painted once: no event is processed until the program ends.
  platform::Window form("Attendere");
  form.show_and_paint();

  sources::dati_linea(s);
  sources::dati_treno(s);
  sources::dati_note(s);
  sources::dati_rallentamenti(s);
  sources::dati_scheda(s);
  memorizza_percorso(s, 1);
}

}  // namespace app
