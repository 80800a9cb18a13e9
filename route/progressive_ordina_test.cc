#include "route/progressive_ordina.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>

#include "platform/runtime_failure.h"

namespace route {
namespace {

struct Triple {
  int32_t position, value, flag;
  bool operator==(const Triple&) const = default;
};

struct Case {
  const char* name;
  Triple tre, due, uno;                 // as read
  Triple want_tre, want_due, want_uno;  // as written back
};

void PrintTo(const Triple& t, std::ostream* os) {
  *os << "(" << t.position << ", " << t.value << ", " << t.flag << ")";
}

void put(model::ItemRecord& item, const Triple& t) {
  item.area_start = t.position;
  item.area_end = t.value;
  item.item_position = t.flag;
}
Triple get(const model::ItemRecord& item) {
  return {item.area_start, item.area_end, item.item_position};
}

constexpr Triple kZero{0, 0, 0};

TEST(ProgressiveOrdinaTest, OrdersTheThreeRecords) {
  const Case cases[] = {
      {"all zero: nothing moves, no flag fires", kZero, kZero, kZero, kZero, kZero, kZero},
      {"largest to tre, smallest to uno",
       {20000, 2, 0},
       {10000, 1, 0},
       {30000, 3, 0},
       {30000, 3, 0},
       {20000, 2, 0},
       {10000, 1, 0}},
      {"already in order",
       {30000, 3, 0},
       {20000, 2, 0},
       {10000, 1, 0},
       {30000, 3, 0},
       {20000, 2, 0},
       {10000, 1, 0}},
      {"tre largest, due below uno",
       {30000, 3, 0},
       {10000, 1, 0},
       {20000, 2, 0},
       {30000, 3, 0},
       {20000, 2, 0},
       {10000, 1, 0}},
      {"due largest, tre above uno",
       {20000, 2, 0},
       {30000, 3, 0},
       {10000, 1, 0},
       {30000, 3, 0},
       {20000, 2, 0},
       {10000, 1, 0}},
      {"due largest, tre below uno",
       {10000, 1, 0},
       {30000, 3, 0},
       {20000, 2, 0},
       {30000, 3, 0},
       {20000, 2, 0},
       {10000, 1, 0}},
      {"tie below the largest: the lower pair swaps",
       {30000, 3, 0},
       {10000, 1, 0},
       {10000, 9, 0},
       {30000, 3, 0},
       {10000, 9, 0},
       {10000, 1, 0}},
      {"tie for the largest clears all three",
       {10000, 1, 0},
       {20000, 2, 0},
       {20000, 9, 0},
       kZero,
       kZero,
       kZero},
      {"positions summing to 0 go by values: only uno positive",
       kZero,
       {0, 0, 7},
       {0, 5000, 3},
       {0, 5000, 3},
       {0, 0, 7},
       kZero},
      {"by values: tre and uno positive, uno wins",
       {0, 100, 0},
       {0, 0, 2},
       {0, 5000, 0},
       {0, 5000, 0},
       {0, 0, 2},
       {0, 100, 0}},
      {"by values: only due positive",
       {0, 0, 4},
       {0, 700, 0},
       kZero,
       {0, 700, 0},
       {0, 0, 4},
       kZero},
      {"500, -500 and 0 sum to 0: chosen by values, none positive",
       {500, 0, 0},
       {-500, 0, 0},
       kZero,
       kZero,
       kZero,
       kZero},
      {"flag 1 adds 100 after the move; flag 2 does not",
       {10000, 5000, 1},
       {30000, 5000, 2},
       {20000, 5000, 1},
       {30000, 5000, 2},
       {20000, 5100, 1},
       {10000, 5100, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    model::Scenario s;
    put(s.item_table[model::kSlotProgressiveThree], c.tre);
    put(s.item_table[model::kSlotProgressiveTwo], c.due);
    put(s.item_table[model::kSlotProgressiveOne], c.uno);
    progressive_ordina(s);
    EXPECT_EQ(get(s.item_table[model::kSlotProgressiveThree]), c.want_tre);
    EXPECT_EQ(get(s.item_table[model::kSlotProgressiveTwo]), c.want_due);
    EXPECT_EQ(get(s.item_table[model::kSlotProgressiveOne]), c.want_uno);
  }
}

TEST(ProgressiveOrdinaTest, TouchesOnlyTheThreeEntries) {
  model::Scenario s;
  s.item_table[80].area_start = 7;
  s.item_table[84].area_end = 100000;
  put(s.item_table[model::kSlotProgressiveOne], {30000, 1, 1});
  progressive_ordina(s);
  EXPECT_EQ(s.item_table[80].area_start, 7);
  EXPECT_EQ(s.item_table[84].area_end, 100000);
  EXPECT_EQ(get(s.item_table[model::kSlotProgressiveThree]), (Triple{30000, 101, 1}));
}

TEST(ProgressiveOrdinaTest, AFlagPushingTheValuePast32BitsFails) {
  model::Scenario s;
  put(s.item_table[model::kSlotProgressiveThree],
      {50, std::numeric_limits<int32_t>::max() - 99, 1});
  EXPECT_THROW(progressive_ordina(s), platform::RuntimeFailure);
}

}  // namespace
}  // namespace route
