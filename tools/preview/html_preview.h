// The compiled scenario as one interactive HTML page for a browser.
//
// The page holds the plan of the line, the elevation and the speed profile
// over one distance axis in km; wheel, drag and the keys + - and the arrows
// zoom and pan all three together (the plan fits itself to the stretch in
// view). Every station, route sign, signal, slowdown, speed indicator,
// mountain stretch and other marked cell is drawn, and its values show on
// hover or click. A search box centres the view on a km ("12+500", "12.5")
// or a station or route sign. The diagnostics are listed beside the picture,
// and under them the driver's documents when the page has them.
//
// Self-contained: the script, the style and the data are inside the file;
// nothing is fetched, except in live mode, where the page listens for
// "update" events on /events and then fetches /data.json (preview_data) and
// redraws; when the data carries an error, the error is shown over the
// picture, and a failed fetch keeps the last good picture under its message.
//
// Bounded: the data holds the plan cut to at most kPreviewPlanPoints points
// and the profiles as runs (from, to, value) that change only where the
// value changes, so a route of a million metres stays a page of a few
// hundred kilobytes. Texts from the compiled files pass through to_utf8;
// the data is embedded so that no text can end its script element, and the
// page writes texts into the document only as text, never as markup.
#ifndef SCENARIO_TOOLS_PREVIEW_HTML_PREVIEW_H_
#define SCENARIO_TOOLS_PREVIEW_HTML_PREVIEW_H_

#include <cstddef>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "compiled/compiled_set.h"
#include "compiled/scenario_view.h"
#include "platform/file_system.h"
#include "tools/compile/compile_command.h"
#include "tools/compile/diagnostics.h"

namespace tools {

// The most plan points the data holds: a plan with more stored points is
// cut into kPreviewPlanPoints / 2 runs of consecutive points, each given by
// its first point and the one farthest from the chord to the next run's
// first point; the plan's last point is kept.
inline constexpr size_t kPreviewPlanPoints = 4000;

// Every page begins so; write_preview replaces only a file that does.
inline constexpr std::string_view kPreviewProlog =
    "<!DOCTYPE html>\n"
    "<!-- Drawn by scenario_tool render: a later render may replace this file. -->\n";

struct PreviewOptions {
  std::string title;                    // shown in the page heading
  std::vector<Diagnostic> diagnostics;  // listed beside the picture (may be empty)
  // The page listens on /events (server-sent events) and fetches /data.json
  // again on each "update" event.
  bool live = false;
  // The timetable card and the slow-order form, shown in a panel (may be
  // empty).
  std::vector<GeneratedDocument> documents;
};

// The data the page draws, as one JSON object; the live page fetches the
// same from /data.json. Positions are metres from the origin, speeds km/h,
// gradients per mille, times seconds (with their clock text):
//
//   "length"       metres the axis spans: the profile, else the plan
//   "names"        line, train, line_length, clock, the file names
//   "stations"     slot, name, km, position, kind, area, stop_time, time
//   "signs"        slot, text, and cell, position and km when placed
//   "signals", "slowdowns", "indicators", "mountains"   from the track file
//   "cells"        every other marked cell: kind name and values
//   "speed"        runs [from, to, km/h] of the speed limit
//   "speed_shown"  the same with each slowdown's dip: between its start and
//                  end the limit drops to the slowdown's speed
//   "gradient"     runs [from, to, per mille]
//   "elevation"    vertices [metre, height] where the gradient changes
//   "plan"         points [metre, x, y] (at most kPreviewPlanPoints), the
//                  number stored and the extent
//   "diagnostics"  error, heading and text of each
//   "documents"    the driver's documents (documents_json), or null
//
// Texts are UTF-8. Parts whose file is missing are empty.
nlohmann::ordered_json preview_data(const ScenarioView& view,
                                    const std::vector<Diagnostic>& diagnostics,
                                    const std::vector<GeneratedDocument>& documents = {});
nlohmann::ordered_json preview_data(const CompiledSet& set,
                                    const std::vector<Diagnostic>& diagnostics,
                                    const std::vector<GeneratedDocument>& documents = {});

// `data` as the text of a JSON script element: UTF-8 (invalid bytes
// replaced), with <, > and & written as \u escapes so that no text inside
// can end the element or open a comment.
std::string embeddable_json(const nlohmann::ordered_json& data);

// One HTML file: no network, no external script or font, the data embedded.
std::string render_html(const ScenarioView& view, const PreviewOptions& options);
std::string render_html(const CompiledSet& set, const PreviewOptions& options);

// Throws ToolError, saying why, unless a page may be written to `path`: its
// name must not end as a description's or a compiled file's does
// ("_linea.txt", "-.txt", ".sim", ".dat", in any case), and the name must be
// free or a regular file that begins with kPreviewProlog (an earlier page).
void check_preview_target(platform::FileSystem& fs, const std::string& path);

// check_preview_target, then replaces the file with `html` through a
// temporary and a rename. Throws ToolError.
void write_preview(platform::FileSystem& fs, const std::string& path, std::string_view html);

}  // namespace tools

#endif  // SCENARIO_TOOLS_PREVIEW_HTML_PREVIEW_H_
