#include "finish/finishing_pass.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "model/compile_errors.h"
#include "platform/runtime_failure.h"

namespace finish {
namespace {

using model::TrackCell;

// Content placed on the track before the pass.
struct Placed {
  int cell;
  uint8_t kind;
  int16_t value1 = 0;
};

struct Case {
  std::string name;
  std::vector<Placed> placed;
  // Cells the pass changes, with the value they end with; each ends as kind
  // 12. Every other cell, and every other field of these, stays as it was.
  std::map<int, int16_t> changed;
  int32_t error_code = 0;
  int32_t error_position = -1;
  int32_t cell_count = 200;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

// Shorthands for the kinds the cases place.
constexpr uint8_t kSig = model::kSignal;
constexpr uint8_t kEnd = model::kSlowdownEnd;
constexpr uint8_t kStart = model::kSlowdownStart;
constexpr uint8_t kWarn = model::kSlowdownWarning;
constexpr uint8_t kMark = model::kSpeedMark;
constexpr uint8_t kSign = model::kRouteSign;

// A track whose every cell carries some ordinary content besides its kind,
// so that a pass that touches a field it should not shows up.
model::Scenario track_with(int32_t cell_count, const std::vector<Placed>& placed) {
  model::Scenario s;
  s.start_track(cell_count);
  for (size_t i = 0; i < s.track.size(); ++i) {
    TrackCell& c = s.track[i];
    c.value2 = static_cast<int16_t>(i % 5);
    c.value3 = 7;
    c.value4 = -3;
    c.signal_time = static_cast<uint8_t>(i % 3);
    c.approach_mark = static_cast<uint8_t>(i % 11 == 0 ? 83 : 0);
    c.mountain_type = static_cast<uint8_t>(i % 4);
    c.speed_code = 19;
    c.gradient_code = static_cast<uint8_t>(100 + i % 9);
    c.adhesion_code = 100;
  }
  for (const Placed& p : placed) {
    s.track.at(static_cast<size_t>(p.cell)).kind = p.kind;
    s.track.at(static_cast<size_t>(p.cell)).value1 = p.value1;
  }
  s.error_position = -1;
  return s;
}

void expect_cells_equal(const TrackCell& a, const TrackCell& b, size_t i) {
  EXPECT_EQ(a.kind, b.kind) << "cell " << i;
  EXPECT_EQ(a.gap, b.gap) << "cell " << i;
  EXPECT_EQ(a.value1, b.value1) << "cell " << i;
  EXPECT_EQ(a.value2, b.value2) << "cell " << i;
  EXPECT_EQ(a.value3, b.value3) << "cell " << i;
  EXPECT_EQ(a.value4, b.value4) << "cell " << i;
  EXPECT_EQ(a.signal_time, b.signal_time) << "cell " << i;
  EXPECT_EQ(a.approach_mark, b.approach_mark) << "cell " << i;
  EXPECT_EQ(a.mountain_type, b.mountain_type) << "cell " << i;
  EXPECT_EQ(a.speed_code, b.speed_code) << "cell " << i;
  EXPECT_EQ(a.gradient_code, b.gradient_code) << "cell " << i;
  EXPECT_EQ(a.adhesion_code, b.adhesion_code) << "cell " << i;
}

// The slowdown of the examples: cells 100 to 130, its marks before the start
// at 95, 89 and 82 and inside it at 108, 116 and 124.
const std::vector<Placed> kSlow100To130 = {{100, kStart, 30}, {130, kEnd, 30}};
const std::map<int, int16_t> kBefore100 = {{95, 180}, {89, 180}, {82, 180}};
std::map<int, int16_t> with(std::map<int, int16_t> a, const std::map<int, int16_t>& b) {
  a.insert(b.begin(), b.end());
  return a;
}
std::vector<Placed> with(std::vector<Placed> a, const std::vector<Placed>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
const std::map<int, int16_t> kSlow100To130Marks =
    with(kBefore100, {{108, 180}, {116, 180}, {124, 180}});

std::vector<Case> cases() {
  return {
      // A: signals before a warning.
      {"WarningMarksCellBeforeItsSignal", {{30, kWarn, 60}, {25, kSig}}, {{24, 180}}},
      {"MountainMarkerCellIsFree",
       {{30, kWarn, 60}, {25, kSig}, {24, model::kMountainMarker}},
       {{24, 180}}},
      {"ExistingMarkBeforeSignalIsPassedForAFreeCell",
       {{30, kWarn, 60}, {25, kSig}, {24, kMark, 200}},
       {{23, 180}}},
      {"ExistingMarkIsLoweredTo180WhenNoCellIsFree",
       {{30, kWarn, 60}, {25, kSig}, {24, kMark, 200}, {23, kSign}},
       {{24, 180}}},
      {"ExistingLowerMarkKeepsItsValue",
       {{30, kWarn, 60}, {25, kSig}, {24, kMark, 150}, {23, kSign}},
       {}},
      {"ExistingNegativeMarkKeepsItsValue",
       {{30, kWarn, 60}, {25, kSig}, {24, kMark, -5}, {23, kSign}},
       {}},
      {"SecondCellsMarkIsLoweredWhenFirstIsTaken",
       {{30, kWarn, 60}, {25, kSig}, {24, kSign}, {23, kMark, 250}},
       {{23, 180}}},
      {"NoRoomBeforeSignalIsError11",
       {{30, kWarn, 60}, {25, kSig}, {24, model::kStationStop}, {23, model::kSpeedIndicator}},
       {},
       model::kNoRoomSignalMark,
       1250},
      {"EverySignalWithin20CellsIsTreated",
       {{40, kWarn, 60}, {35, kSig}, {20, kSig}},
       {{34, 180}, {19, 180}}},
      {"SignalBeyond20CellsIsNotLookedAt", {{41, kWarn, 60}, {20, kSig}}, {}},
      {"SignalAtCell3IsLookedAt", {{4, kWarn, 60}, {3, kSig}}, {{2, 180}}},
      {"SignalAtCell2IsNotLookedAt", {{4, kWarn, 60}, {2, kSig}}, {}},
      // B: three groups before a start (fast slowdowns, so only B runs).
      {"StartAtCell7GetsNoMarks", {{7, kStart, 120}}, {}},
      {"StartAtCell8GetsGroup1", {{8, kStart, 120}}, {{3, 180}}},
      {"Group1FallsBackToCell2", {{8, kStart, 120}, {3, kSig}}, {{2, 180}}},
      {"Group1FallsBackToCell1", {{8, kStart, 120}, {3, kSig}, {2, kMark, 90}}, {{1, 180}}},
      {"Group1WithoutRoomIsError12",
       {{8, kStart, 120}, {3, kSig}, {2, kSig}, {1, kSign}},
       {},
       model::kNoRoomApproachMark,
       400},
      {"StartAtCell13GetsGroup1Only", {{13, kStart, 120}}, {{8, 180}}},
      {"StartAtCell14GetsGroups1And2", {{14, kStart, 120}}, {{9, 180}, {3, 180}}},
      {"StartAtCell20GetsGroups1And2", {{20, kStart, 120}}, {{15, 180}, {9, 180}}},
      {"StartAtCell21GetsAllGroups", {{21, kStart, 120}}, {{16, 180}, {10, 180}, {3, 180}}},
      {"EachGroupTakesItsFirstFreeCandidate",
       {{30, kStart, 120}, {25, kMark, 90}, {19, kSig}, {18, kSig}, {12, kSign}},
       {{24, 180}, {17, 180}, {11, 180}}},
      {"MarksOfOneStartAreTakenForTheNext",
       {{30, kStart, 120}, {31, kStart, 120}, {26, kSign}},
       {{25, 180}, {19, 180}, {12, 180}, {24, 180}, {20, 180}, {13, 180}}},
      // C1: every 8 cells inside a slow slowdown.
      {"SlowSlowdownGetsMarksEvery8Cells", kSlow100To130, kSlow100To130Marks},
      {"Speed109IsSlow",
       {{100, kStart, 109}, {130, kEnd, 109}},
       with(kBefore100, {{108, 180}, {116, 180}, {124, 180}})},
      {"Speed110GetsOnlyTheMarksBeforeTheStart",
       {{100, kStart, 110}, {130, kEnd, 110}, {135, kSig}},
       kBefore100},
      {"TakenCellShiftsTheMarkBack", with(kSlow100To130, {{108, kSig}}),
       with(kBefore100, {{107, 180}, {115, 180}, {123, 180}})},
      {"TwoTakenCellsShiftTheMarkForward", with(kSlow100To130, {{108, kSig}, {107, kMark, 60}}),
       with(kBefore100, {{109, 180}, {117, 180}, {125, 180}})},
      {"NoRoomInsideIsError13AndEndsTheMarks",
       with(kSlow100To130, {{107, kSig}, {108, kSig}, {109, kSign}}), kBefore100,
       model::kNoRoomSlowMark, 5400},
      {"EndAtTheEighthCellShiftsTheMarkBack",
       {{100, kStart, 30}, {108, kEnd, 30}},
       with(kBefore100, {{107, 180}})},
      // C2: the first signal within 12 cells after a slow slowdown.
      {"SignalAfterTheEndGetsAMark", with(kSlow100To130, {{135, kSig}}),
       with(kSlow100To130Marks, {{134, 180}})},
      {"Signal12CellsAfterTheEndGetsAMark", with(kSlow100To130, {{142, kSig}}),
       with(kSlow100To130Marks, {{141, 180}})},
      {"Signal13CellsAfterTheEndIsNotLookedAt", with(kSlow100To130, {{143, kSig}}),
       kSlow100To130Marks},
      {"OnlyTheFirstSignalAfterTheEndGetsAMark", with(kSlow100To130, {{133, kSig}, {135, kSig}}),
       with(kSlow100To130Marks, {{132, 180}})},
      {"SignalRightAfterTheEndMarksTheCellBeforeTheEnd", with(kSlow100To130, {{131, kSig}}),
       with(kSlow100To130Marks, {{129, 180}})},
      {"TakenCellBeforeSignalShiftsTheMarkBack", with(kSlow100To130, {{135, kSig}, {134, kSign}}),
       with(kSlow100To130Marks, {{133, 180}})},
      {"NoRoomBeforeSignalIsError13AtTheEnd",
       with(kSlow100To130, {{135, kSig}, {134, kSign}, {133, kMark, 90}}), kSlow100To130Marks,
       model::kNoRoomSlowMark, 6500},
      // A fast slowdown after a slow one: no search from the slow one's end.
      {"FastSlowdownSearchesNoSignal",
       {{40, kStart, 30}, {60, kEnd, 30}, {65, kSig}, {100, kStart, 120}, {130, kEnd, 120}},
       with(kBefore100, {{35, 180}, {29, 180}, {22, 180}, {48, 180}, {56, 180}, {64, 180}})},
      // The end of the track.
      {"StartWithoutEndStopsAtTheLastCell",
       {{185, kStart, 30}},
       {{180, 180}, {174, 180}, {167, 180}, {193, 180}}},
      {"SearchesStopAtTheLastCell",
       {{185, kStart, 30}, {195, kEnd, 30}},
       {{180, 180}, {174, 180}, {167, 180}, {193, 180}}},
      {"CellBeyondTheLastIsNotFree",
       {{192, kStart, 30}, {199, kSign}, {200, kSign}},
       {{187, 180}, {181, 180}, {174, 180}},
       model::kNoRoomSlowMark,
       10000},
      {"WarningAtCellCountMinus2IsTreated", {{198, kWarn, 60}, {195, kSig}}, {{194, 180}}},
      {"WarningAtCellCountMinus1IsNotLookedAt", {{199, kWarn, 60}, {195, kSig}}, {}},
      {"StartAtCellCountMinus1IsNotLookedAt", {{199, kStart, 30}}, {}},
      // Errors never stop the pass; the later one stays.
      {"LaterErrorOverwritesEarlier",
       {{8, kStart, 120},
        {3, kSig},
        {2, kSig},
        {1, kSign},
        {30, kWarn, 60},
        {25, kSig},
        {24, kSign},
        {23, kSign}},
       {},
       model::kNoRoomSignalMark,
       1250},
  };
}

class FinishingPassTest : public testing::TestWithParam<Case> {};

TEST_P(FinishingPassTest, MarksOnlyWhatItShould) {
  const Case& c = GetParam();
  model::Scenario s = track_with(c.cell_count, c.placed);
  const std::vector<TrackCell> before = s.track;

  finishing_pass(s);

  EXPECT_EQ(s.error_code, c.error_code);
  EXPECT_EQ(s.error_position, c.error_position);
  ASSERT_EQ(s.track.size(), before.size());
  for (size_t i = 0; i < before.size(); ++i) {
    TrackCell expected = before[i];
    if (auto it = c.changed.find(static_cast<int>(i)); it != c.changed.end()) {
      expected.kind = model::kSpeedMark;
      expected.value1 = it->second;
    }
    expect_cells_equal(s.track[i], expected, i);
  }
}

INSTANTIATE_TEST_SUITE_P(Tracks, FinishingPassTest, testing::ValuesIn(cases()),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

TEST(FinishingPassTest, MissingTrackIsARuntimeFailure) {
  model::Scenario s;
  s.cell_count = 140;  // as if sized, but never allocated
  try {
    finishing_pass(s);
    FAIL() << "no failure";
  } catch (const platform::RuntimeFailure& f) {
    EXPECT_EQ(f.number(), platform::kSubscriptOutOfRange);
  }
}

TEST(FinishingPassTest, MinimoIsTheLesserOfTwo) {
  EXPECT_EQ(minimo(180, 200), 180);
  EXPECT_EQ(minimo(200, 180), 180);
  EXPECT_EQ(minimo(180, 150), 150);
  EXPECT_EQ(minimo(180, -200), -200);
  EXPECT_EQ(minimo(-32768, 32767), -32768);
}

}  // namespace
}  // namespace finish
