// The compiled files of a scenario held to each other: the sets the
// compiler's own compile pass writes, compile errors included, pass; files
// of different compiles, truncated or crafted files are refused, each with a
// message that names the files and how they disagree. Everything runs on a
// file system in memory.
#include "compiled/set_check.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "compiled/test_compile.h"
#include "compiled/test_scenario.h"
#include "model/compile_errors.h"
#include "model/compiled_files.h"
#include "model/track_geometry.h"
#include "platform/files.h"
#include "platform/memory_file_system.h"
#include "platform/runtime_failure.h"

namespace tools {
namespace {

using testing::compile;
using testing::Compile;
using testing::kTrain;
using testing::route_of_length;
using testing::small_scenario;

std::string at(const std::string& folder, const std::string& name) {
  return platform::join_path(folder, name);
}

// The message of the refusal of the folder as a scenario; "(accepted)" when
// it is taken.
std::string refusal(platform::MemoryFileSystem& fs, const std::string& path,
                    bool whole_scenario = false) {
  try {
    load_compiled(fs, path, whole_scenario);
  } catch (const BadFile& e) {
    return e.what();
  } catch (const ToolError& e) {
    return std::string("ToolError: ") + e.what();
  }
  return "(accepted)";
}

TEST(SetCheckTest, TheTrackAndPlanOfALineLength) {
  struct Case {
    int64_t length, total_length, cell_count;
  } cases[] = {
      {0, 7000, 140}, {3000, 10000, 200}, {3025, 10025, 200}, {3075, 10075, 202},
      {-6975, 25, 0}, {-6925, 75, 2},     {-7000, 0, 0},      {1000000, 1007000, 20140},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    std::optional<TrackSize> size = track_size_for(c.length);
    ASSERT_TRUE(size);
    EXPECT_EQ(size->total_length, c.total_length);
    EXPECT_EQ(size->cell_count, c.cell_count);
  }
  // Lengths the compiler refuses.
  for (int64_t refused :
       {int64_t{1000001}, int64_t{2000000000}, int64_t{-7001}, int64_t{-2000000000}}) {
    EXPECT_FALSE(track_size_for(refused)) << refused;
  }
}

// The sets the compile pass writes, whatever compile error it met, pass the
// check; the sizes agree with track_size_for.
TEST(SetCheckTest, EverySetTheCompilerWritesPasses) {
  struct Case {
    const char* name;
    std::string route;
    const char* train;
    bool line_file;
    int error_code;
    int64_t cells;  // cell_count + 1 of the track file written
  } cases[] = {
      {"clean", route_of_length(3000), kTrain, true, model::kNoError, 201},
      {"clean without a line file", route_of_length(3000), kTrain, false, model::kNoError, 201},
      {"halves to even", route_of_length(3025), kTrain, true, model::kNoError, 201},
      {"a negative length", route_of_length(-5000), "[generale]\r\n[fine]\r\n", true,
       model::kNoError, 41},
      {"route sign on a taken cell",
       "[generale]\r\nlunghezza percorso, 10000\r\n[cartelli]\r\n"
       "cartello_indicatore, 3000, (A)\r\ncartello_indicatore, 3010, (B)\r\n[fine]\r\n",
       kTrain, true, model::kSignCellTaken, 341},
      {"a row that is not a number",
       "[generale]\r\nlunghezza percorso, 10000\r\n[pendenze]\r\npendenza, 50, 5x\r\n[fine]\r\n",
       kTrain, true, model::kReadingFailure, 341},
      {"a row past the end",
       "[generale]\r\nlunghezza percorso, 10000\r\n[pendenze]\r\npendenza, 20000, 3\r\n[fine]\r\n",
       kTrain, true, model::kBeyondTrack, 341},
      {"a bad signal repetition after the length",
       "[generale]\r\nlunghezza percorso, 4000\r\nripetizione segnali 4 codici, 25, "
       "0\r\n[fine]\r\n",
       kTrain, true, model::kRepetitionFirstNotWhole, 221},
      // The second length is refused: the station file keeps it, the track
      // and the plan keep the size of the first.
      {"a length above the limit after another",
       "[generale]\r\nlunghezza percorso, 3000\r\nlunghezza percorso, 2000000000\r\n[fine]\r\n",
       kTrain, true, model::kRouteTooLong, 201},
      {"a length that gives no track after another",
       "[generale]\r\nlunghezza percorso, 3000\r\nlunghezza percorso, -2000000000\r\n[fine]\r\n",
       kTrain, true, model::kReadingFailure, 201},
      {"a length that gives no plan after another",
       "[generale]\r\nlunghezza percorso, 3000\r\nlunghezza percorso, -7010\r\n[fine]\r\n", kTrain,
       true, model::kReadingFailure, 201},
      {"the same without a line file",
       "[generale]\r\nlunghezza percorso, 3000\r\nlunghezza percorso, -7030\r\n[fine]\r\n", kTrain,
       false, model::kReadingFailure, 201},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    platform::MemoryFileSystem fs;
    Compile result = compile(fs, "out", c.route, c.train, c.line_file);
    ASSERT_FALSE(result.ended);
    EXPECT_EQ(result.error_code, c.error_code);
    ASSERT_EQ(fs.kind(at("out", "LINEA_T1.dat")), platform::FileKind::kRegular);
    EXPECT_EQ(fs.kind(at("out", "LINEA_linea.dat")) == platform::FileKind::kRegular, c.line_file);
    EXPECT_EQ(refusal(fs, "out"), "(accepted)");
    CompiledSet set = load_compiled(fs, at("out", "LINEA_T1.sim"), true);
    ASSERT_TRUE(set.track);
    EXPECT_EQ(static_cast<int64_t>(set.track->content.cells.size()), c.cells);
    EXPECT_EQ(set.line.has_value(), c.line_file);
    std::optional<TrackSize> size =
        track_size_for(set.station->content.slots[model::kSlotTrainGeneral].area_end);
    if (size) {
      EXPECT_EQ(size->cell_count + 1, c.cells);
    }
    if (set.line) {
      EXPECT_EQ(model::track_cell_count(static_cast<int64_t>(set.line->content.x.size()) - 1) + 1,
                c.cells);
    }
  }
}

// Compiles that write nothing leave nothing to check.
TEST(SetCheckTest, CompilesThatEndWriteNoSet) {
  for (const std::string& route :
       {std::string("[generale]\r\nlunghezza percorso, 1000001\r\n[fine]\r\n"),
        std::string("[generale]\r\nripetizione segnali 4 codici, 0, 0\r\n[fine]\r\n"),
        route_of_length(-6975)}) {
    SCOPED_TRACE(route);
    platform::MemoryFileSystem fs;
    EXPECT_TRUE(compile(fs, "out", route, kTrain).ended);
    EXPECT_EQ(fs.kind(at("out", "LINEA_T1.sim")), platform::FileKind::kMissing);
  }
}

TEST(SetCheckTest, ATruncatedTrackFileIsRefused) {
  platform::MemoryFileSystem fs;
  compile(fs, "out", route_of_length(3000), kTrain);
  std::string track = fs.contents(at("out", "LINEA_T1.dat"));
  ASSERT_EQ(track.size(), 201u * 15);
  fs.add_file(at("out", "LINEA_T1.dat"), track.substr(0, 141 * 15));
  EXPECT_EQ(refusal(fs, "out"),
            "the files were not written by one compile: the track file LINEA_T1.dat has 141 "
            "cells (0 .. 140) but the station file LINEA_T1.sim's line length 3000 m needs 201 "
            "cells (0 .. 200): 3000 m and 7000 m of spare track, a cell per 50 m");
  // The same through any of the files.
  for (const std::string& file :
       {at("out", "LINEA_T1.sim"), at("out", "LINEA_T1.dat"), at("out", "LINEA_linea.dat")}) {
    EXPECT_NE(refusal(fs, file, true).find("LINEA_T1.dat has 141 cells"), std::string::npos)
        << file;
  }
  // Alone, the track file is only held to its format.
  EXPECT_EQ(refusal(fs, at("out", "LINEA_T1.dat")), "(accepted)");
  // Cut inside a record, it does not fit its format.
  fs.add_file(at("out", "LINEA_T1.dat"), track.substr(0, 141 * 15 + 7));
  EXPECT_NE(refusal(fs, "out").find("LINEA_T1.dat: track file: 2122 bytes does not fit"),
            std::string::npos);
}

TEST(SetCheckTest, ATruncatedLineFileIsRefused) {
  platform::MemoryFileSystem fs;
  compile(fs, "out", route_of_length(3000), kTrain);
  std::string line = fs.contents(at("out", "LINEA_linea.dat"));
  // The last two values (two empty points of y) are gone.
  fs.add_file(at("out", "LINEA_linea.dat"), line.substr(0, line.size() - 4));
  EXPECT_EQ(refusal(fs, "out").rfind(
                "the files were not written by one compile: the line file LINEA_linea.dat has "
                "20000 values, 10000 points (0 .. 9999), but the station file LINEA_T1.sim's line "
                "length 3000 m needs 10001 points (0 .. 10000): 3000 m and 7000 m of spare track, "
                "a point per metre; a compile that writes no line file",
                0),
            0u)
      << refusal(fs, "out");
  // One value less: not a line file at all.
  fs.add_file(at("out", "LINEA_linea.dat"), line.substr(0, line.size() - 2));
  EXPECT_NE(refusal(fs, "out").find("LINEA_linea.dat: line file: 20001 values"), std::string::npos);
}

// Files of another compile beside a scenario's: a compile of another route
// length killed between its renames, or another compile into the folder.
TEST(SetCheckTest, FilesOfAnotherCompileAreRefused) {
  platform::MemoryFileSystem fs;
  compile(fs, "out", route_of_length(3000), kTrain);
  compile(fs, "other", route_of_length(5000), kTrain);
  compile(fs, "train2", route_of_length(3000), kTrain, true, "T2");
  const std::map<std::string, std::string> clean = fs.files();
  auto reset = [&] {
    for (const auto& [path, bytes] : clean) fs.add_file(path, bytes);
  };

  // The new line file renamed, then the kill.
  fs.add_file(at("out", "LINEA_linea.dat"), clean.at(at("other", "LINEA_linea.dat")));
  EXPECT_NE(refusal(fs, "out").find("the line file LINEA_linea.dat has 24002 values, 12001 points "
                                    "(0 .. 12000), but the station file LINEA_T1.sim's line "
                                    "length 3000 m needs 10001 points"),
            std::string::npos)
      << refusal(fs, "out");
  // The new station file renamed too.
  fs.add_file(at("out", "LINEA_T1.sim"), clean.at(at("other", "LINEA_T1.sim")));
  EXPECT_EQ(refusal(fs, "out"),
            "the files were not written by one compile: the track file LINEA_T1.dat has 201 "
            "cells (0 .. 200) but the station file LINEA_T1.sim's line length 5000 m needs 241 "
            "cells (0 .. 240): 5000 m and 7000 m of spare track, a cell per 50 m");
  reset();
  // A track file of another compile alone.
  fs.add_file(at("out", "LINEA_T1.dat"), clean.at(at("other", "LINEA_T1.dat")));
  EXPECT_NE(refusal(fs, "out").find("the track file LINEA_T1.dat has 241 cells"),
            std::string::npos);
  // The track and the line file of another compile, without the station file.
  fs.delete_file(at("out", "LINEA_T1.sim"));
  EXPECT_EQ(refusal(fs, "out"),
            "the files were not written by one compile: the line file LINEA_linea.dat has 10001 "
            "points (0 .. 10000), a track of 10000 m, which has 201 cells (0 .. 200), but the "
            "track file LINEA_T1.dat has 241 cells (0 .. 240); a compile that writes no line "
            "file (--no-line-file) leaves an earlier one in place, and every train of the line "
            "shares it");
  reset();

  // Another train's files under this one's names: the stamps tell.
  fs.add_file(at("out", "LINEA_T1.dat"), clean.at(at("train2", "LINEA_T2.dat")));
  const int16_t t1 = identity_codes("LINEA", "T1").ordinary;
  EXPECT_EQ(refusal(fs, "out"),
            "LINEA_T1.dat was not stamped by the compiler for line LINEA and train T1: the "
            "ordinary identity code (cell 1 value 2) is " +
                std::to_string(identity_codes("LINEA", "T2").ordinary) +
                ", where these names give " + std::to_string(t1));
  reset();
  fs.add_file(at("out", "LINEA_T1.sim"), clean.at(at("train2", "LINEA_T2.sim")));
  EXPECT_EQ(refusal(fs, "out"),
            "LINEA_T1.sim holds the station file of line LINEA and train T2, which the compiler "
            "names LINEA_T2.sim: the file was renamed, or not written by the compiler");
  reset();
  // Stamps not the compiler's.
  std::string track = clean.at(at("out", "LINEA_T1.dat"));
  track[15 + 1] = 7;
  track[15 + 2] = 0;
  fs.add_file(at("out", "LINEA_T1.dat"), track);
  EXPECT_EQ(refusal(fs, "out"),
            "LINEA_T1.dat was not stamped by the compiler for line LINEA and train T1: the "
            "identity marker (cell 1 value 1) is 7, where the compiler writes 5121");
  reset();
  EXPECT_EQ(refusal(fs, "out"), "(accepted)");
}

// A compile without a line file leaves an older one: it is taken when it fits
// the new length, refused when it does not.
TEST(SetCheckTest, ALineFileLeftByAnEarlierCompile) {
  platform::MemoryFileSystem fs;
  compile(fs, "out", route_of_length(3000), kTrain);
  compile(fs, "out", route_of_length(3000), kTrain, false);
  EXPECT_EQ(refusal(fs, "out"), "(accepted)");
  compile(fs, "out", route_of_length(4000), kTrain, false);
  EXPECT_NE(refusal(fs, "out").find("leaves an earlier one in place"), std::string::npos);
  fs.delete_file(at("out", "LINEA_linea.dat"));
  EXPECT_EQ(refusal(fs, "out"), "(accepted)");
}

// A station file that says a line length of 2 000 000 000 m: a length the
// compiler refuses, so the track and the line file are held to each other;
// nothing is sized from the length.
TEST(SetCheckTest, AHugeLineLengthSizesNothing) {
  model::Scenario s = small_scenario();
  s.item_table[84].area_end = 2000000000;
  platform::MemoryFileSystem fs;
  fs.add_file(at("out", "LINEA_TR1.sim"), model::encode_station_file(s));
  fs.add_file(at("out", "LINEA_TR1.dat"), model::encode_track_file(s));
  fs.add_file(at("out", "LINEA_linea.dat"), model::encode_line_file(s));
  EXPECT_EQ(refusal(fs, "out"), "(accepted)");

  // A track file that does not fit the line file.
  model::Scenario longer = small_scenario();
  longer.track.resize(241);
  fs.add_file(at("out", "LINEA_TR1.dat"), model::encode_track_file(longer));
  EXPECT_NE(refusal(fs, "out").find("a track of 10000 m, which has 201 cells (0 .. 200), but the "
                                    "track file LINEA_TR1.dat has 241 cells"),
            std::string::npos)
      << refusal(fs, "out");

  // A length the compiler takes, far longer than the track.
  s.item_table[84].area_end = 999000;
  fs.add_file(at("out", "LINEA_TR1.sim"), model::encode_station_file(s));
  fs.add_file(at("out", "LINEA_TR1.dat"), model::encode_track_file(small_scenario()));
  EXPECT_NE(refusal(fs, "out").find("line length 999000 m needs 20121 cells (0 .. 20120)"),
            std::string::npos)
      << refusal(fs, "out");
}

// Files larger than the compiler ever writes are refused by their size,
// before they are read.
TEST(SetCheckTest, FilesPastTheLargestAreNotRead) {
  platform::MemoryFileSystem fs;
  compile(fs, "out", route_of_length(3000), kTrain);
  const std::map<std::string, std::string> clean = fs.files();
  struct Case {
    const char* file;
    uint64_t size;
    const char* message;
  } cases[] = {
      {"LINEA_T1.dat", kMaxTrackFileSize + 15,
       "LINEA_T1.dat: 302130 bytes is more than the largest track file the compiler writes, "
       "302115 bytes (a route of 1000000 m): it is not one, and is not read"},
      {"LINEA_linea.dat", kMaxLineFileSize + 2,
       "LINEA_linea.dat: 20140022 bytes is more than the largest line file"},
      {"LINEA_T1.sim", kMaxStationFileSize + 1,
       "LINEA_T1.sim: 5704504 bytes is more than the largest station file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    for (const auto& [path, bytes] : clean) fs.add_file(path, bytes);
    fs.add_file(at("out", c.file), std::string(c.size, '\0'));
    EXPECT_EQ(refusal(fs, "out").rfind(c.message, 0), 0u) << refusal(fs, "out");
    EXPECT_EQ(refusal(fs, at("out", c.file)).rfind(c.message, 0), 0u);
  }
  // Neither a link nor a pipe is read.
  for (const auto& [path, bytes] : clean) fs.add_file(path, bytes);
  fs.add_link(at("out", "L_T.sim"));
  fs.add_other(at("out", "P_T.dat"));
  EXPECT_EQ(refusal(fs, "out"), "(accepted)");  // only regular files are listed
  EXPECT_NE(refusal(fs, at("out", "L_T.sim")).find("is a symbolic link, not a regular file"),
            std::string::npos);
  EXPECT_NE(refusal(fs, at("out", "P_T.dat")).find("is a pipe, device or socket"),
            std::string::npos);
}

// Line files crafted to hold more values than any plan, or values laid out
// as the compiler never writes them.
TEST(SetCheckTest, CraftedLineFilesAreRefused) {
  platform::MemoryFileSystem fs;
  compile(fs, "out", route_of_length(3000), kTrain);
  const std::string line = fs.contents(at("out", "LINEA_linea.dat"));

  // Within the largest size, but more points than the longest plan: every
  // value empty (2 bytes).
  std::string empties(2 * (2 * static_cast<size_t>(kMaxPlanPoints) + 2), '\0');
  fs.add_file(at("out", "LINEA_linea.dat"), empties);
  EXPECT_NE(refusal(fs, "out").find("LINEA_linea.dat: line file: more than 2014002 values "
                                    "(1007001 points)"),
            std::string::npos)
      << refusal(fs, "out");

  // A double where point 0 is an integer: the same number of values.
  std::string doubled = line;
  doubled.replace(0, 4, std::string("\x05\x00", 2) + std::string(8, '\0'));
  ASSERT_EQ(read_line_file(doubled).x.size(), 10001u);
  fs.add_file(at("out", "LINEA_linea.dat"), doubled);
  EXPECT_NE(refusal(fs, "out").find("LINEA_linea.dat is not laid out as the compiler writes a "
                                    "line file: x of point 0 is a double"),
            std::string::npos)
      << refusal(fs, "out");

  // A value after the empty points: x holds points 0 and 1 as integers (4
  // bytes each), 2 .. 9998 as doubles (10 bytes each), then empty points (2
  // bytes each); x of point 10000 becomes an integer.
  LineFile parsed = read_line_file(line);
  ASSERT_EQ(parsed.x[9998].type, kPlanDouble);
  ASSERT_EQ(parsed.x[9999].type, kPlanEmpty);
  std::string late = line;
  const size_t point_10000 = 2 * 4 + 9997 * 10 + 2;
  late.replace(point_10000, 2, std::string("\x02\x00\x07\x00", 4));
  fs.add_file(at("out", "LINEA_linea.dat"), late);
  EXPECT_NE(refusal(fs, "out").find("x of point 10000 is a 16-bit integer"), std::string::npos)
      << refusal(fs, "out");
}

// A line file of 10001 points as the compiler writes it: points 0 and 1 as
// 16-bit integers, 2 .. 9998 as doubles, the last two empty.
char usual_layout(bool, int m) { return m < 2 ? 'i' : m <= 9998 ? 'd' : 'e'; }

// Line files of the right size laid out point by point: the compiler writes
// points 0 and 1 as 16-bit integers, the computed points after them as
// doubles, then empty ones, the same in both halves.
TEST(SetCheckTest, TheLayoutOfTheLineFilePointByPoint) {
  platform::MemoryFileSystem fs;
  compile(fs, "out", route_of_length(3000), kTrain);
  constexpr int kPoints = 10001;
  // The type of each value: 'i' a 16-bit integer, 'd' a double, 'e' empty.
  using Layout = char (*)(bool y, int point);
  auto bytes_of = [](Layout layout) {
    std::string out;
    for (bool y : {false, true}) {
      for (int m = 0; m < kPoints; ++m) {
        switch (layout(y, m)) {
          case 'i':
            out += std::string("\x02\x00\x07\x00", 4);
            break;
          case 'd':
            out += std::string("\x05\x00", 2) + std::string(8, '\0');
            break;
          default:
            out += std::string(2, '\0');
        }
      }
    }
    return out;
  };
  const struct {
    const char* name;
    Layout layout;
    const char* refusal;  // a part of the message; "(accepted)"
  } cases[] = {
      {"as written", usual_layout, "(accepted)"},
      {"only points 0 and 1", [](bool, int m) { return m < 2 ? 'i' : 'e'; }, "(accepted)"},
      {"point 2 an integer", [](bool, int m) { return m < 3       ? 'i'
                                                      : m <= 9998 ? 'd'
                                                                  : 'e'; },
       "x of point 2 is a 16-bit integer, where the compiler writes only points 0 and 1"},
      {"point 2 of y an integer",
       [](bool y, int m) { return m < 2 || (y && m == 2) ? 'i'
                                  : m <= 9998            ? 'd'
                                                         : 'e'; },
       "y of point 2 is a 16-bit integer"},
      {"point 1 a double", [](bool, int m) { return m < 1       ? 'i'
                                                    : m <= 9998 ? 'd'
                                                                : 'e'; },
       "x of point 1 is a double, where the compiler writes points 0 and 1 as 16-bit integers"},
      {"point 1 empty", [](bool, int m) { return m == 1 ? 'e' : usual_layout(false, m); },
       "x of point 2 holds a value after the empty point 1"},
      {"a late integer", [](bool, int m) { return m == 10000 ? 'i' : usual_layout(false, m); },
       "x of point 10000 is a 16-bit integer"},
      {"one point fewer in y",
       [](bool y, int m) { return y && m == 9998 ? 'e' : usual_layout(y, m); },
       "the x half holds 9999 computed points and the y half 9998"},
      {"one point fewer in x",
       [](bool y, int m) { return !y && m == 9998 ? 'e' : usual_layout(y, m); },
       "the x half holds 9998 computed points and the y half 9999"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string line = bytes_of(c.layout);
    ASSERT_EQ(read_line_file(line).x.size(), static_cast<size_t>(kPoints));
    fs.add_file(at("out", "LINEA_linea.dat"), line);
    const std::string message = refusal(fs, "out");
    EXPECT_NE(message.find(c.refusal), std::string::npos) << message;
  }
}

}  // namespace
}  // namespace tools
