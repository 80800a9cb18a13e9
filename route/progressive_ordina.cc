#include "route/progressive_ordina.h"

#include "platform/rounding.h"

namespace route {

namespace {

struct Triple {
  int32_t position = 0;
  int32_t value = 0;
  int32_t flag = 0;
};

Triple load(const model::ItemRecord& item) {
  return {item.area_start, item.area_end, item.item_position};
}

void store(model::ItemRecord& item, const Triple& t) {
  item.area_start = t.position;
  item.area_end = t.value;
  item.item_position = t.flag;
}

}  // namespace

void progressive_ordina(model::Scenario& s) {
  model::ItemRecord& tre = s.item_table[model::kSlotProgressiveThree];
  model::ItemRecord& due = s.item_table[model::kSlotProgressiveTwo];
  model::ItemRecord& uno = s.item_table[model::kSlotProgressiveOne];
  const Triple t = load(tre), d = load(due), u = load(uno);
  Triple t2, d2, u2;

  int64_t sum = int64_t{t.position} + d.position + u.position;
  if (sum != 0) {
    // Strict comparisons only: a tie for the largest position matches no case
    // and leaves all three records cleared.
    if (t.position > d.position && t.position > u.position) {
      t2 = t;
      if (d.position > u.position) {
        d2 = d, u2 = u;
      } else {
        d2 = u, u2 = d;
      }
    }
    if (d.position > t.position && d.position > u.position) {
      t2 = d;
      if (t.position > u.position) {
        d2 = t, u2 = u;
      } else {
        d2 = u, u2 = t;
      }
    }
    if (u.position > t.position && u.position > d.position) {
      t2 = u;
      if (t.position > d.position) {
        d2 = t, u2 = d;
      } else {
        d2 = d, u2 = t;
      }
    }
  } else {
    // Each rule that applies replaces the result of the one before.
    if (t.value > 0) t2 = t, d2 = d, u2 = u;
    if (d.value > 0) t2 = d, d2 = t, u2 = u;
    if (u.value > 0) t2 = u, d2 = d, u2 = t;
  }

  store(tre, t2);
  store(due, d2);
  store(uno, u2);
  for (model::ItemRecord* item : {&tre, &due, &uno}) {
    if (item->item_position == 1)
      item->area_end = platform::to_int32(int64_t{item->area_end} + 100);
  }
}

}  // namespace route
