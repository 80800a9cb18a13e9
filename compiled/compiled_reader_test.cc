#include "compiled/compiled_reader.h"

#include <gtest/gtest.h>

#include <cstring>

#include "compiled/compiled_set.h"
#include "compiled/scenario_view.h"
#include "compiled/test_scenario.h"
#include "model/compiled_files.h"

namespace tools {
namespace {

using testing::small_scenario;

TEST(CompiledReaderTest, KindFollowsFromTheName) {
  EXPECT_EQ(kind_of_file_name("BRENTALVO_linea.dat"), FileKind::kLine);
  EXPECT_EQ(kind_of_file_name("BRENTALVO_TRN4417.dat"), FileKind::kTrack);
  EXPECT_EQ(kind_of_file_name("BRENTALVO_TRN4417.sim"), FileKind::kStation);
  EXPECT_EQ(kind_of_file_name("BRENTALVO_linea.txt"), std::nullopt);
  EXPECT_EQ(kind_of_file_name("notes"), std::nullopt);
}

// Text -> model -> compiled bytes -> reader gives back every field.
TEST(CompiledReaderTest, ReadsBackWhatTheWriterWrote) {
  model::Scenario s = small_scenario();
  s.track[11].value2 = -1;  // written as FF FF
  s.track[11].signal_time = 250;
  s.track[11].approach_mark = 34;
  s.item_table[2].item_word5 = -32768;
  s.item_table[2].item_time = -5;

  StationFile st = read_station_file(model::encode_station_file(s));
  for (int i = 0; i < model::kItemSlots; ++i) {
    const model::ItemRecord& a = s.item_table[i];
    const model::ItemRecord& b = st.slots[i];
    SCOPED_TRACE(i);
    EXPECT_EQ(a.item_kind, b.item_kind);
    EXPECT_EQ(a.area_start, b.area_start);
    EXPECT_EQ(a.area_end, b.area_end);
    EXPECT_EQ(a.item_position, b.item_position);
    EXPECT_EQ(a.item_flag, b.item_flag);
    EXPECT_EQ(a.item_name, b.item_name);
    EXPECT_EQ(a.item_word1, b.item_word1);
    EXPECT_EQ(a.item_word2, b.item_word2);
    EXPECT_EQ(a.item_word3, b.item_word3);
    EXPECT_EQ(a.item_word4, b.item_word4);
    EXPECT_EQ(a.item_word5, b.item_word5);
    EXPECT_EQ(a.item_byte1, b.item_byte1);
    EXPECT_EQ(a.item_byte2, b.item_byte2);
    EXPECT_EQ(a.item_byte3, b.item_byte3);
    EXPECT_EQ(a.item_byte4, b.item_byte4);
    EXPECT_EQ(a.item_time, b.item_time);
  }

  TrackFile tr = read_track_file(model::encode_track_file(s));
  ASSERT_EQ(tr.cells.size(), s.track.size());
  EXPECT_EQ(tr.cell_count(), 200);
  for (size_t i = 0; i < s.track.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(std::memcmp(&tr.cells[i], &s.track[i], sizeof(model::TrackCell)), 0);
  }
  EXPECT_EQ(tr.cells[1].value1, 5121);

  LineFile ln = read_line_file(model::encode_line_file(s));
  ASSERT_EQ(ln.last_point(), 10000);
  EXPECT_EQ(ln.x[0].type, kPlanInt16);
  EXPECT_EQ(ln.y[1].type, kPlanInt16);
  EXPECT_EQ(ln.y[1].value, 1);
  EXPECT_EQ(ln.x[2500].type, kPlanDouble);
  EXPECT_EQ(ln.x[2500].value, s.track_plan.x[2500]);
  EXPECT_EQ(ln.y[9998].value, s.track_plan.y[9998]);
  EXPECT_EQ(ln.x[9999].type, kPlanEmpty);
  EXPECT_EQ(ln.y[10000].type, kPlanEmpty);
}

// Reads `bytes` as a file of `kind` and makes the view of it, as every tool
// does before it shows anything.
ScenarioView read_and_view(FileKind kind, const std::string& bytes) {
  CompiledSet set;
  add_file(set, kind, "input", bytes);
  return view_of(set);
}

std::string refusal(FileKind kind, const std::string& bytes) {
  try {
    read_and_view(kind, bytes);
  } catch (const BadFile& e) {
    return e.what();
  }
  return "(accepted)";
}

// Files whose size does not fit their format are refused with what was
// expected.
TEST(CompiledReaderTest, RefusesFilesThatDoNotFit) {
  model::Scenario s = small_scenario();
  const std::string station = model::encode_station_file(s);
  const std::string track = model::encode_track_file(s);
  const std::string line = model::encode_line_file(s);

  struct Case {
    FileKind kind;
    std::string bytes;
    std::string expected;  // part of the message
  } cases[] = {
      {FileKind::kStation, "", "0 bytes is too short: expected 87 records of 34 bytes"},
      {FileKind::kStation, station.substr(0, station.size() - 1),
       "the file ends inside the record of slot 86 at byte " + std::to_string(station.size() - 4) +
           ": expected 4 bytes of the time, found 3 bytes"},
      {FileKind::kStation, station + "x",
       "1 byte left after the 87 records, which end at byte " + std::to_string(station.size())},
      {FileKind::kTrack, track.substr(0, track.size() - 1),
       "does not fit: expected a whole number of 15-byte cell records, at least two (cells 0 "
       "and 1), but 14 bytes are left over"},
      {FileKind::kTrack, track.substr(0, 15), "at least two"},
      {FileKind::kTrack, "", "0 bytes does not fit"},
      {FileKind::kLine, "", "0 values in 0 bytes: expected an even number"},
      {FileKind::kLine, line.substr(0, line.size() - 2), "expected an even number"},
      {FileKind::kLine, std::string("\x05\x00\x01\x02\x03", 5),
       "the file ends inside value 0 at byte 2: expected 8 bytes of a double, found 3 bytes"},
      {FileKind::kLine, std::string("\x02\x00\x00", 3), "expected 2 bytes of a 16-bit integer"},
      {FileKind::kLine, std::string("\x07\x00", 2),
       "has type code 7: expected 0 (empty), 2 (16-bit integer) or 5 (double)"},
      {FileKind::kLine, std::string("\x00", 1), "expected 2 bytes of a type code"},
  };
  for (const Case& c : cases) {
    std::string message = refusal(c.kind, c.bytes);
    EXPECT_NE(message.find(c.expected), std::string::npos) << message;
  }
  // A name length that runs past the end.
  std::string long_name = station;
  long_name[14] = '\xFF';
  long_name[15] = '\xFF';
  EXPECT_NE(refusal(FileKind::kStation, long_name).find("expected 65535 bytes of the name"),
            std::string::npos);
}

// Whatever the bytes, a reader and the view either accept them or refuse
// them: never a read outside the buffer (the sanitizer build checks), never a
// hang.
TEST(CompiledReaderTest, DamagedBytesAreReadSafely) {
  testing::for_each_damaged_file([](FileKind kind, const std::string& bytes) {
    try {
      read_and_view(kind, bytes);
    } catch (const BadFile&) {
    }
  });
  // Doubles that are not numbers, or huge, are still read: two points.
  const ScenarioView view = read_and_view(FileKind::kLine, testing::line_file_of_odd_doubles());
  ASSERT_TRUE(view.line);
  EXPECT_EQ(view.line->points.size(), 2u);
}

}  // namespace
}  // namespace tools
