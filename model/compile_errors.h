// The compile errors: every number the compile pass can leave in
// Scenario::error_code, with the stage that sets it, whether it stores a
// position in Scenario::error_position, and what it means.
//
// The readers, the stores, the finishing pass and the identity stamps set
// these names, never bare numbers; the authoring tool, the fuzz targets and
// the tests read the table to tell what a number means. The numbers are
// fixed: 14 and 23 are unused.
//
// A text quotes the limits from the constants below, the ones the readers
// test, so that a message cannot drift from the check it explains.
#ifndef SCENARIO_MODEL_COMPILE_ERRORS_H_
#define SCENARIO_MODEL_COMPILE_ERRORS_H_

#include <cstdint>
#include <span>
#include <string>

namespace model {

enum CompileError : int32_t {
  kNoError = 0,
  kRouteTooLong = 1,              // route length above kMaxRouteLength
  kProgressiveNotWhole = 2,       // a progressive's start or end not a multiple of 50
  kRepetitionFirstNotWhole = 3,   // first signal repetition value not a multiple of 50
  kRepetitionSecondNotWhole = 4,  // second one
  kRepetitionNoCount = 5,         // the repetition keyword holds neither "4" nor "9"
  kSignCellTaken = 6,             // route sign
  kSpeedMarkCellTaken = 7,        // "abbattimento" mark
  kStationNotWhole = 8,           // station position not a multiple of 50
  kStationLengthNotWhole = 9,     // station length not a multiple of 100
  kTooManyStations = 10,          // the stations reach the route signs' slots
  kNoRoomSignalMark = 11,         // finishing: mark before a signal near a warning
  kNoRoomApproachMark = 12,       // finishing: marks before a slowdown start
  kNoRoomSlowMark = 13,           // finishing: marks inside or after a slow slowdown
  kBeyondTrack = 15,              // a position past the end of the track
  kSignalCellTaken = 16,          // memo_segnale
  kWarningCellTaken = 17,         // memo_rallentamento: the warning cell
  kSlowdownStartTaken = 18,       // memo_rallentamento: the start cell
  kSlowdownEndTaken = 19,         // memo_rallentamento: the end cell
  kBeforeWarningTaken = 20,       // memo_rallentamento: the four cells before the warning
  kIndicatorCellTaken = 21,       // memo_indicatori_v_max
  kStationsTooClose = 22,         // a station area too near the previous one
  kStopCellTooEarly = 24,         // a stop cell not beyond cell 1
  kReadingFailure = 25,           // a run-time failure while reading (memorizza_dati's trap)
  kNoRouteDescription = 101,      // the route description does not exist
  kNoGeneralSection = 102,        // no "[generale]", or the file ends right after it
  kBadCurve = 103,                // a curve without its class, or too long a plan
  kIdentityValue1Taken = 1250,    // identity stamping: cell 1 value1 or slot 85 word 1
  kIdentityValue2Taken = 1251,    // identity stamping: cell 1 value2 or slot 85 time
};

// Limits of the readers, quoted by the texts.
inline constexpr int32_t kMaxRouteLength = 1000000;  // metres
inline constexpr int32_t kSpareTrack = 7000;         // track past the line's end, metres
inline constexpr int32_t kMaxPlanPoints = 1000000;   // the track plan's last point
inline constexpr int64_t kRowRoom = 100;             // a row needs this much track past it
inline constexpr int64_t kStationRoom = 800;         // ... a station this much
inline constexpr int64_t kStationSpacing = 350;      // between two station areas, metres
inline constexpr int32_t kSharedSlots = 80;          // stations and route signs together
inline constexpr int32_t kWarningDistance = 1200;    // a slowdown's warning before its start
inline constexpr int16_t kSlowSpeedLimit = 110;      // slowdowns below it get marks inside
inline constexpr int64_t kSignalReachCells = 20;     // signals this near a warning get a mark

// Who sets a number.
enum class ErrorStage : uint8_t {
  kRoute,      // the route half of the reading
  kTrain,      // the train half (or a store it calls)
  kReading,    // either half
  kFinishing,  // the finishing pass: the position is a cell number x 50
  kIdentity,   // the identity stamps: the program ends (errore)
};

struct ErrorInfo {
  int32_t code;
  ErrorStage stage;
  bool has_position;  // the number stores error_position
  std::string text;   // what went wrong, lower case, without the position
};

// Every number, in increasing order.
std::span<const ErrorInfo> error_table();

// The entry of `code`; nullptr for 0 and for numbers the compiler never sets.
const ErrorInfo* find_error(int32_t code);

}  // namespace model

#endif  // SCENARIO_MODEL_COMPILE_ERRORS_H_
