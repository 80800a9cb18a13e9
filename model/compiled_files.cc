#include "model/compiled_files.h"

#include <algorithm>

#include "platform/byte_writer.h"
#include "platform/files.h"
#include "platform/runtime_failure.h"

namespace model {

std::string line_file_name(const Scenario& s) { return s.line_name + "_linea.dat"; }
std::string station_file_name(const Scenario& s) {
  return s.line_name + "_" + s.train_code + ".sim";
}
std::string track_file_name(const Scenario& s) { return s.line_name + "_" + s.train_code + ".dat"; }

namespace {

// The line file is handed to the file in parts of about this size, so that
// its tens of megabytes are never held whole beside the plan.
constexpr size_t kLineFilePart = size_t{1} << 20;

// Values encoded between two looks at the part's size.
constexpr int32_t kPlanBatch = 1 << 14;
// The most a batch adds: a double value is 10 bytes.
constexpr size_t kPartOverrun = size_t{kPlanBatch} * 10;

// Gathers encoded bytes and hands them on whenever a part is full.
class PartWriter {
 public:
  // `total` is the most the whole file can take (a short plan's file is
  // far below a part, and room is not taken for bytes that never come).
  PartWriter(const platform::PartSink& sink, size_t total) : sink_(sink) {
    // A part is flushed once it reaches kLineFilePart: it never holds more
    // than that and one batch more.
    out_.reserve(std::min(total, kLineFilePart + kPartOverrun));
  }
  platform::ByteWriter& out() { return out_; }
  void part_done() {
    if (out_.size() >= kLineFilePart) flush();
  }
  void flush() {
    if (out_.size() > 0) sink_(out_.bytes());
    out_.clear();
  }

 private:
  const platform::PartSink& sink_;
  platform::ByteWriter out_;
};

// One half (x or y) of the plan: points 0 and 1 are integers, computed points
// doubles, the rest empty. The doubles and the empties are encoded a batch at
// a time into room taken at once.
void put_plan_half(PartWriter& w, const TrackPlan& plan, const ReusableVector<double>& values) {
  const int32_t end = plan.last + 1;
  const int32_t computed = std::min(plan.cursor, end);
  int32_t m = 0;
  for (; m < std::min(computed, 2); ++m) {
    w.out().put_variant_int16(static_cast<int16_t>(values[static_cast<size_t>(m)]));
  }
  while (m < computed) {
    const int32_t n = std::min(computed - m, kPlanBatch);
    char* at = w.out().room(static_cast<size_t>(n) * 10);
    for (int32_t i = 0; i < n; ++i, ++m) {
      at = platform::encode_variant_double(at, values[static_cast<size_t>(m)]);
    }
    w.part_done();
  }
  while (m < end) {
    const int32_t n = std::min(end - m, kPlanBatch);
    char* at = w.out().room(static_cast<size_t>(n) * 2);
    for (int32_t i = 0; i < n; ++i, ++m) at = platform::encode_variant_empty(at);
    w.part_done();
  }
}

void require_plan(const Scenario& s) {
  if (!s.track_plan_allocated) {
    throw platform::RuntimeFailure(platform::kSubscriptOutOfRange, "no track plan");
  }
}

// The most bytes the line file of `s` can take: every value a double.
size_t line_file_size_bound(const Scenario& s) {
  return static_cast<size_t>(std::max<int64_t>(int64_t{s.track_plan.last} + 1, 0)) * 2 * 10;
}

// REQUIRES: the plan exists.
void encode_line_file_in_parts(const Scenario& s, const platform::PartSink& sink) {
  PartWriter w(sink, line_file_size_bound(s));
  put_plan_half(w, s.track_plan, s.track_plan.x);
  put_plan_half(w, s.track_plan, s.track_plan.y);
  w.flush();
}

}  // namespace

std::string encode_line_file(const Scenario& s) {
  require_plan(s);
  std::string bytes;
  bytes.reserve(line_file_size_bound(s));
  encode_line_file_in_parts(s, [&bytes](std::string_view part) { bytes += part; });
  return bytes;
}

std::string encode_station_file(const Scenario& s) {
  platform::ByteWriter out;
  for (const ItemRecord& item : s.item_table) {
    out.put_u8(item.item_kind);
    out.put_i32(item.area_start);
    out.put_i32(item.area_end);
    out.put_i32(item.item_position);
    out.put_u8(item.item_flag);
    out.put_text(item.item_name);
    out.put_i16(item.item_word1);
    out.put_i16(item.item_word2);
    out.put_i16(item.item_word3);
    out.put_i16(item.item_word4);
    out.put_i16(item.item_word5);
    out.put_u8(item.item_byte1);
    out.put_u8(item.item_byte2);
    out.put_u8(item.item_byte3);
    out.put_u8(item.item_byte4);
    out.put_i32(item.item_time);
  }
  return out.take();
}

std::string encode_track_file(const Scenario& s) {
  if (!s.track_allocated) {
    throw platform::RuntimeFailure(platform::kSubscriptOutOfRange, "no track");
  }
  platform::ByteWriter out;
  out.reserve(s.track.size() * kTrackRecordSize);
  for (const TrackCell& c : s.track) {
    out.put_u8(c.kind);
    out.put_i16(c.value1);
    out.put_i16(c.value2);
    out.put_i16(c.value3);
    out.put_i16(c.value4);
    out.put_u8(c.signal_time);
    out.put_u8(c.approach_mark);
    out.put_u8(c.mountain_type);
    out.put_u8(c.speed_code);
    out.put_u8(c.gradient_code);
    out.put_u8(c.adhesion_code);
  }
  return out.take();
}

void write_compiled_files(const Scenario& s) {
  // All three are written out before any replaces its old file, so a failure
  // while writing leaves the old set whole.
  platform::FileReplacement replacement(*s.files);
  if (s.write_line_file != 0) {
    // A missing plan fails before the file is touched, as a whole encoding would.
    require_plan(s);
    replacement.stage(platform::join_path(s.app_path, line_file_name(s)),
                      [&s](const platform::PartSink& sink) { encode_line_file_in_parts(s, sink); });
  }
  replacement.stage(platform::join_path(s.app_path, station_file_name(s)), encode_station_file(s));
  replacement.stage(platform::join_path(s.app_path, track_file_name(s)), encode_track_file(s));
  replacement.commit_as_set();
}

}  // namespace model
