#include "model/item_views.h"

#include <gtest/gtest.h>

#include <limits>

#include "platform/runtime_failure.h"

namespace model {
namespace {

TEST(ItemViewsTest, TimesOfDay) {
  struct Case {
    int64_t hours, minutes, seconds;
    int32_t item_time;
    const char* text;
  };
  const Case cases[] = {
      {7, 29, 0, 26940, "07:29:00"},
      {7, 49, 30, 28170, "07:49:30"},
      {0, 0, 0, 0, "00:00:00"},
      {23, 59, 59, 86399, "23:59:59"},
      {30, 0, 0, 108000, "30:00:00"},  // kept past midnight
      {0, -1, -1, -61, "-00:01:01"},
      {596523, 14, 7, std::numeric_limits<int32_t>::max(), "596523:14:07"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(item_time_of(c.hours, c.minutes, c.seconds), c.item_time) << c.text;
    EXPECT_EQ(clock_text(c.item_time), c.text);
  }
  EXPECT_EQ(clock_text(std::numeric_limits<int64_t>::min()), "-2562047788015215:30:08");
  // One second past 32 bits does not fit item_time.
  try {
    item_time_of(596523, 14, 8);
    ADD_FAILURE() << "stored";
  } catch (const platform::RuntimeFailure& f) {
    EXPECT_EQ(f.number(), platform::kOverflow);
  }
}

// Every field of the record holds a value of its own, so that a view that
// reads the wrong field shows it.
ItemTable distinct_table() {
  ItemTable t{};
  for (int slot = 0; slot < kItemSlots; ++slot) {
    ItemRecord& r = t[static_cast<size_t>(slot)];
    const int base = slot * 100;
    r.item_kind = static_cast<uint8_t>(slot + 1);
    r.area_start = base + 1;
    r.area_end = base + 2;
    r.item_position = base + 3;
    r.item_flag = static_cast<uint8_t>(slot + 4);
    r.item_name = "NAME" + std::to_string(slot);
    r.item_word1 = static_cast<int16_t>(base + 11);
    r.item_word2 = static_cast<int16_t>(base + 12);
    r.item_word3 = static_cast<int16_t>(base + 13);
    r.item_word4 = static_cast<int16_t>(base + 14);
    r.item_word5 = static_cast<int16_t>(base + 15);
    r.item_byte1 = static_cast<uint8_t>(slot + 21);
    r.item_byte2 = static_cast<uint8_t>(slot + 22);
    r.item_byte3 = static_cast<uint8_t>(slot + 23);
    r.item_byte4 = static_cast<uint8_t>(slot + 24);
    r.item_time = base + 31;
  }
  return t;
}

TEST(ItemViewsTest, AStationByItsFields) {
  ItemTable t = distinct_table();
  t[2].item_time = (8 * 60 + 5) * 60 + 9;
  StationView v = station_view(t, 2);
  EXPECT_EQ(v.slot, 2);
  EXPECT_EQ(v.name, "NAME2");
  EXPECT_EQ(v.kind, 3);
  EXPECT_EQ(v.area_start, 201);
  EXPECT_EQ(v.area_end, 202);
  EXPECT_EQ(v.position, 203);
  EXPECT_EQ(v.flag, 6);
  EXPECT_EQ(v.words, (std::array<int, 5>{211, 212, 213, 214, 215}));
  EXPECT_EQ(v.bytes, (std::array<int, 4>{23, 24, 25, 26}));
  EXPECT_EQ(v.stop_time, 24);  // item_byte2
  EXPECT_EQ(v.departure_time, 29109);
  EXPECT_EQ(v.departure_text(), "08:05:09");
  EXPECT_TRUE(v.has_departure_time());
  t[2].item_time = 0;
  EXPECT_FALSE(station_view(t, 2).has_departure_time());
  EXPECT_EQ(sign_text(t, 80), "NAME80");
}

TEST(ItemViewsTest, TheThreeProgressivesAreTreDueUnoInSlots81To83) {
  ItemTable t = distinct_table();
  const std::array<ProgressiveRecord, 3> p = progressive_records(t);
  struct Expected {
    int slot;
    const char* keyword;
    const char* label;
  };
  const Expected expected[] = {{81, "tre", "three"}, {82, "due", "two"}, {83, "uno", "one"}};
  for (size_t i = 0; i < 3; ++i) {
    const int slot = expected[i].slot;
    EXPECT_EQ(p[i].slot, slot);
    EXPECT_EQ(p[i].keyword, expected[i].keyword) << slot;
    EXPECT_EQ(p[i].label, expected[i].label) << slot;
    EXPECT_EQ(p[i].position, slot * 100 + 1) << slot;  // area_start
    EXPECT_EQ(p[i].value, slot * 100 + 2) << slot;     // area_end
    EXPECT_EQ(p[i].flag, slot * 100 + 3) << slot;      // item_position
  }
}

TEST(ItemViewsTest, GeneralValuesBySlot) {
  ItemTable t = distinct_table();
  t[86].item_word3 = 7;
  t[86].item_word4 = 28;
  t[86].item_word5 = 30;
  GeneralValues g = general_values(t);
  EXPECT_EQ(g.progressives[0].slot, 81);
  EXPECT_EQ(g.progressives[2].position, 8301);

  EXPECT_EQ(g.train_general.braked_mass_percent, 8401);
  EXPECT_EQ(g.train_general.line_length, 8402);
  EXPECT_EQ(g.train_general.cars, 8403);

  EXPECT_EQ(g.line.background_one, 8501);    // area_start
  EXPECT_EQ(g.line.background_two, 8503);    // item_position
  EXPECT_EQ(g.line.background_three, 8502);  // area_end
  EXPECT_EQ(g.line.line_name, "NAME85");
  EXPECT_EQ(g.line.marker, static_cast<int16_t>(8511));
  EXPECT_EQ(g.line.weighted_code, 8531);

  EXPECT_EQ(g.train.signal_repetition_one, 8601);
  EXPECT_EQ(g.train.signal_repetition_two, 8602);
  EXPECT_EQ(g.train.code_count, 8603);
  EXPECT_EQ(g.train.train_code, "NAME86");
  EXPECT_EQ(g.train.sand, static_cast<int16_t>(8611));
  EXPECT_EQ(g.train.clock(), (7 * 60 + 28) * 60 + 30);
}

}  // namespace
}  // namespace model
