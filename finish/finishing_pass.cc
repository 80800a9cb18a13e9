#include "finish/finishing_pass.h"

#include <cstdint>
#include <utility>

#include "model/compile_errors.h"
#include "platform/rounding.h"
#include "platform/runtime_failure.h"

namespace finish {

int16_t minimo(int16_t x, int16_t y) { return x > y ? y : x; }

namespace {

// The value that every mark of the pass carries, and the most that an
// existing mark before a warning's signal may keep.
constexpr int16_t kMarkValue = 180;

// Slowdowns at model::kSlowSpeedLimit or above get only the marks before
// their start.
using model::kSlowSpeedLimit;

// Marks inside a slow slowdown fall every 8 cells (400 m).
constexpr int32_t kRunLength = 8;

// One walk over the track. Every cell is reached through s.cell(); the pass
// itself never looks past cell_count, where a cell counts as neither free
// nor of any kind.
class Pass {
 public:
  explicit Pass(model::Scenario& s) : s_(s), last_(s.cell_count) {}

  void run() {
    for (int64_t i = 1; i <= last_ - 2; ++i) {
      const model::TrackCell& c = s_.cell(i);
      // The marks below are put around the slowdown of cell i.
      around_ = i;
      if (c.kind == model::kSlowdownWarning) signals_before_warning(i);
      if (c.kind == model::kSlowdownStart) {
        marks_before_start(i);
        // A fast slowdown has no run inside it, and so no end cell to search
        // on from: the mark before the next signal belongs to slow ones only.
        if (c.value1 < kSlowSpeedLimit) mark_before_next_signal(marks_inside(i));
      }
    }
  }

 private:
  bool inside(int64_t k) const { return k >= 0 && k <= last_; }
  bool is_free(int64_t k) const { return inside(k) && s_.cell(k).is_free(); }
  bool has_kind(int64_t k, uint8_t kind) const { return inside(k) && s_.cell(k).kind == kind; }

  // Only the kind and the value change: the cell keeps its gradient, speed,
  // adhesion, mountain type and approach mark.
  void mark(int64_t k) {
    model::TrackCell& c = s_.cell(k);
    c.kind = model::kSpeedMark;
    c.value1 = kMarkValue;
    model::note_finishing_mark(s_, k, around_);
  }
  void limit(int64_t k) {
    model::TrackCell& c = s_.cell(k);
    c.value1 = minimo(kMarkValue, c.value1);
  }
  // The finishing pass works on cells, not on rows: its errors have no place
  // in a description.
  // `taken` is the first cell the mark could have gone to: the error names
  // what took it.
  void fail(int32_t code, int64_t cell, int64_t taken) {
    s_.error_position = platform::to_int32(cell * 50);
    model::ErrorSite site;
    site.occupant = model::occupant_of(s_, taken);
    model::record_error(s_, code, std::move(site));
  }

  // Every signal within 20 cells before a warning gets a mark in one of the
  // two cells before it, or has an existing mark there lowered to 180.
  void signals_before_warning(int64_t i) {
    for (int64_t d = 1; d <= model::kSignalReachCells && i - d >= 3; ++d) {
      const int64_t signal = i - d;
      if (s_.cell(signal).kind != model::kSignal) continue;
      const int64_t p = signal - 1;
      const int64_t q = signal - 2;
      if (is_free(p)) {
        mark(p);
      } else if (is_free(q)) {
        mark(q);
      } else if (has_kind(p, model::kSpeedMark)) {
        limit(p);
      } else if (has_kind(q, model::kSpeedMark)) {
        limit(q);
      } else {
        fail(model::kNoRoomSignalMark, signal, p);
      }
    }
  }

  // One mark in each group of three cells 250-350, 550-650 and 900-1000 m
  // before the start, where the track before the start is long enough.
  void marks_before_start(int64_t i) {
    struct Group {
      int64_t applies_after;  // the group applies when i is above this cell
      int64_t nearest;        // distance in cells of the preferred candidate
    };
    static constexpr Group kGroups[] = {{7, 5}, {13, 11}, {20, 18}};
    for (const Group& g : kGroups) {
      if (i <= g.applies_after) continue;
      bool placed = false;
      for (int64_t k = i - g.nearest; k >= i - g.nearest - 2 && !placed; --k) {
        if (is_free(k)) {
          mark(k);
          placed = true;
        }
      }
      if (!placed) fail(model::kNoRoomApproachMark, i, i - g.nearest);
    }
  }

  // Marks every 8 cells after a slow slowdown's start, one cell back or
  // forward where the cell is taken; the spacing counts from the mark
  // actually placed. Returns the cell the run stopped at: the slowdown end,
  // or the last cell of the track when no end follows.
  int64_t marks_inside(int64_t i) {
    int32_t r = 0;
    int64_t e = i;
    while (true) {
      ++e;
      ++r;
      if (r == kRunLength) {
        if (is_free(e)) {
          mark(e);
          r = 0;
        } else if (is_free(e - 1)) {
          mark(e - 1);
          r = 1;
        } else if (is_free(e + 1)) {
          mark(e + 1);
          r = -1;
        } else {
          // r runs on past 8: no further mark in this slowdown.
          fail(model::kNoRoomSlowMark, e, e);
        }
      }
      if (s_.cell(e).kind == model::kSlowdownEnd || e >= last_) return e;
    }
  }

  // A mark in one of the two cells before the first signal within 12 cells
  // from the slowdown's end cell e.
  void mark_before_next_signal(int64_t e) {
    for (int64_t k = e; k <= e + 12; ++k) {
      if (!has_kind(k, model::kSignal)) continue;
      if (is_free(k - 1)) {
        mark(k - 1);
      } else if (is_free(k - 2)) {
        mark(k - 2);
      } else {
        fail(model::kNoRoomSlowMark, e, k - 1);
      }
      return;
    }
  }

  model::Scenario& s_;
  const int64_t last_;
  int64_t around_ = -1;  // the slowdown cell the marks being put belong to
};

}  // namespace

void finishing_pass(model::Scenario& s) {
  if (!s.track_allocated) {
    throw platform::RuntimeFailure(platform::kSubscriptOutOfRange, "track cell 1");
  }
  Pass(s).run();
}

}  // namespace finish
