// The colour of each kind of mark, one for both pictures: the drawing for
// print (render.h) writes these, and the live page (preview.css) holds the
// same ones as its custom properties (--station, --signal, ...), which a
// test reads back. A reader who learns that signals are green on the page
// finds them green on paper.
#ifndef SCENARIO_TOOLS_PREVIEW_MARK_COLOURS_H_
#define SCENARIO_TOOLS_PREVIEW_MARK_COLOURS_H_

#include <string_view>

namespace tools {

struct MarkColour {
  std::string_view property;  // preview.css's custom property, without "--"
  std::string_view colour;    // "#rrggbb"
};

inline constexpr MarkColour kLineColour{"line", "#1f4e9c"};  // the plan and the speed limit
inline constexpr MarkColour kStationColour{"station", "#6a3d9a"};
inline constexpr MarkColour kSignColour{"sign", "#b15928"};
inline constexpr MarkColour kSignalColour{"signal", "#1b7e3c"};
inline constexpr MarkColour kSlowdownColour{"dip", "#c0392b"};  // slowdowns and errors
inline constexpr MarkColour kMountainColour{"mountain", "#8c6d31"};

inline constexpr MarkColour kMarkColours[] = {kLineColour,   kStationColour,  kSignColour,
                                              kSignalColour, kSlowdownColour, kMountainColour};

// The elevation profile, not a mark: dark grey in both.
inline constexpr std::string_view kElevationColour = "#444";

}  // namespace tools

#endif  // SCENARIO_TOOLS_PREVIEW_MARK_COLOURS_H_
