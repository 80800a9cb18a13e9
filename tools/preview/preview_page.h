// The script and the style of the HTML preview (tools/preview/html_preview.h),
// kept as their own files beside this one (preview.js, preview.css) and
// built into the tool as bytes (embed.cmake).
#ifndef SCENARIO_TOOLS_PREVIEW_PREVIEW_PAGE_H_
#define SCENARIO_TOOLS_PREVIEW_PREVIEW_PAGE_H_

#include <string_view>

namespace tools {

// The text of preview.js and of preview.css, as UTF-8.
std::string_view preview_script();
std::string_view preview_style();

}  // namespace tools

#endif  // SCENARIO_TOOLS_PREVIEW_PREVIEW_PAGE_H_
