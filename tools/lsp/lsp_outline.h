// A description cut into its headings and rows the way its reader walks it,
// with the place and width of every field, for the language server's hover,
// completion and outline.
//
// The walk follows the readers' rules (platform::FieldReader for the fields,
// model/description_rows.h for the rows): the preamble up to "[generale]",
// the route's general section up to its next heading, then the body; a
// keyword field holding "-" is passed over; each known row reads its fields
// as numbers or texts in order. It stops where a value cannot be read (the
// compile stops there too, with error 25), so it never fails.
#ifndef SCENARIO_TOOLS_LSP_LSP_OUTLINE_H_
#define SCENARIO_TOOLS_LSP_LSP_OUTLINE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/description_rows.h"

namespace tools::lsp {

enum class DescriptionKind { kRoute, kTrain };

// One field: line and column from 1 (in bytes), its width in bytes on that
// line, and its text as read (Windows-1252).
struct FieldSpan {
  int line = 0;
  int column = 0;
  int width = 0;
  std::string text;
  std::optional<int64_t> number;  // a number field that was read as one
};

struct OutlineRow {
  const model::RowLayout* layout = nullptr;
  FieldSpan keyword;
  std::vector<FieldSpan> fields;  // as many as were read, in order
};

struct OutlineHeading {
  FieldSpan field;
};

struct Outline {
  std::vector<OutlineHeading> headings;
  std::vector<OutlineRow> rows;
};

Outline outline_of(std::string_view cp1252, DescriptionKind kind);

// The width in bytes of the field that begins at byte `column` (from 1) of
// `line`: a quoted text to its closing quote, else to the next comma or the
// line end, trailing blanks dropped; at least 1.
int field_width(std::string_view line, int column);

// The lines of a text, without their ends (CR LF, CR or LF).
std::vector<std::string_view> text_lines(std::string_view text);

// The row section that a new row at `line` (from 0) would belong to: the
// section of the last heading above it. Nothing before "[generale]".
std::optional<model::RowSection> section_at(std::string_view cp1252, DescriptionKind kind,
                                            int line);

}  // namespace tools::lsp

#endif  // SCENARIO_TOOLS_LSP_LSP_OUTLINE_H_
