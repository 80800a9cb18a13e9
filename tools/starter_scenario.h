// A small starter scenario for an author to grow: `scenario_tool new`.
//
// The built-in scenario fills 78 of the 80 slots that stations and route
// signs share, so a new station or sign does not fit in it. The starter is a
// line of 20 km with three stations, six signals, gradients, curves of four
// classes, a mountain stretch with a tunnel, a slowdown, a speed indicator
// and four route signs: it takes 7 slots and compiles with no error and no
// warning.
//
// Its rows carry notes in English where the readers pass text over: the
// text before the "[generale]" heading, lines of their own with no comma,
// hyphen or keyword in them, and words after the last number of a row.
// The texts are Windows-1252 (ASCII only here) with CR LF line ends, like
// the built-in ones.
#ifndef SCENARIO_TOOLS_STARTER_SCENARIO_H_
#define SCENARIO_TOOLS_STARTER_SCENARIO_H_

#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "tools/compile/compile_command.h"

namespace tools {

// The two descriptions. Without notes they hold the same rows and compile to
// the same bytes.
std::string starter_route_text(bool with_notes = true);
std::string starter_train_text(bool with_notes = true);

// Writes the two into `dir` (created when missing) as LINE_linea.txt and
// LINE_TRAIN-.txt for the given names. Refuses (ToolError, nothing
// written) when either is already there, unless `overwrite`.
std::vector<WrittenFile> write_starter(const std::filesystem::path& dir,
                                       const std::string& line_name, const std::string& train_code,
                                       bool overwrite,
                                       platform::FileSystem& files = platform::real_file_system());

}  // namespace tools

#endif  // SCENARIO_TOOLS_STARTER_SCENARIO_H_
