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
void write_text(const model::Scenario& s, const std::string& name,
                std::span<const std::string_view> text) {
  write_line_array(*s.files, platform::join_path(s.app_path, name), text);
}
}  // namespace

void dati_linea(const model::Scenario& s) {
  write_text(s, model::route_description_name(s), route_description_text());
}
void dati_treno(const model::Scenario& s) {
  write_text(s, model::train_description_name(s), train_description_text());
}
void dati_note(const model::Scenario& s) { write_text(s, notes_name(s), notes_text()); }
void dati_rallentamenti(const model::Scenario& s) {
  write_text(s, slow_order_form_name(s), slow_order_form_text());
}
void dati_scheda(const model::Scenario& s) {
  write_text(s, timetable_card_name(s), timetable_card_text());
}

}  // namespace sources
