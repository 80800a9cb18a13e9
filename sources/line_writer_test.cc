#include "sources/line_writer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/files.h"

namespace sources {
namespace {

namespace fs = std::filesystem;

class LineWriterTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("line_writer_test_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    path_ = platform::join_path(dir_.string(), "text.txt");
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
  std::string path_;
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
