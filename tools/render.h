// The compiled scenario drawn as one SVG page for a browser.
//
// Top: the plan of the line from the line file, seen from above, with the
// stations (from the station file) and the signals (from the track file)
// marked. Below it, over kilometres: the elevation integrated from the cells'
// gradients with the mountain stretches shaded, and the speed limit steps
// with the slowdowns; station names stand over both. Parts whose file is
// missing are left out with a note.
#ifndef SCENARIO_TOOLS_RENDER_H_
#define SCENARIO_TOOLS_RENDER_H_

#include <string>

#include "tools/compiled_set.h"

namespace tools {

// The page as UTF-8 SVG. REQUIRES: a track file or a line file in `set`
// (else throws ToolError).
std::string render_svg(const CompiledSet& set);

// `text` with &, <, >, " and ' written as entities.
std::string xml_escape(const std::string& text);

}  // namespace tools

#endif  // SCENARIO_TOOLS_RENDER_H_
