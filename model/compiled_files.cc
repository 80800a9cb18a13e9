#include "model/compiled_files.h"

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

// One half (x or y) of the plan: points 0 and 1 are integers, computed points
// doubles, the rest empty.
void put_plan_half(platform::ByteWriter& out, const TrackPlan& plan,
                   const std::vector<double>& values) {
  for (int32_t m = 0; m <= plan.last; ++m) {
    if (!plan.computed(m)) {
      out.put_variant_empty();
    } else if (m < 2) {
      out.put_variant_int16(static_cast<int16_t>(values[static_cast<size_t>(m)]));
    } else {
      out.put_variant_double(values[static_cast<size_t>(m)]);
    }
  }
}

}  // namespace

std::string encode_line_file(const Scenario& s) {
  if (!s.track_plan_allocated) {
    throw platform::RuntimeFailure(platform::kSubscriptOutOfRange, "no track plan");
  }
  const TrackPlan& plan = s.track_plan;
  platform::ByteWriter out;
  out.reserve(static_cast<size_t>(plan.last + 1) * 2 * 10);
  put_plan_half(out, plan, plan.x);
  put_plan_half(out, plan, plan.y);
  return out.take();
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
  if (s.write_line_file != 0) {
    platform::replace_file(platform::join_path(s.app_path, line_file_name(s)), encode_line_file(s));
  }
  platform::replace_file(platform::join_path(s.app_path, station_file_name(s)),
                         encode_station_file(s));
  platform::replace_file(platform::join_path(s.app_path, track_file_name(s)), encode_track_file(s));
}

}  // namespace model
