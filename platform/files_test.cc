#include "platform/files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/runtime_failure.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

class FilesTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        fs::temp_directory_path() / ("files_test_" + std::to_string(::getpid()) + "_" +
                                     testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string path(std::string_view name) { return join_path(dir_.string(), name); }
  fs::path dir_;
};

TEST_F(FilesTest, ReplaceLeavesExactlyTheNewBytes) {
  replace_file(path("a.dat"), std::string(1000, 'x'));
  replace_file(path("a.dat"), "abc");
  EXPECT_EQ(read_file(path("a.dat")), "abc");
}

TEST_F(FilesTest, ReplaceByPartsWritesEveryPartInOrderOverAnOlderFile) {
  replace_file(path("p.dat"), std::string(100000, 'x'));
  replace_file_by_parts(path("p.dat"), [](const PartSink& sink) {
    sink("ab");
    sink("");
    sink(std::string(70000, 'c'));
    sink("d");
  });
  EXPECT_EQ(read_file(path("p.dat")), "ab" + std::string(70000, 'c') + "d");

  try {
    replace_file_by_parts(path("missing/p.dat"), [](const PartSink& sink) { sink("y"); });
    ADD_FAILURE() << "writing into a missing folder did not fail";
  } catch (const RuntimeFailure& f) {
    EXPECT_EQ(f.number(), kFileNotFound);
  }
}

TEST_F(FilesTest, TextLinesEndWithCrLf) {
  std::vector<std::string_view> lines = {"[generale]", "", "  ", "\xB0"};
  replace_text_file(path("t.txt"), lines);
  EXPECT_EQ(read_file(path("t.txt")), "[generale]\r\n\r\n  \r\n\xB0\r\n");
}

TEST_F(FilesTest, ExistenceAndDeletion) {
  EXPECT_FALSE(file_exists(path("none")));
  EXPECT_FALSE(file_exists(dir_.string()));  // a folder is not a description file
  replace_file(path("f"), "");
  EXPECT_TRUE(file_exists(path("f")));
  delete_file(path("f"));
  EXPECT_FALSE(file_exists(path("f")));
  try {
    delete_file(path("f"));
    ADD_FAILURE() << "deleting a missing file did not fail";
  } catch (const RuntimeFailure& f) {
    EXPECT_EQ(f.number(), kFileNotFound);
  }
  EXPECT_THROW(read_file(path("f")), RuntimeFailure);
}

TEST_F(FilesTest, AFileThatCannotBeCreatedFails) {
  // A folder that does not exist stands for any folder that cannot be written
  // (tests may run as root, who may write anywhere).
  try {
    replace_file(path("missing/x.dat"), "y");
    ADD_FAILURE() << "writing into a missing folder did not fail";
  } catch (const RuntimeFailure& f) {
    EXPECT_EQ(f.number(), kFileNotFound);
  }
}

TEST_F(FilesTest, JoinUsesThePlatformSeparator) {
  EXPECT_EQ(join_path("/a/b", "c.txt"), std::string("/a/b") + path_separator() + "c.txt");
#ifndef _WIN32
  EXPECT_EQ(path_separator(), '/');
#endif
  EXPECT_FALSE(app_folder().empty());
}

}  // namespace
}  // namespace platform
