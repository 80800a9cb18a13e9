// The built-in scenario's five texts and their writers.
//
// Each text is one table of lines, ending with the end sentinel of the
// line-array writer. Each writer takes the folder and the names from the
// model and writes its file there through write_line_array:
//   dati_linea          <line>_linea.txt                 route description
//   dati_treno          <line>_<train>-.txt              train description
//   dati_note           <line>_<train>_note.txt          notes document
//   dati_rallentamenti  <line>_<train>_rallentamenti.txt slow-order form
//   dati_scheda         <line>_<train>_scheda_treno.txt  timetable card
// The line name and train number inside the documents are part of their
// lines; only the file names come from the model.
#ifndef SCENARIO_SOURCES_BUILTIN_TEXTS_H_
#define SCENARIO_SOURCES_BUILTIN_TEXTS_H_

#include <span>
#include <string>
#include <string_view>

#include "model/scenario.h"
#include "platform/files.h"

namespace sources {

// The tables, sentinel included.
std::span<const std::string_view> route_description_text();
std::span<const std::string_view> train_description_text();
std::span<const std::string_view> notes_text();
std::span<const std::string_view> slow_order_form_text();
std::span<const std::string_view> timetable_card_text();

// File names (without folder) of the three documents; the descriptions'
// names are in model/scenario.h.
std::string notes_name(const model::Scenario& s);
std::string slow_order_form_name(const model::Scenario& s);
std::string timetable_card_name(const model::Scenario& s);

// The two descriptions are read back and deleted by the compile pass of the
// same run: they are replaced as transient files, never flushed to the
// storage (platform::FileReplacement::stage_transient).
void dati_linea(const model::Scenario& s);
void dati_treno(const model::Scenario& s);
// The three documents stay beside the executable: each is replaced durably
// on its own, or staged into `documents` and committed with the others, so
// that their folder is synced once for all of them.
void dati_note(const model::Scenario& s);
void dati_rallentamenti(const model::Scenario& s);
void dati_scheda(const model::Scenario& s);
void dati_note(const model::Scenario& s, platform::FileReplacement& documents);
void dati_rallentamenti(const model::Scenario& s, platform::FileReplacement& documents);
void dati_scheda(const model::Scenario& s, platform::FileReplacement& documents);

}  // namespace sources

#endif  // SCENARIO_SOURCES_BUILTIN_TEXTS_H_
