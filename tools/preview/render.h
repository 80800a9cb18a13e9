// The compiled scenario drawn as one SVG page for a browser.
//
// Top: the plan of the line from the line file, seen from above, with the
// stations (from the station file) and the signals (from the track file)
// marked. Below it, over kilometres: the elevation integrated from the cells'
// gradients with the mountain stretches shaded, and the speed limit steps
// with the slowdowns; station names stand over both. Parts whose file is
// missing are left out with a note.
//
// Bounded: whatever the files hold, the page is drawn at its own resolution
// and is at most kMaxSvgSize bytes (2 MiB). The plan's up to a million points
// are cut into kPlanBuckets runs of consecutive points, each drawn by its
// first and last point and those with the least and greatest x and y (a
// plan of up to kPlanPointsDrawnWhole points is drawn whole). Along the
// profiles, the elevation and speed lines, the signals, the slowdowns and
// the mountain stretches are drawn as they are up to a number no real
// scenario reaches (kMaxProfileVertices, kMaxProfileMarks); past it, a pixel
// column keeps the least and greatest value of the lines and one mark of
// each kind. Names are cut to kMaxLabelCharacters.
//
// The file: every drawing begins with kDrawingProlog, the XML declaration
// and a comment that marks it as a drawing of render. write_drawing replaces
// a file only when it is such a drawing, and never one named as a compiled
// file or a description.
#ifndef SCENARIO_TOOLS_PREVIEW_RENDER_H_
#define SCENARIO_TOOLS_PREVIEW_RENDER_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "compiled/compiled_set.h"
#include "compiled/scenario_view.h"
#include "platform/file_system.h"

namespace tools {

inline constexpr size_t kMaxSvgSize = size_t{2} << 20;
inline constexpr int64_t kPlanBuckets = 2000;
inline constexpr int64_t kPlanPointsDrawnWhole = 6 * kPlanBuckets;
inline constexpr size_t kMaxProfileVertices = 6000;
inline constexpr size_t kMaxProfileMarks = 1000;
inline constexpr size_t kMaxLabelCharacters = 80;

inline constexpr std::string_view kDrawingProlog =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!-- Drawn by scenario_tool render: a later render may replace this file. -->\n";

// The page as UTF-8 SVG, at most kMaxSvgSize bytes, drawn from the decoded
// view of the files (compiled/scenario_view.h). REQUIRES: a track file or a
// line file in the set (else throws ToolError).
std::string render_svg(const ScenarioView& view);
std::string render_svg(const CompiledSet& set);

// Throws ToolError, saying why, unless a drawing may be written to `path`:
// its name must not end as a description's or a compiled file's does
// ("_linea.txt", "-.txt", ".sim", ".dat", in any case), and the name must
// be free or a regular file that begins with kDrawingProlog (an earlier
// drawing).
void check_drawing_target(platform::FileSystem& fs, const std::string& path);

// check_drawing_target, then replaces the file with `svg` through a
// temporary and a rename (platform::replace_file). Throws ToolError.
void write_drawing(platform::FileSystem& fs, const std::string& path, std::string_view svg);

// `text` with &, <, >, " and ' written as entities, read alike as XML and as
// HTML: what the drawing and the HTML page put in text and attributes.
std::string xml_escape(const std::string& text);

}  // namespace tools

#endif  // SCENARIO_TOOLS_PREVIEW_RENDER_H_
