#include "model/compiled_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/files.h"
#include "platform/runtime_failure.h"
#include "platform/scoped_temp_dir.h"

namespace model {
namespace {

Scenario scenario_with_track(int32_t cell_count) {
  Scenario s;
  s.line_name = "BRENTALVO";
  s.train_code = "TRN4417";
  s.start_track(cell_count);
  return s;
}

uint16_t u16_at(const std::string& b, size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(b[at]) |
                               static_cast<unsigned char>(b[at + 1]) << 8);
}

TEST(CompiledFilesTest, StationFileRecordsFollowTheirNames) {
  Scenario s = scenario_with_track(140);
  // All names empty: 87 records of 34 bytes.
  EXPECT_EQ(encode_station_file(s).size(), 87u * kItemRecordBaseSize);

  s.item_table[1].item_name = "ABCDEFGHI";  // nine characters shift every later record
  s.item_table[1].item_kind = 8;
  s.item_table[1].area_start = -300;
  s.item_table[1].item_word1 = -1;
  s.item_table[1].item_byte4 = 7;
  s.item_table[1].item_time = 26940;
  s.item_table[2].item_kind = 24;
  std::string b = encode_station_file(s);
  ASSERT_EQ(b.size(), 87u * 34 + 9);
  const size_t r1 = 34;
  EXPECT_EQ(b[r1], 8);
  EXPECT_EQ(b.substr(r1 + 1, 4), std::string("\xD4\xFE\xFF\xFF", 4));  // -300
  EXPECT_EQ(u16_at(b, r1 + 14), 9);
  EXPECT_EQ(b.substr(r1 + 16, 9), "ABCDEFGHI");
  EXPECT_EQ(u16_at(b, r1 + 25), 0xFFFF);                                // item_word1 -1
  EXPECT_EQ(b[r1 + 25 + 10 + 3], 7);                                    // item_byte4
  EXPECT_EQ(b.substr(r1 + 39, 4), std::string("\x3C\x69\x00\x00", 4));  // 26940
  EXPECT_EQ(b[r1 + 43], 24);                                            // slot 2 follows
}

TEST(CompiledFilesTest, TrackFileHasFifteenBytesPerCell) {
  Scenario s = scenario_with_track(140);
  TrackCell& c = s.track[1];
  c.kind = 14;
  c.value1 = -1;
  c.value2 = 5121;
  c.value3 = 3;
  c.value4 = -32768;
  c.signal_time = 120;
  c.approach_mark = 31;
  c.mountain_type = 2;
  c.speed_code = 19;
  c.gradient_code = 104;
  c.adhesion_code = 100;
  std::string b = encode_track_file(s);
  ASSERT_EQ(b.size(), 2115u);
  EXPECT_EQ(b.substr(15, 15), std::string("\x0E\xFF\xFF\x01\x14\x03\x00\x00\x80\x78\x1F\x02\x13"
                                          "\x68\x64",
                                          15));
  EXPECT_EQ(b.substr(0, 15), std::string(15, '\0'));
}

TEST(CompiledFilesTest, LineFileTagsEachValue) {
  Scenario s = scenario_with_track(140);
  TrackPlan& plan = s.track_plan;
  plan.last = 5;
  plan.x.assign(6, 0.0);
  plan.y = {0, 1, 2.5, 3, 0, 0};
  plan.cursor = 4;  // points 2 and 3 computed, 4 and 5 empty
  s.track_plan_allocated = true;
  std::string b = encode_line_file(s);
  std::string x_half = std::string("\x02\x00\x00\x00\x02\x00\x00\x00", 8) +
                       std::string("\x05\x00", 2) + std::string(8, '\0') +
                       std::string("\x05\x00", 2) + std::string(8, '\0') + std::string(4, '\0');
  std::string y_half = std::string("\x02\x00\x00\x00\x02\x00\x01\x00", 8) +
                       std::string("\x05\x00\x00\x00\x00\x00\x00\x00\x04\x40", 10) +
                       std::string("\x05\x00\x00\x00\x00\x00\x00\x00\x08\x40", 10) +
                       std::string(4, '\0');
  EXPECT_EQ(b, x_half + y_half);
}

TEST(CompiledFilesTest, MissingTablesAreRunTimeFailures) {
  Scenario s;
  EXPECT_THROW(encode_track_file(s), platform::RuntimeFailure);
  EXPECT_THROW(encode_line_file(s), platform::RuntimeFailure);
}

class WriteCompiledFilesTest : public testing::Test {
 protected:
  std::string path(const std::string& name) {
    return platform::join_path(dir_.path().string(), name);
  }
  platform::ScopedTempDir dir_{"compiled_files_test"};
};

TEST_F(WriteCompiledFilesTest, ReplacesOlderFilesAndSkipsTheLineFileWhenNotAsked) {
  Scenario s = scenario_with_track(140);
  s.app_path = dir_.path().string();
  s.write_line_file = 0;
  platform::replace_file(platform::real_file_system(), path("BRENTALVO_linea.dat"), "old plan");
  platform::replace_file(platform::real_file_system(), path("BRENTALVO_TRN4417.dat"),
                         std::string(100000, 'x'));
  write_compiled_files(s);
  EXPECT_EQ(platform::read_file(platform::real_file_system(), path("BRENTALVO_linea.dat")),
            "old plan");
  EXPECT_EQ(platform::read_file(platform::real_file_system(), path("BRENTALVO_TRN4417.dat")),
            encode_track_file(s));
  EXPECT_EQ(platform::read_file(platform::real_file_system(), path("BRENTALVO_TRN4417.sim")).size(),
            2958u);

  s.write_line_file = 1;
  s.track_plan_allocated = true;
  s.track_plan.last = 7000;
  s.track_plan.x.assign(7001, 0.0);
  s.track_plan.y.assign(7001, 0.0);
  write_compiled_files(s);
  EXPECT_EQ(platform::read_file(platform::real_file_system(), path("BRENTALVO_linea.dat")).size(),
            2u * 7001 * 2);
}

// The line file goes to disk in parts of about a megabyte: a plan of several
// parts must come out as one encoding, with no value lost or doubled where a
// part ends.
TEST_F(WriteCompiledFilesTest, ALineFileOfManyPartsIsWrittenWhole) {
  Scenario s = scenario_with_track(140);
  s.app_path = dir_.path().string();
  s.write_line_file = 1;
  TrackPlan& plan = s.track_plan;
  plan.last = 300000;
  plan.cursor = 200001;
  plan.x.assign(300001, 0.0);
  plan.y.assign(300001, 0.0);
  for (size_t m = 0; m < 200001; ++m) {
    plan.x[m] = static_cast<double>(m) * 0.5;
    plan.y[m] = -static_cast<double>(m) / 3.0;
  }
  plan.y[1] = 1;
  s.track_plan_allocated = true;
  write_compiled_files(s);

  const std::string b =
      platform::read_file(platform::real_file_system(), path("BRENTALVO_linea.dat"));
  // Per half: points 0 and 1 of 4 bytes, 199999 doubles of 10, 100000 empties of 2.
  const size_t half = 8 + 199999 * 10 + 100000 * 2;
  ASSERT_EQ(b.size(), 2 * half);
  EXPECT_EQ(b, encode_line_file(s));
  // Doubles on either side of where the first parts end (the first after
  // point 114689), in both halves.
  for (size_t m : {2u, 114689u, 114690u, 131073u, 131074u, 200000u}) {
    for (int h = 0; h < 2; ++h) {
      const size_t at = static_cast<size_t>(h) * half + 8 + (m - 2) * 10;
      ASSERT_EQ(u16_at(b, at), 5) << m;
      double v;
      std::memcpy(&v, b.data() + at + 2, 8);
      EXPECT_EQ(v, h == 0 ? plan.x[m] : plan.y[m]) << m;
    }
  }
  EXPECT_EQ(u16_at(b, half - 2), 0);
}

TEST_F(WriteCompiledFilesTest, AMissingPlanFailsBeforeTheLineFileIsTouched) {
  Scenario s = scenario_with_track(140);
  s.app_path = dir_.path().string();
  s.write_line_file = 1;
  platform::replace_file(platform::real_file_system(), path("BRENTALVO_linea.dat"), "old plan");
  EXPECT_THROW(write_compiled_files(s), platform::RuntimeFailure);
  EXPECT_EQ(platform::read_file(platform::real_file_system(), path("BRENTALVO_linea.dat")),
            "old plan");
}

}  // namespace
}  // namespace model
