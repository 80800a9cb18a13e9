// The five writers: each writes its built-in text beside the executable.
#include "platform/files.h"
#include "sources/builtin_texts.h"
#include "sources/line_writer.h"

namespace sources {

std::string notes_name(const model::Scenario& s) {
  return s.line_name + "_" + s.train_code + "_note.txt";
}
std::string slow_order_form_name(const model::Scenario& s) {
  return s.line_name + "_" + s.train_code + "_rallentamenti.txt";
}
std::string timetable_card_name(const model::Scenario& s) {
  return s.line_name + "_" + s.train_code + "_scheda_treno.txt";
}

namespace {
std::string path_of(const model::Scenario& s, const std::string& name) {
  return platform::join_path(s.app_path, name);
}

void write_document(const model::Scenario& s, const std::string& name,
                    std::span<const std::string_view> text) {
  write_line_array(*s.files, path_of(s, name), text);
}

void stage_document(const model::Scenario& s, platform::FileReplacement& documents,
                    const std::string& name, std::span<const std::string_view> text) {
  documents.stage(path_of(s, name), line_array_bytes(text));
}
}  // namespace

void dati_linea(const model::Scenario& s) {
  platform::replace_transient_file(*s.files, path_of(s, model::route_description_name(s)),
                                   line_array_bytes(route_description_text()));
}
void dati_treno(const model::Scenario& s) {
  platform::replace_transient_file(*s.files, path_of(s, model::train_description_name(s)),
                                   line_array_bytes(train_description_text()));
}
void dati_note(const model::Scenario& s) { write_document(s, notes_name(s), notes_text()); }
void dati_rallentamenti(const model::Scenario& s) {
  write_document(s, slow_order_form_name(s), slow_order_form_text());
}
void dati_scheda(const model::Scenario& s) {
  write_document(s, timetable_card_name(s), timetable_card_text());
}
void dati_note(const model::Scenario& s, platform::FileReplacement& documents) {
  stage_document(s, documents, notes_name(s), notes_text());
}
void dati_rallentamenti(const model::Scenario& s, platform::FileReplacement& documents) {
  stage_document(s, documents, slow_order_form_name(s), slow_order_form_text());
}
void dati_scheda(const model::Scenario& s, platform::FileReplacement& documents) {
  stage_document(s, documents, timetable_card_name(s), timetable_card_text());
}

}  // namespace sources
