#include "model/compile_errors.h"

#include <algorithm>
#include <vector>

namespace model {

namespace {

using std::to_string;

std::vector<ErrorInfo> make_table() {
  const ErrorStage route = ErrorStage::kRoute, train = ErrorStage::kTrain,
                   reading = ErrorStage::kReading, finishing = ErrorStage::kFinishing,
                   identity = ErrorStage::kIdentity;
  return {
      {kRouteTooLong, route, false,
       "route length is above the limit of " + to_string(kMaxRouteLength) + " m"},
      {kProgressiveNotWhole, train, false,
       "a kilometric progressive row (\"progressiva ... uno/due/tre\") has a start or value "
       "that is not a multiple of 50 m"},
      {kRepetitionFirstNotWhole, route, false,
       "the first signal repetition value (\"ripetizione segnali\" row) is not a multiple of "
       "50"},
      {kRepetitionSecondNotWhole, route, false,
       "the second signal repetition value (\"ripetizione segnali\" row) is not a multiple of "
       "50"},
      {kRepetitionNoCount, route, false,
       "the signal repetition keyword (\"ripetizione segnali\") holds neither 4 nor 9, the "
       "number of codes"},
      {kSignCellTaken, route, true, "route sign on a cell already taken"},
      {kSpeedMarkCellTaken, train, true, "\"abbattimento\" mark on a cell already taken"},
      {kStationNotWhole, train, true, "station position is not a multiple of 50 m"},
      {kStationLengthNotWhole, train, true, "station length is not a multiple of 100 m"},
      {kTooManyStations, train, false,
       "too many stations: the station slots have reached the route signs' slots (stations "
       "and route signs share " +
           to_string(kSharedSlots) + " slots, and the last station needs one to spare)"},
      {kNoRoomSignalMark, finishing, true,
       "no free cell for the mark before a signal that stands within " +
           to_string(kSignalReachCells) + " cells of a slowdown warning"},
      {kNoRoomApproachMark, finishing, true,
       "no free cell for a mark 250-350, 550-650 or 900-1000 m before a slowdown start"},
      {kNoRoomSlowMark, finishing, true,
       "no free cell for a mark inside a slowdown slower than " + to_string(kSlowSpeedLimit) +
           " km/h, or just before the first signal after it"},
      {kBeyondTrack, reading, true,
       "position beyond the end of the track: the track runs " + to_string(kSpareTrack) +
           " m past the route length, and a row must lie at least " + to_string(kRowRoom) +
           " m before its end, a station " + to_string(kStationRoom) + " m"},
      {kSignalCellTaken, train, true, "signal on a cell already taken"},
      {kWarningCellTaken, train, true,
       "the warning cell of a slowdown (" + to_string(kWarningDistance) +
           " m before its start) is already taken"},
      {kSlowdownStartTaken, train, true, "slowdown start on a cell already taken"},
      {kSlowdownEndTaken, train, true, "slowdown end on a cell already taken"},
      {kBeforeWarningTaken, train, true,
       "one of the four cells before a slowdown's warning is already taken"},
      {kIndicatorCellTaken, route, true, "speed indicator on a cell already taken"},
      {kStationsTooClose, train, true,
       "station area starts less than " + to_string(kStationSpacing) +
           " m after the end of the previous station's area"},
      {kStopCellTooEarly, train, false,
       "a station's stop cell would not lie beyond cell 1: its area ends within the first "
       "100 m"},
      {kReadingFailure, reading, false,
       "the description could not be read here: a row ends early (the file ends inside it), a "
       "field is not a whole number, or a value does not fit its field"},
      {kNoRouteDescription, route, false, "no route description: the file is missing"},
      {kNoGeneralSection, route, false,
       "no field holds \"[generale]\", or the file ends right after it: the general section "
       "is missing"},
      {kBadCurve, route, false,
       "a curve row without a class digit 1 to 6 in its keyword, or a track plan longer than " +
           to_string(kMaxPlanPoints) + " points"},
      {kIdentityValue1Taken, identity, false,
       "identity error: cell 1 already holds a value 1 where the identity stamp goes: "
       "something stands on the first 50 m of track (a route sign, speed indicator, signal or "
       "slowdown at about 0 m, or an \"abbattimento\" mark at about 50 m)"},
      {kIdentityValue2Taken, identity, false,
       "identity error: cell 1 already holds a value 2 where the identity stamp goes: "
       "something stands on the first 50 m of track (a speed indicator, signal or slowdown at "
       "about 0 m)"},
  };
}

}  // namespace

std::span<const ErrorInfo> error_table() {
  static const std::vector<ErrorInfo> table = make_table();
  return table;
}

const ErrorInfo* find_error(int32_t code) {
  std::span<const ErrorInfo> table = error_table();
  auto it = std::lower_bound(table.begin(), table.end(), code,
                             [](const ErrorInfo& e, int32_t c) { return e.code < c; });
  return it != table.end() && it->code == code ? &*it : nullptr;
}

}  // namespace model
