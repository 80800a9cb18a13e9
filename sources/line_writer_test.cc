#include "sources/line_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/scoped_temp_dir.h"

namespace sources {
namespace {

class LineWriterTest : public testing::Test {
 protected:
  platform::ScopedTempDir dir_{"line_writer_test"};
  std::string path_ = platform::join_path(dir_.path().string(), "text.txt");
};

TEST_F(LineWriterTest, WritesUpToTheSentinelOnly) {
  const std::vector<std::string_view> text = {"[generale]",
                                              "",
                                              "   ",
                                              "Riferimento fine del file",
                                              "riferimento fine del file ",
                                              kEndSentinel,
                                              "after the sentinel"};
  platform::replace_file(platform::real_file_system(), path_,
                         std::string(5000, 'x'));  // an older, longer file
  write_line_array(platform::real_file_system(), path_, text);
  EXPECT_EQ(platform::read_file(platform::real_file_system(), path_),
            "[generale]\r\n\r\n   \r\nRiferimento fine del file\r\nriferimento fine del file \r\n");
}

TEST_F(LineWriterTest, ATextWithoutSentinelEndsWithTheLineArray) {
  std::vector<std::string_view> text(1500, "a");
  write_line_array(platform::real_file_system(), path_, text);
  EXPECT_EQ(platform::read_file(platform::real_file_system(), path_).size(), kLineArraySlots * 3);
}

TEST_F(LineWriterTest, ALineIsWrittenWholeHoweverLong) {
  std::string longest(5000, 'y');
  const std::vector<std::string_view> text = {longest, kEndSentinel};
  write_line_array(platform::real_file_system(), path_, text);
  EXPECT_EQ(platform::read_file(platform::real_file_system(), path_), longest + "\r\n");
}

}  // namespace
}  // namespace sources
