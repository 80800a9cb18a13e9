// Small text helpers of the authoring tool: how positions, names and the
// Windows-1252 bytes of the compiled files are shown to authors.
//
// Compiled files and descriptions hold Windows-1252 bytes; everything the
// tool prints (terminal text, JSON, SVG) is UTF-8, so names and sign texts
// pass through to_utf8 on the way out.
#ifndef SCENARIO_COMPILED_TEXT_H_
#define SCENARIO_COMPILED_TEXT_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace tools {

// Windows-1252 bytes as UTF-8. The five bytes the code page leaves undefined
// and the control characters other than tab, LF and CR become U+FFFD, so the
// result is always valid UTF-8 and valid XML character data.
std::string to_utf8(std::string_view cp1252);

// "km 31+010" for 31010 m; "km -0+025" for -25 m.
std::string km_text(int64_t metres);

// "31010 m (km 31+010)".
std::string position_text(int64_t metres);

// Line names and train codes form file names: 1 to 32 characters, each an
// ASCII letter, a digit or "_".
inline constexpr size_t kMaxNameLength = 32;
bool is_valid_name(std::string_view name);

// Why `name` is refused, for a message ("--line-name" is `what`); empty when
// the name is valid.
std::string name_problem(std::string_view what, std::string_view name);

// Why `code` is refused as a train code: the reasons of name_problem, and
// "linea" in any case, whose track file LINE_linea.dat would be the line
// file of its own line.
std::string train_code_problem(std::string_view what, std::string_view code);

}  // namespace tools

#endif  // SCENARIO_COMPILED_TEXT_H_
