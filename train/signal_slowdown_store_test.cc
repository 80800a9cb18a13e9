#include "train/signal_slowdown_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "model/cell_values.h"
#include "model/compile_errors.h"
#include "platform/runtime_failure.h"

namespace train {
namespace {

// A plain track of cells 0 .. n.
model::Scenario track_of(int32_t n) {
  model::Scenario s;
  s.start_track(n);
  s.total_length = 50 * n;
  return s;
}

bool same_cell(const model::TrackCell& a, const model::TrackCell& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// The cells in which two tracks differ.
std::vector<int> changed_cells(const model::Scenario& before, const model::Scenario& after) {
  std::vector<int> cells;
  for (size_t i = 0; i < before.track.size(); ++i) {
    if (!same_cell(before.track[i], after.track[i])) cells.push_back(static_cast<int>(i));
  }
  return cells;
}

TEST(MemoSegnaleTest, PacksTheRowIntoItsCellAndMarksTheApproach) {
  model::Scenario s = track_of(2140);
  model::Scenario before = s;
  // "segnale,   26350,   1, 3, 4,  0, 0,    0,  0,0,0, 0"
  ASSERT_TRUE(memo_segnale(s, {26350, 1, 3, 4, 0, 0, 0, 0, 0, 0, 0}));
  const model::TrackCell& c = s.track[528];
  EXPECT_EQ(c.kind, model::kSignal);
  EXPECT_EQ(c.value1, 30);
  EXPECT_EQ(c.value2, 40);
  EXPECT_EQ(c.value3, 0);
  EXPECT_EQ(c.value4, 3);
  EXPECT_EQ(c.signal_time, 0);
  EXPECT_EQ(s.track[526].approach_mark, 31);
  EXPECT_EQ(s.track[524].approach_mark, 32);
  EXPECT_EQ(s.track[522].approach_mark, 33);
  EXPECT_EQ(s.track[520].approach_mark, 34);
  EXPECT_EQ(changed_cells(before, s), (std::vector<int>{520, 522, 524, 526, 528}));
  EXPECT_EQ(s.error_code, 0);
}

TEST(MemoSegnaleTest, PacksEveryCodeByTensAndKeepsTheLowBits) {
  model::Scenario s = track_of(100);
  // sx 2, dx 1, rapp 3: value4 = 37 and approach marks 71 .. 74.
  ASSERT_TRUE(memo_segnale(s, {2000, 2, 5, 4, 3, 3, 1, 9, 8, 7, 0}));
  const model::TrackCell& c = s.track[41];
  EXPECT_EQ(c.value1, 59);
  EXPECT_EQ(c.value2, 48);
  EXPECT_EQ(c.value3, 37);
  EXPECT_EQ(c.value4, 37);
  EXPECT_EQ(s.track[39].approach_mark, 71);
  EXPECT_EQ(s.track[33].approach_mark, 74);

  // Values past 16 bits and marks past 8 bits wrap.
  ASSERT_TRUE(memo_segnale(s, {4000, 10, 4000, 0, 0, 0, 0, 5, 0, 0, 0}));
  EXPECT_EQ(s.track[81].value1, static_cast<int16_t>(40005 - 65536));
  EXPECT_EQ(s.track[79].approach_mark, (30 * 10 + 1) % 256);
}

TEST(MemoSegnaleTest, TheDecoderGivesBackTheRowsCodes) {
  const SignalRow rows[] = {
      {2000, 2, 5, 4, 3, 3, 1, 9, 8, 7, 0},
      {3000, 1, 3, 4, 0, 0, 0, 0, 0, 0, 0},  // a built-in signal
      {4000, 0, 0, 0, 0, 99, 2, 1, 2, 3, 0},
      {5000, 3, 100, 250, 7, 12, 0, 9, 0, 9, 120},
  };
  model::Scenario s = track_of(200);
  for (const SignalRow& row : rows) {
    SCOPED_TRACE(row.posizione);
    ASSERT_TRUE(memo_segnale(s, row));
    const model::TrackCell& c = s.track[static_cast<size_t>(row.posizione / 50 + 1)];
    const model::SignalCodes codes = model::signal_codes_of(c.value1, c.value2, c.value3, c.value4);
    EXPECT_EQ(codes.sx, row.sx);
    EXPECT_EQ(codes.s1, row.s1);
    EXPECT_EQ(codes.s2, row.s2);
    EXPECT_EQ(codes.s3, row.s3);
    EXPECT_EQ(codes.rapp, row.rapp);
    EXPECT_EQ(codes.dx, row.dx);
    EXPECT_EQ(codes.d1, row.d1);
    EXPECT_EQ(codes.d2, row.d2);
    EXPECT_EQ(codes.d3, row.d3);
  }
}

TEST(MemoSegnaleTest, KeepsTheSignalTimeOnlyForSxTwo) {
  struct Case {
    int32_t sx, tempo;
    uint8_t expected;
  };
  const std::vector<Case> cases = {
      {2, 50, 101}, {2, 1, 101},  {2, 100, 101}, {2, 101, 101}, {2, 120, 120},
      {2, 0, 0},    {2, -5, 251}, {2, 300, 44},  {1, 120, 0},   {1, 50, 0},
  };
  for (const Case& c : cases) {
    model::Scenario s = track_of(100);
    ASSERT_TRUE(memo_segnale(s, {1000, c.sx, 3, 0, 0, 0, 0, 0, 0, 0, c.tempo}));
    EXPECT_EQ(s.track[21].signal_time, c.expected) << "sx " << c.sx << " tempo " << c.tempo;
  }
}

TEST(MemoSegnaleTest, RefusesATakenCellAndAcceptsAMountainMarker) {
  for (uint8_t kind : {model::kSignal, model::kStationStop, model::kSlowdownStart,
                       model::kRouteSign, model::kSpeedMarkWithoutValue}) {
    model::Scenario s = track_of(100);
    s.track[21].kind = kind;
    model::Scenario before = s;
    EXPECT_FALSE(memo_segnale(s, {1000, 1, 3, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(s.error_code, model::kSignalCellTaken);
    EXPECT_EQ(changed_cells(before, s), std::vector<int>{}) << "kind " << int{kind};
  }
  model::Scenario s = track_of(100);
  s.track[21].kind = model::kMountainMarker;
  s.track[21].mountain_type = 2;
  EXPECT_TRUE(memo_segnale(s, {1000, 1, 3, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(s.track[21].kind, model::kSignal);
  EXPECT_EQ(s.track[21].mountain_type, 2);
  EXPECT_EQ(s.error_code, 0);
}

TEST(MemoSegnaleTest, RoundsHalvesToEvenAndDropsMarksBeforeTheOrigin) {
  struct Case {
    int32_t posizione;
    int signal_cell;
    std::vector<int> marked;  // cells that get an approach mark
  };
  const std::vector<Case> cases = {
      {25, 2, {0}},         // 1.5 -> 2
      {75, 2, {0}},         // 2.5 -> 2
      {100, 3, {1}},        // marks at -1, -3, -5 dropped
      {300, 7, {5, 3, 1}},  // closer than 350 m: one mark dropped
      {350, 8, {6, 4, 2, 0}}, {0, 1, {}}, {-50, 0, {}}, {-75, 0, {}},  // -0.5 -> 0
  };
  for (const Case& c : cases) {
    model::Scenario s = track_of(100);
    model::Scenario before = s;
    ASSERT_TRUE(memo_segnale(s, {c.posizione, 1, 3, 0, 0, 0, 0, 0, 0, 0, 0})) << c.posizione;
    EXPECT_EQ(s.track[static_cast<size_t>(c.signal_cell)].kind, model::kSignal) << c.posizione;
    std::vector<int> expected = c.marked;
    expected.push_back(c.signal_cell);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(changed_cells(before, s), expected) << c.posizione;
  }
  // A signal cell before cell 0 is a reading failure.
  model::Scenario s = track_of(100);
  EXPECT_THROW((void)memo_segnale(s, {-100, 1, 3, 0, 0, 0, 0, 0, 0, 0, 0}),
               platform::RuntimeFailure);
}

TEST(MemoRallentamentoTest, LaysTheBuiltInSlowdownWithAndWithoutItsFourCells) {
  // "rallentamento,   89050,    30,  300, 1,  1,  0"
  model::Scenario s = track_of(2140);
  model::Scenario before = s;
  ASSERT_TRUE(memo_rallentamento(s, {89050, 30, 300, 1, 1, 0}));
  EXPECT_EQ(changed_cells(before, s), (std::vector<int>{1754, 1755, 1756, 1757, 1758, 1782, 1788}));
  EXPECT_EQ(s.track[1758].kind, model::kSlowdownWarning);
  EXPECT_EQ(s.track[1782].kind, model::kSlowdownStart);
  EXPECT_EQ(s.track[1788].kind, model::kSlowdownEnd);
  for (int c : {1758, 1782, 1788}) {
    EXPECT_EQ(s.track[c].value1, 30) << c;
    EXPECT_EQ(s.track[c].value2, 0) << c;
  }
  EXPECT_EQ(s.track[1758].value3, 0);
  EXPECT_EQ(s.track[1782].value3, 1);
  EXPECT_EQ(s.track[1788].value3, 1);
  for (int n = 0; n < 4; ++n) {
    const model::TrackCell& c = s.track[static_cast<size_t>(1757 - n)];
    EXPECT_EQ(c.kind, model::kBeforeWarning);
    EXPECT_EQ(c.value1, n + 1);
    EXPECT_EQ(c.value2, 0);
  }

  model::Scenario without = track_of(2140);
  ASSERT_TRUE(memo_rallentamento(without, {89050, 30, 300, 1, 0, 0}));
  EXPECT_EQ(changed_cells(before, without), (std::vector<int>{1758, 1782, 1788}));
}

TEST(MemoRallentamentoTest, CarriesDvIntoEveryCellWhenItIsNotZero) {
  model::Scenario s = track_of(2140);
  ASSERT_TRUE(memo_rallentamento(s, {89050, 30, 300, 7, 1, 9}));
  for (int c : {1758, 1782, 1788}) EXPECT_EQ(s.track[c].value2, 9) << c;
  EXPECT_EQ(s.track[1782].value3, 7);
  for (int n = 0; n < 4; ++n) EXPECT_EQ(s.track[static_cast<size_t>(1757 - n)].value2, n + 1);
}

TEST(MemoRallentamentoTest, WarnsOnlyBeyond1500Metres) {
  struct Case {
    int32_t x, l;
    std::vector<int> cells;  // every cell written
    int warning;             // -1: none
  };
  const std::vector<Case> cases = {
      {1500, 100, {31, 33}, -1},  // f_ta 1 counts as 0
      {1550, 100, {4, 5, 6, 7, 8, 32, 34}, 8},
      {1000, 0, {21}, -1},  // length 0: one start cell
  };
  for (const Case& c : cases) {
    model::Scenario s = track_of(100);
    model::Scenario before = s;
    ASSERT_TRUE(memo_rallentamento(s, {c.x, 60, c.l, 1, 1, 0})) << c.x;
    EXPECT_EQ(changed_cells(before, s), c.cells) << c.x;
    if (c.warning >= 0) {
      EXPECT_EQ(s.track[static_cast<size_t>(c.warning)].kind, model::kSlowdownWarning);
    }
  }
  model::Scenario s = track_of(100);
  ASSERT_TRUE(memo_rallentamento(s, {1000, 60, 0, 1, 0, 0}));
  EXPECT_EQ(s.track[21].kind, model::kSlowdownStart);
  EXPECT_EQ(s.track[21].value1, 60);
  EXPECT_EQ(s.track[21].value3, 1);
}

TEST(MemoRallentamentoTest, StopsAtTheFirstTakenCell) {
  // Start 5000 m, length 300: warning 77, start 101, end 107, before-warning 76 .. 73.
  struct Case {
    const char* name;
    int taken;
    int32_t code;
    std::vector<int> written;
  };
  const std::vector<Case> cases = {
      {"warning", 77, model::kWarningCellTaken, {}},
      {"start", 101, model::kSlowdownStartTaken, {}},
      {"end", 107, model::kSlowdownEndTaken, {}},
      {"before the warning", 74, model::kBeforeWarningTaken, {77, 101, 107}},
  };
  for (const Case& c : cases) {
    model::Scenario s = track_of(200);
    s.track[static_cast<size_t>(c.taken)].kind = model::kSignal;
    model::Scenario before = s;
    EXPECT_FALSE(memo_rallentamento(s, {5000, 60, 300, 1, 1, 0})) << c.name;
    EXPECT_EQ(s.error_code, c.code) << c.name;
    EXPECT_EQ(changed_cells(before, s), c.written) << c.name;
  }
  // Mountain markers are free.
  model::Scenario s = track_of(200);
  for (int c : {73, 74, 75, 76, 77, 101, 107}) s.track[c].kind = model::kMountainMarker;
  EXPECT_TRUE(memo_rallentamento(s, {5000, 60, 300, 1, 1, 0}));
  EXPECT_EQ(s.track[74].kind, model::kBeforeWarning);
  EXPECT_EQ(s.error_code, 0);
}

TEST(MemoRallentamentoTest, FailsAtACellBeforeTheOriginOnlyWhenItIsReached) {
  // The start cell is tested before the end cell is looked at.
  model::Scenario s = track_of(100);
  s.track[21].kind = model::kSignal;
  EXPECT_FALSE(memo_rallentamento(s, {1000, 60, -2000, 1, 0, 0}));
  EXPECT_EQ(s.error_code, model::kSlowdownStartTaken);

  model::Scenario free_start = track_of(100);
  EXPECT_THROW((void)memo_rallentamento(free_start, {1000, 60, -2000, 1, 0, 0}),
               platform::RuntimeFailure);
  model::Scenario before_origin = track_of(100);
  EXPECT_THROW((void)memo_rallentamento(before_origin, {-200, 60, 100, 1, 0, 0}),
               platform::RuntimeFailure);
}

}  // namespace
}  // namespace train
