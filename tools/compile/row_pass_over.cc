#include "tools/compile/row_pass_over.h"

#include <algorithm>

namespace tools {

namespace {

// The offset where line `line` (from 1) begins, or npos past the last line.
// A line ends at CR LF, a lone CR or a lone LF, as the reading takes it.
size_t line_start(const std::string& bytes, int line) {
  size_t at = 0;
  for (int n = 1; n < line; ++n) {
    const size_t end = bytes.find_first_of("\r\n", at);
    if (end == std::string::npos) return std::string::npos;
    at = end + (bytes.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
  return at;
}

}  // namespace

bool pass_over_row(std::string& bytes, const model::FieldPlace& row,
                   const model::FieldPlace& field) {
  if (row.line <= 0 || row.column <= 0) return false;
  const size_t row_line = line_start(bytes, row.line);
  if (row_line == std::string::npos) return false;
  const size_t from = row_line + static_cast<size_t>(row.column) - 1;
  if (from > std::min(bytes.find_first_of("\r\n", row_line), bytes.size())) return false;
  const int last_line =
      field.description == row.description ? std::max(row.line, field.line) : row.line;
  size_t to = line_start(bytes, last_line);
  if (to == std::string::npos) to = bytes.size();
  to = std::min(bytes.find_first_of("\r\n", std::max(to, from)), bytes.size());
  // The lines between keep their ends; everything else becomes a blank.
  for (size_t i = from; i < to; ++i) {
    if (bytes[i] != '\r' && bytes[i] != '\n') bytes[i] = ' ';
  }
  return true;
}

}  // namespace tools
