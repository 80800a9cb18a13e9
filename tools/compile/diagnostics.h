// Compile errors and warnings in words an author can act on, in the style of
// a compiler:
//
//   BRENTALVO_linea.txt:421:22: error 6: route sign on a cell already taken (31010 m, km 31+010)
//   cartello_indicatore,  31010,   (B)
//                         ^
//
// Everything comes from what the compile pass recorded in the model where
// it happened (model/reading_record.h): the error's number and position,
// the description, line and column of its field, the row it belongs to, and
// the warnings. The texts come from model/compile_errors.h; this file adds
// the position, the facts that sharpen a few numbers, the author's file
// names and the source line under the heading.
#ifndef SCENARIO_TOOLS_COMPILE_DIAGNOSTICS_H_
#define SCENARIO_TOOLS_COMPILE_DIAGNOSTICS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/scenario.h"

namespace tools {

// A second place a message points at: the row an error arose in, or the
// row that took its cell. Shown as "file:line:col: note: message" with the
// line and a caret.
struct RelatedPlace {
  std::optional<std::string> file;
  int line = 0;
  int column = 0;
  std::string message;
  std::string source_line;  // the line of the file; empty when none
};

// The row an error arose in: its keyword field, its kind ("gradient", the
// row's `what` in model/description_rows.h) and the name of the value the
// error concerns (empty for the row as a whole).
struct ErrorRow {
  std::optional<std::string> file;
  int line = 0;
  int column = 0;
  std::string kind;
  std::string value;
};

// What took the cell of an error: the cell's kind ("route sign", or
// "finishing mark" for a mark the finishing pass put around a slowdown) and
// the row that placed it (for a mark, the slowdown's row).
struct ErrorOccupant {
  std::string kind;
  std::optional<std::string> file;
  int line = 0;
};

// One message with where it applies.
struct Diagnostic {
  bool is_error = true;
  int32_t code = 0;  // an error's number
  std::string id;    // a warning's id ("unknown-row"), or an error's without a number
  // Found by a further reading that passed over the rows of other errors
  // (see find_further_errors); a note says so.
  bool after_passing_over = false;
  std::optional<std::string> file;        // the author's description file
  int line = 0;                           // from 1; 0 when not known
  int column = 0;                         // from 1, in bytes; 0 when not known
  std::optional<int32_t> position;        // metres, for the numbers that store one
  std::string message;                    // what went wrong, with the position
  std::string source_line;                // the line of the file, as UTF-8; empty when none
  std::vector<std::string> notes;         // further lines, each without "note: "
  std::optional<ErrorRow> row;            // an error raised inside a row
  std::optional<ErrorOccupant> occupant;  // an error of a taken cell
  std::vector<RelatedPlace> related;      // shown before the notes

  // "file:line:col: error N: message" (or "warning ID: message"); the parts
  // of the place that are not known are left out.
  std::string heading() const;
  // The heading, then the source line with a caret under the column, then
  // the related places each with its line and caret, then the notes, each
  // line ended by "\n".
  std::string text() const;
};

// The author's descriptions as the compile pass read them: their file names
// as given and their bytes. A description not given is absent.
struct DescriptionSources {
  std::optional<std::string> route_file, train_file;
  std::optional<std::string> route, train;
};

// Facts of the compile that sharpen an error's words.
struct ErrorFacts {
  int32_t cell_count = 0;   // error 15: where the track ends
  int32_t line_length = 0;  // error 1: the length that was read
};

// "route sign on a cell already taken (31010 m, km 31+010)", without the
// number; "unknown error number" for a number the compiler never sets.
std::string error_words(int32_t code, int32_t position, const ErrorFacts& facts = {});

// The error the model records (error_code must not be 0), with its place.
Diagnostic error_diagnostic(const model::Scenario& s, const DescriptionSources& sources);

// One recorded error (the compile's own or one it replaced), with its place
// and nothing about the others.
Diagnostic error_diagnostic(const model::Scenario& s, const model::ErrorSite& site,
                            const DescriptionSources& sources);

// The identity error that ended a pass (1250 or 1251): it has no place of
// its own; what took cell 1, when a row did, is named beside it.
Diagnostic identity_diagnostic(int32_t code, const std::optional<model::CellOccupant>& occupant,
                               const DescriptionSources& sources);
// What took cell 1 in `s` when identity error `code` ended its pass: the row
// that placed the cell value the stamp needed, if any.
std::optional<model::CellOccupant> identity_occupant(const model::Scenario& s, int32_t code);

// One warning of the model, with its place.
Diagnostic warning_diagnostic(const model::Warning& w, const DescriptionSources& sources);

// The model's warnings, in reading order.
std::vector<Diagnostic> warning_diagnostics(const model::Scenario& s,
                                            const DescriptionSources& sources);

// Sorts into file order: the route description's before the train's, each
// by line and column; those without a file or a line last, in their order.
void sort_in_file_order(std::vector<Diagnostic>& diagnostics, const DescriptionSources& sources);

// Stations and route signs share the item slots 1 .. 80.
struct Slots {
  int32_t stations = 0;
  int32_t signs = 0;
  // How many more stations or signs would fit: the last station keeps one
  // slot to spare below the signs.
  int32_t free() const;
  // "slots: 27 stations + 51 route signs = 78 of 80".
  std::string text() const;
};
Slots slots_of(const model::Scenario& s);

}  // namespace tools

#endif  // SCENARIO_TOOLS_COMPILE_DIAGNOSTICS_H_
