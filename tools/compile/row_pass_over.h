// Passing over a faulty row, so that a further reading finds the errors
// after it.
//
// The compile pass keeps one error, and after most errors the reading of
// that description stops. To show an author every error in one run, the
// tool compiles again in memory with the faulty row turned into blanks:
// a field of blanks holds no keyword, so the reading passes over it as it
// passes over a note, and goes on with the next row. Line ends are kept, so
// every other field keeps its line and column and the errors found further
// on are named where the author's file has them.
#ifndef SCENARIO_TOOLS_COMPILE_ROW_PASS_OVER_H_
#define SCENARIO_TOOLS_COMPILE_ROW_PASS_OVER_H_

#include <string>

#include "model/reading_record.h"

namespace tools {

// Turns into blanks every byte of `bytes` from the row's keyword field at
// `row` up to the end of the line of `field` (the field that failed; a
// field before the row, or of another description, counts as the row's own
// line). CR and LF stay. False, with nothing changed, when `row` names no
// line of `bytes`.
bool pass_over_row(std::string& bytes, const model::FieldPlace& row,
                   const model::FieldPlace& field);

}  // namespace tools

#endif  // SCENARIO_TOOLS_COMPILE_ROW_PASS_OVER_H_
