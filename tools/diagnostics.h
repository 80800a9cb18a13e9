// Compile errors in words an author can act on.
//
// The compile pass keeps only a number and a position (s.error_code,
// s.error_position). A diagnostic adds what the number means, the position
// in metres and as km+m, and, for errors found while reading, the
// description file and line where the reading stopped:
//
//   BRENTALVO_linea.txt:421: error 6: route sign on a cell already taken at
//   31010 m (km 31+010)
//
// Errors of the finishing pass (11, 12, 13) name the cell and its metres and
// no line; errors that carry no position name none.
#ifndef SCENARIO_TOOLS_DIAGNOSTICS_H_
#define SCENARIO_TOOLS_DIAGNOSTICS_H_

#include <cstdint>
#include <optional>
#include <string>

namespace tools {

// Facts beside the number that sharpen a few messages.
struct ErrorFacts {
  int32_t cell_count = 0;      // error 15: how long the track is
  int32_t line_length = 0;     // error 1: the length that was read
  std::string failure;         // error 25: what the run-time layer said, when known
  bool train_missing = false;  // error 25: no train description was given
};

// Errors of the finishing pass: their position is a cell number x 50.
bool is_finishing_code(int32_t code);
// Whether the code stores a position with it.
bool code_has_position(int32_t code);
// Whether the code is found while reading a description (and so has a line).
bool is_reading_code(int32_t code);

// "error 6: route sign on a cell already taken at 31010 m (km 31+010)".
std::string error_message(int32_t code, int32_t position, const ErrorFacts& facts = {});

// One message with where it applies.
struct Diagnostic {
  std::optional<std::string> file;  // the author's description file
  std::optional<int> line;          // its line, from 1
  std::string message;              // "error N: ..."

  // "file:line: message", "file: message" or "message".
  std::string text() const;
};

}  // namespace tools

#endif  // SCENARIO_TOOLS_DIAGNOSTICS_H_
