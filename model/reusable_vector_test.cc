#include "model/reusable_vector.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "model/scenario.h"

namespace model {
namespace {

using Values = ReusableVector<int>;

std::vector<int> logical(const Values& v) { return v; }

TEST(ReusableVectorTest, ARestartGivesZeroElements) {
  Values v;
  v.restart(5);
  EXPECT_EQ(logical(v), std::vector<int>(5, 0));
  v[1] = 7;
  v.at(3) = 9;
  EXPECT_EQ(logical(v), (std::vector<int>{0, 7, 0, 9, 0}));
  v.restart(3);
  EXPECT_EQ(logical(v), std::vector<int>(3, 0));
  v.restart(5);  // the elements past the shorter start were cleared too
  EXPECT_EQ(logical(v), std::vector<int>(5, 0));
  v.restart(8);  // grows its storage
  EXPECT_EQ(logical(v), std::vector<int>(8, 0));
}

TEST(ReusableVectorTest, TheMarkFollowsEveryNonConstAccess) {
  Values v;
  v.restart(10);
  EXPECT_EQ(v.high_water_mark(), 0u);
  const Values& read_only = v;
  EXPECT_EQ(read_only[9] + read_only.at(8) + *read_only.begin() + read_only.back(), 0);
  EXPECT_EQ(v.high_water_mark(), 0u);  // const access marks nothing
  v[3] = 1;
  EXPECT_EQ(v.high_water_mark(), 4u);
  v[1] = 1;
  EXPECT_EQ(v.high_water_mark(), 4u);
  v.back() = 2;
  EXPECT_EQ(v.high_water_mark(), 10u);
  v.restart(10);
  EXPECT_EQ(v.high_water_mark(), 0u);
  for (int& e : v) e = 5;  // non-const iteration may write them all
  EXPECT_EQ(v.high_water_mark(), 10u);
  v.restart(10);
  EXPECT_EQ(logical(v), std::vector<int>(10, 0));
}

TEST(ReusableVectorTest, ResizeAssignAndClearAsAVector) {
  Values v;
  v.assign(4, 3);
  EXPECT_EQ(logical(v), std::vector<int>(4, 3));
  v.resize(2);
  EXPECT_EQ(logical(v), (std::vector<int>{3, 3}));
  v.resize(6);  // the elements beyond the old size come back as zeros
  EXPECT_EQ(logical(v), (std::vector<int>{3, 3, 0, 0, 0, 0}));
  v.clear();
  EXPECT_TRUE(v.empty());
  v.resize(3);
  EXPECT_EQ(logical(v), std::vector<int>(3, 0));
  EXPECT_THROW(v.at(3), std::out_of_range);
}

TEST(ReusableVectorTest, CopiesAndConversionsCarryTheLogicalElements) {
  Values v{1, 2, 3, 4};
  v.restart(2);
  v[0] = 8;
  Values copy = v;
  EXPECT_EQ(copy.size(), 2u);
  EXPECT_EQ(logical(copy), (std::vector<int>{8, 0}));
  copy.resize(4);
  EXPECT_EQ(logical(copy), (std::vector<int>{8, 0, 0, 0}));
  Values moved = std::move(copy);
  EXPECT_EQ(logical(moved), (std::vector<int>{8, 0, 0, 0}));
  v = std::vector<int>{5, 6};
  EXPECT_EQ(logical(v), (std::vector<int>{5, 6}));
  v.restart(2);
  EXPECT_EQ(logical(v), (std::vector<int>{0, 0}));
}

TEST(ReusableVectorTest, ScenarioCellsRaiseTheTracksMark) {
  Scenario s;
  s.track.restart(21);
  s.track_allocated = true;
  s.cell(12).kind = kSignal;
  EXPECT_EQ(s.track.high_water_mark(), 13u);
  s.track.restart(21);
  EXPECT_EQ(s.track[12].kind, kEmpty);
  EXPECT_EQ(s.track.high_water_mark(), 13u);  // a non-const read marks too
}

}  // namespace
}  // namespace model
