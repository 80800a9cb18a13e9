#include "model/item_views.h"

#include "platform/rounding.h"

namespace model {

int32_t item_time_of(int64_t hours, int64_t minutes, int64_t seconds) {
  return platform::to_int32(seconds_since_midnight(hours, minutes, seconds));
}

StationView station_view(const ItemTable& table, int slot) {
  const ItemRecord& r = table[static_cast<size_t>(slot)];
  StationView v;
  v.slot = slot;
  v.name = r.item_name;
  v.kind = r.item_kind;
  v.position = r.item_position;
  v.area_start = r.area_start;
  v.area_end = r.area_end;
  v.flag = r.item_flag;
  v.words = {r.item_word1, r.item_word2, r.item_word3, r.item_word4, r.item_word5};
  v.bytes = {r.item_byte1, r.item_byte2, r.item_byte3, r.item_byte4};
  v.stop_time = r.item_byte2;
  v.departure_time = r.item_time;
  return v;
}

std::array<ProgressiveRecord, 3> progressive_records(const ItemTable& table) {
  struct Slot {
    int slot;
    std::string_view keyword, label;
  };
  static constexpr Slot kSlots[] = {{kSlotProgressiveThree, "tre", "three"},
                                    {kSlotProgressiveTwo, "due", "two"},
                                    {kSlotProgressiveOne, "uno", "one"}};
  std::array<ProgressiveRecord, 3> records;
  for (size_t i = 0; i < records.size(); ++i) {
    const ItemRecord& r = table[static_cast<size_t>(kSlots[i].slot)];
    records[i] = {.slot = kSlots[i].slot,
                  .keyword = kSlots[i].keyword,
                  .label = kSlots[i].label,
                  .position = r.area_start,
                  .value = r.area_end,
                  .flag = r.item_position};
  }
  return records;
}

GeneralValues general_values(const ItemTable& table) {
  const ItemRecord& g84 = table[kSlotTrainGeneral];
  const ItemRecord& g85 = table[kSlotLine];
  const ItemRecord& g86 = table[kSlotTrain];
  GeneralValues g;
  g.progressives = progressive_records(table);
  g.train_general = {.braked_mass_percent = g84.area_start,
                     .line_length = g84.area_end,
                     .cars = g84.item_position};
  g.line = {.background_one = g85.area_start,
            .background_two = g85.item_position,
            .background_three = g85.area_end,
            .line_name = g85.item_name,
            .marker = g85.item_word1,
            .weighted_code = g85.item_time};
  g.train = {.signal_repetition_one = g86.area_start,
             .signal_repetition_two = g86.area_end,
             .code_count = g86.item_position,
             .train_code = g86.item_name,
             .sand = g86.item_word1,
             .clock_hours = g86.item_word3,
             .clock_minutes = g86.item_word4,
             .clock_seconds = g86.item_word5};
  return g;
}

}  // namespace model
