#include "model/description_rows.h"

#include <algorithm>

#include "platform/cp1252.h"

namespace model {

namespace {

using K = FieldKind;

constexpr FieldLayout kLength[] = {
    {"length", "m", K::kMetres,
     "the route length; the track runs one cell per 50 m to 7000 m past it"}};
constexpr FieldLayout kProgressive[] = {
    {"position", "m", K::kMetres, "the record's position, a multiple of 50"},
    {"value", "m", K::kMetres, "the kilometric value there, a multiple of 50"},
    {"flag", "", K::kNumber, "kept as is (1 adds 100 to the value)"}};
constexpr FieldLayout kBackground[] = {
    {"value", "", K::kNumber, "the background value, kept as is in slot 85",
     "what it shows lies in the simulator, which reads it from the compiled station file; the "
     "built-in scenario has sfondo uno 1, sfondo due 20000 and sfondo tre 30500"}};
constexpr FieldLayout kRepetition[] = {
    {"value one", "m", K::kMetres, "a multiple of 50"},
    {"value two", "m", K::kMetres, "a multiple of 50; 0 stores the code count as 0"}};

constexpr FieldLayout kGradient[] = {
    {"position", "m", K::kPosition, "from this position's cell on"},
    {"gradient", "\x89", K::kGradient, "gradient + 100 in one byte, low 8 bits kept"}};
constexpr FieldLayout kCurve[] = {{"start", "m", K::kPosition, "the track plan turns from here"},
                                  {"length", "m", K::kMetres, "for this many metres"}};
constexpr FieldLayout kMountain[] = {
    {"start", "m", K::kPosition, "the first cell of the stretch"},
    {"end", "m", K::kMetres, "the last cell, round(end / 50 - 1)"},
    {"type", "", K::kNumber,
     "the mountain type, low 8 bits kept; above 10: the type less 10, with markers",
     "what a type looks like lies in the simulator; here only stretches that (nearly) touch "
     "become type 3. The built-in scenario uses 1 and 2, and 11 and 12 for the same with "
     "markers"}};
constexpr FieldLayout kIndicator[] = {
    {"position", "m", K::kCellPosition, "the indicator's cell, which must be free"},
    {"vas", "km/h", K::kNumber, "the first left-side speed"},
    {"vbs", "km/h", K::kNumber, "the second left-side speed"},
    {"vcs", "km/h", K::kNumber, "the third left-side speed"},
    {"strisces", "", K::kNumber, "the left-side stripes"},
    {"vad", "km/h", K::kNumber, "the first right-side speed (a multiple of 5 below 100)"},
    {"vbd", "km/h", K::kNumber, "the second right-side speed (a multiple of 5 below 100)"},
    {"vcd", "km/h", K::kNumber, "the third right-side speed (a multiple of 5 below 100)"},
    {"strisced", "", K::kNumber, "the right-side stripes"}};
constexpr FieldLayout kSign[] = {
    {"position", "m", K::kCellPosition, "the sign's cell, which must be free"},
    {"text", "", K::kText, "the sign's text, in the next sign slot (80, 79, ...)"}};

constexpr FieldLayout kBrakedMass[] = {{"percent", "%", K::kNumber, "the braked-mass percentage"}};
constexpr FieldLayout kCars[] = {{"count", "", K::kNumber, "the number of cars"}};
constexpr FieldLayout kSpeed[] = {
    {"position", "m", K::kPosition, "from this position's cell on"},
    {"limit", "km/h", K::kSpeed, "the limit / 5, rounded, in one byte of every cell"}};
constexpr FieldLayout kAdhesion[] = {
    {"position", "m", K::kPosition, "from this position's cell on"},
    {"adhesion", "", K::kLowByte, "the adhesion in one byte of every cell, low 8 bits kept"}};
constexpr FieldLayout kClock[] = {{"hours", "h", K::kShort, "the scenario clock at the start"},
                                  {"minutes", "min", K::kShort, "the scenario clock at the start"},
                                  {"seconds", "s", K::kShort, "the scenario clock at the start"}};
constexpr FieldLayout kSand[] = {{"value", "", K::kShort, "the sand value"}};
constexpr FieldLayout kSignal[] = {
    {"posizione (position)", "m", K::kCellPosition, "the signal's cell, which must be free"},
    {"sx", "", K::kNumber, "code of the signal's left part, in value 4 (rapp x 10 + sx x 3 + dx)",
     "what a code stands for lies in the simulator; here only sx 2 keeps the signal's time. "
     "The built-in signals use 1 and 2"},
    {"s1", "", K::kNumber, "the left part's first aspect, in value 1 (s1 x 10 + d1)",
     "what an aspect code stands for lies in the simulator; the built-in signals use 2 to 5"},
    {"s2", "", K::kNumber, "the left part's second aspect, in value 2 (s2 x 10 + d2)",
     "what an aspect code stands for lies in the simulator; the built-in signals use 0, 1, 3 "
     "and 4"},
    {"s3", "", K::kNumber, "the left part's third aspect, in value 3 (s3 x 10 + d3)",
     "what an aspect code stands for lies in the simulator; 0 in every built-in signal"},
    {"rapp", "", K::kNumber, "a further code, in value 4 (rapp x 10 + sx x 3 + dx)",
     "what it stands for lies in the simulator; 0 in every built-in signal"},
    {"dx", "", K::kNumber, "code of the right part, in value 4 (rapp x 10 + sx x 3 + dx)",
     "what a code stands for lies in the simulator; 0 in every built-in signal"},
    {"d1", "", K::kNumber, "the right part's first aspect, in value 1 (s1 x 10 + d1)",
     "what an aspect code stands for lies in the simulator; 0 in every built-in signal"},
    {"d2", "", K::kNumber, "the right part's second aspect, in value 2 (s2 x 10 + d2)",
     "what an aspect code stands for lies in the simulator; 0 in every built-in signal"},
    {"d3", "", K::kNumber, "the right part's third aspect, in value 3 (s3 x 10 + d3)",
     "what an aspect code stands for lies in the simulator; 0 in every built-in signal"},
    {"tempo", "", K::kLowByte,
     "a time, counted only when sx is 2; one byte, 1 to 100 raised to 101",
     "what the time means lies in the simulator; the built-in signals use 0, and 120 in "
     "two signals whose sx is 1 (so it is not kept)"}};
constexpr FieldLayout kSlowdown[] = {
    {"x (start)", "m", K::kCellPosition, "the slowdown's start cell"},
    {"v (speed)", "km/h", K::kLowShort, "the speed in the slowdown's cells"},
    {"l (length)", "m", K::kMetres, "the length; the end cell is round((x + l) / 50 + 1)"},
    {"f_tt", "", K::kLowShort, "a flag in the start and end cells",
     "what it stands for lies in the simulator; 1 in every built-in slowdown"},
    {"f_ta", "", K::kNumber, "when not 0, the four cells before the warning cell are marked"},
    {"d_v", "", K::kLowShort, "a value in the slowdown's cells",
     "what it stands for lies in the simulator; 0 in every built-in slowdown"}};
constexpr FieldLayout kAbbattimento[] = {
    {"position", "m", K::kPosition, "the marked cell, which must be free"},
    {"value", "", K::kLowShort, "kept by the mark when 1 or more"}};
constexpr FieldLayout kStation[] = {
    {"position", "m", K::kPosition, "the station's position, a multiple of 50"},
    {"kind", "", K::kByte,
     "the station kind code; here it sets the station area (kinds 5 to 8 apart) and whether the "
     "station is marked on the track (kinds below 25)",
     "what a kind is lies in the simulator; the built-in stations use 1, 8, 11, 12, 22, 24, 25 "
     "and 28 (the origin is kind 8, the destination kind 1)"},
    {"length", "m", K::kMetres, "the size of the station area, a multiple of 100"},
    {"flag (field 4)", "", K::kByte, "kept as is",
     "what it stands for lies in the simulator; the built-in stations use 0 and 1"},
    {"flag (field 5)", "", K::kByte, "cleared when the length is under 600 m",
     "what it stands for lies in the simulator; 0 in every built-in station"},
    {"flag (field 6)", "", K::kByte, "when not 0, the area ends 50 m later",
     "what else it stands for lies in the simulator; the built-in stations use 0 and 1"},
    {"value (field 7)", "", K::kShort, "kept as is",
     "what it stands for lies in the simulator; the built-in stations use 0, 1 and 4"},
    {"value (field 8)", "", K::kShort, "kept as is",
     "what it stands for lies in the simulator; the built-in stations use 0 and 1"},
    {"flag (field 9)", "", K::kByte, "kept as is",
     "what it stands for lies in the simulator; 0 in every built-in station"},
    {"value (field 10)", "", K::kShort, "kept as is",
     "what it stands for lies in the simulator; the built-in stations use 0, 2, 4 and 5"},
    {"value (field 11)", "", K::kShort, "kept as is",
     "what it stands for lies in the simulator; the built-in stations use 0, 1 and 3"},
    {"value (field 12)", "", K::kShort, "kept as is",
     "what it stands for lies in the simulator; the built-in stations use 0 and 1"},
    {"stop time", "s", K::kSeconds, "how long the train stops"},
    {"hours", "h", K::kHours, "the timetable time, as seconds since midnight"},
    {"minutes", "min", K::kMinutes, "the timetable time, as seconds since midnight"},
    {"seconds", "s", K::kClockSeconds, "the timetable time, as seconds since midnight"},
    {"name", "", K::kText, "the station's name"}};

using S = RowSection;

constexpr RowLayout kRows[] = {
    {"lunghezza percorso",
     S::kRouteGeneral,
     {"percorso", "lunghezza", ""},
     true,
     "route length",
     kLength},
    {"progressiva chilometrica uno",
     S::kRouteGeneral,
     {"progressiva", "uno", ""},
     false,
     "kilometric progressive one",
     kProgressive},
    {"progressiva chilometrica due",
     S::kRouteGeneral,
     {"progressiva", "due", ""},
     false,
     "kilometric progressive two",
     kProgressive},
    {"progressiva chilometrica tre",
     S::kRouteGeneral,
     {"progressiva", "tre", ""},
     false,
     "kilometric progressive three",
     kProgressive},
    {"sfondo uno", S::kRouteGeneral, {"sfondo", "uno", ""}, false, "background one", kBackground},
    {"sfondo due", S::kRouteGeneral, {"sfondo", "due", ""}, false, "background two", kBackground},
    {"sfondo tre", S::kRouteGeneral, {"sfondo", "tre", ""}, false, "background three", kBackground},
    {"ripetizione segnali 4 codici",
     S::kRouteGeneral,
     {"segnali", "ripetizione", "4"},
     false,
     "signal repetition, 4 codes",
     kRepetition},
    {"ripetizione segnali 9 codici",
     S::kRouteGeneral,
     {"segnali", "ripetizione", "9"},
     false,
     "signal repetition, 9 codes",
     kRepetition},

    {"pendenza", S::kRouteBody, {"pendenza", "", ""}, true, "gradient", kGradient},
    {"curvad1", S::kRouteBody, {"curva", "", ""}, true, "curve to the right, class 1", kCurve},
    {"curvad2", S::kRouteBody, {"curva", "", ""}, true, "curve to the right, class 2", kCurve},
    {"curvad3", S::kRouteBody, {"curva", "", ""}, true, "curve to the right, class 3", kCurve},
    {"curvad4", S::kRouteBody, {"curva", "", ""}, true, "curve to the right, class 4", kCurve},
    {"curvad5", S::kRouteBody, {"curva", "", ""}, true, "curve to the right, class 5", kCurve},
    {"curvad6", S::kRouteBody, {"curva", "", ""}, true, "curve to the right, class 6", kCurve},
    {"curvas1", S::kRouteBody, {"curva", "", ""}, true, "curve to the left, class 1", kCurve},
    {"curvas2", S::kRouteBody, {"curva", "", ""}, true, "curve to the left, class 2", kCurve},
    {"curvas3", S::kRouteBody, {"curva", "", ""}, true, "curve to the left, class 3", kCurve},
    {"curvas4", S::kRouteBody, {"curva", "", ""}, true, "curve to the left, class 4", kCurve},
    {"curvas5", S::kRouteBody, {"curva", "", ""}, true, "curve to the left, class 5", kCurve},
    {"curvas6", S::kRouteBody, {"curva", "", ""}, true, "curve to the left, class 6", kCurve},
    {"montagna", S::kRouteBody, {"montagna", "", ""}, true, "mountain stretch", kMountain},
    {"indicatori_vmax",
     S::kRouteBody,
     {"indicatori_v", "", ""},
     true,
     "speed indicator",
     kIndicator},
    {"cartello_indicatore", S::kRouteBody, {"indicat", "cartello", ""}, true, "route sign", kSign},

    {"percentuale massa frenata",
     S::kTrain,
     {"frenata", "massa", ""},
     true,
     "braked mass",
     kBrakedMass},
    {"numero vetture", S::kTrain, {"vetture", "", ""}, true, "number of cars", kCars},
    {"velocita", S::kTrain, {"velocit", "", ""}, true, "speed limit", kSpeed},
    {"aderenza", S::kTrain, {"aderenza", "", ""}, true, "adhesion", kAdhesion},
    {"orologio", S::kTrain, {"orologio", "", ""}, true, "scenario clock", kClock},
    {"sabbia", S::kTrain, {"sabbia", "", ""}, true, "sand", kSand},
    {"segnale", S::kTrain, {"segnale", "", ""}, true, "signal", kSignal},
    {"rallentamento", S::kTrain, {"rallentamento", "", ""}, true, "slowdown", kSlowdown},
    {"abbattimento", S::kTrain, {"abbattimento", "", ""}, true, "speed mark", kAbbattimento},
    {"stazione", S::kTrain, {"stazione", "", ""}, true, "station", kStation},
};

std::string_view trim(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

}  // namespace

std::string_view section_name(RowSection section) {
  switch (section) {
    case RowSection::kRouteGeneral:
      return "general section of the route";
    case RowSection::kRouteBody:
      return "route body";
    case RowSection::kTrain:
      return "train description";
  }
  return "";
}

bool RowLayout::matches(std::string_view field) const {
  return std::all_of(std::begin(words), std::end(words), [&](std::string_view word) {
    return word.empty() ||
           (any_case ? platform::contains_nocase(field, word) : platform::contains(field, word));
  });
}

std::span<const RowLayout> description_rows() { return kRows; }

std::vector<const RowLayout*> rows_of(RowSection section) {
  std::vector<const RowLayout*> rows;
  for (const RowLayout& row : kRows) {
    if (row.section == section) rows.push_back(&row);
  }
  return rows;
}

const RowLayout* row_for(std::string_view field, RowSection section) {
  const std::string wanted = platform::to_lower(trim(field));
  for (const RowLayout& row : kRows) {
    if (row.section == section && row.keyword == wanted) return &row;
  }
  for (const RowLayout& row : kRows) {
    if (row.section == section && row.matches(field)) return &row;
  }
  return nullptr;
}

}  // namespace model
