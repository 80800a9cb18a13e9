#include "tools/diagnostics.h"

#include "tools/text.h"

namespace tools {

namespace {

std::string at(int32_t position) { return "at " + position_text(position); }

std::string at_cell(int32_t position) {
  int64_t cell = position / 50;
  return "at cell " + std::to_string(cell) + " (" + std::to_string(position) + " m, " +
         km_text(position) + ")";
}

std::string words(int32_t code, int32_t p, const ErrorFacts& facts) {
  switch (code) {
    case 1:
      return "route length " +
             (facts.line_length > 1000000 ? std::to_string(facts.line_length) + " m " : "") +
             "is above the limit of 1000000 m";
    case 2:
      return "a kilometric progressive row (\"progressiva ... uno/due/tre\") has a position or "
             "value that is not a multiple of 50 m";
    case 3:
      return "the first signal repetition value (\"ripetizione segnali\" row) is not a multiple "
             "of 50";
    case 4:
      return "the second signal repetition value (\"ripetizione segnali\" row) is not a multiple "
             "of 50";
    case 5:
      return "the signal repetition keyword (\"ripetizione segnali\") holds neither 4 nor 9, "
             "the number of codes";
    case 6:
      return "route sign on a cell already taken " + at(p);
    case 7:
      return "\"abbattimento\" mark on a cell already taken " + at(p);
    case 8:
      return "station position is not a multiple of 50 m, station " + at(p);
    case 9:
      return "station length is not a multiple of 100 m, station " + at(p);
    case 10:
      return "too many stations: the station slots have reached the route signs' slots "
             "(stations and route signs share 80 slots)";
    case 11:
      return "no free cell for the mark before a signal that stands within 20 cells of a "
             "slowdown warning, signal " +
             at_cell(p);
    case 12:
      return "no free cell for a mark 250-350, 550-650 or 900-1000 m before a slowdown start, "
             "start " +
             at_cell(p);
    case 13:
      return "no free cell for a mark inside a slowdown slower than 110 km/h, or just before "
             "the first signal after it, " +
             at_cell(p);
    case 15: {
      std::string msg = "position beyond the end of the track " + at(p);
      if (facts.cell_count > 0) {
        int64_t end = int64_t{facts.cell_count} * 50;
        msg += ": the track runs to " + std::to_string(end) +
               " m (route length + 7000 m); a row "
               "must lie at least 100 m before that end, a station 800 m";
      }
      return msg;
    }
    case 16:
      return "signal on a cell already taken " + at(p);
    case 17:
      return "the warning cell of a slowdown (1200 m before its start) is already taken, "
             "slowdown " +
             at(p);
    case 18:
      return "slowdown start on a cell already taken " + at(p);
    case 19:
      return "slowdown end on a cell already taken, slowdown " + at(p);
    case 20:
      return "one of the four cells before a slowdown's warning is already taken, slowdown " +
             at(p);
    case 21:
      return "speed indicator on a cell already taken " + at(p);
    case 22:
      return "station area starts less than 350 m after the end of the previous station's "
             "area, station " +
             at(p);
    case 24:
      return "a station's stop cell would not lie beyond cell 1: its area ends within the first "
             "100 m";
    case 25:
      if (facts.train_missing) {
        return "no train description was given: the reading needs one after the route "
               "description";
      }
      if (!facts.failure.empty()) return "the description could not be read here: " + facts.failure;
      return "the description could not be read here: a row ends early (the file ends inside "
             "it), a field is not a whole number, or a value does not fit its field";
    case 101:
      return "no route description: the file is missing";
    case 102:
      return "no field holds \"[generale]\", or the file ends right after it: the general "
             "section is missing";
    case 103:
      return "a curve row without a class digit 1 to 6 in its keyword, or a track plan longer "
             "than 1000000 points";
    case 1250:
      return "identity error: cell 1 already holds a value 1 where the identity stamp goes: "
             "something stands on the first 50 m of track (a route sign, speed indicator, "
             "signal or slowdown at about 0 m, or an \"abbattimento\" mark at about 50 m)";
    case 1251:
      return "identity error: cell 1 already holds a value 2 where the identity stamp goes: "
             "something stands on the first 50 m of track (a speed indicator, signal or "
             "slowdown at about 0 m)";
    default:
      return "unknown error number";
  }
}

}  // namespace

bool is_finishing_code(int32_t code) { return code >= 11 && code <= 13; }

bool code_has_position(int32_t code) {
  switch (code) {
    case 6:
    case 7:
    case 8:
    case 9:
    case 11:
    case 12:
    case 13:
    case 15:
    case 16:
    case 17:
    case 18:
    case 19:
    case 20:
    case 21:
    case 22:
      return true;
    default:
      return false;
  }
}

bool is_reading_code(int32_t code) {
  return code > 0 && code != 101 && code < 1000 && !is_finishing_code(code);
}

std::string error_message(int32_t code, int32_t position, const ErrorFacts& facts) {
  return "error " + std::to_string(code) + ": " + words(code, position, facts);
}

std::string Diagnostic::text() const {
  std::string where;
  if (file) {
    where = *file;
    if (line) where += ":" + std::to_string(*line);
    where += ": ";
  }
  return where + message;
}

}  // namespace tools
