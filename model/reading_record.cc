#include "model/reading_record.h"

namespace model {

const char* warning_name(WarningId id) {
  switch (id) {
    case WarningId::kUnknownRow:
      return "unknown-row";
    case WarningId::kGradientOrder:
      return "gradient-order";
    case WarningId::kSignComma:
      return "sign-comma";
    case WarningId::kUtf8:
      return "utf8";
    case WarningId::kLowBits:
      return "low-bits";
    case WarningId::kStationTime:
      return "station-time";
    case WarningId::kNoTrain:
      return "no-train";
    case WarningId::kSpeedRounded:
      return "speed-rounded";
    case WarningId::kCurveOverlap:
      return "curve-overlap";
    case WarningId::kStopOverRouteItem:
      return "stop-over-route-item";
    case WarningId::kStopOverTrainItem:
      return "stop-over-train-item";
  }
  return "unknown";
}

}  // namespace model
