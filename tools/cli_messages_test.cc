// What the tool says, and the status it ends with, when a name or a file is
// not what a command needs: each message names what the author gave and
// the system's reason, never a hidden temporary or a false cause.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "compiled/test_scenario.h"
#include "tools/tool_run.h"

namespace tools {
namespace {

namespace fs = std::filesystem;
using testing::small_scenario;
using testing::TempFolder;
using testing::tool;
using testing::ToolRun;
using testing::write_compiled;
using testing::write_file;

class CliMessagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    write_file(route_, testing::kSmallRoute);
    write_file(train_, testing::kSmallTrain);
    fs::create_directories(dir_.path() / "set");
    write_compiled(small_scenario(), dir_.path() / "set");
  }
  fs::path at(const std::string& name) const { return dir_.path() / name; }
  std::vector<std::string> compile(const std::string& out) const {
    return {"compile", "--route", route_.string(), "--train", train_.string(), "--out", out};
  }

  TempFolder dir_{"cli_messages"};
  fs::path route_ = dir_.path() / "r.txt", train_ = dir_.path() / "t.txt";
};

TEST_F(CliMessagesTest, RefusalsSayWhatIsWrongWithWhatWasGiven) {
  fs::create_symlink(at("r.txt"), at("link_to_file"));
  const std::string too_long_name(300, 'n');
  struct Case {
    std::string what;
    std::function<void()> arrange;  // may be empty
    std::vector<std::string> args;
    int status;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"a description whose name the system refuses",
       {},
       {"check", "--route", at(too_long_name).string(), "--train", train_.string()},
       2,
       "--route: cannot look at " + at(too_long_name).string() + " (File name too long)"},
      {"an empty --out", {}, compile(""), 2, "--out: the name is empty"},
      {"an empty folder for new", {}, {"new", ""}, 2, "DIR: the name is empty"},
      {"an empty folder for builtin", {}, {"builtin", ""}, 2, "DIR: the name is empty"},
      {"--out a link to a file",
       {},
       compile(at("link_to_file").string()),
       2,
       "--out " + at("link_to_file").string() +
           " is a symbolic link that does not lead to a folder"},
      {"a train code whose track file is the line file",
       {},
       {"new", at("n").string(), "--train-code", "linea"},
       2,
       "train code \"linea\" is refused: the track file LINE_linea.dat would be the line file"},
      {"a page into a folder that is not there",
       {},
       {"render", at("set").string(), "--html", at("nodir/x.html").string()},
       2,
       "cannot write the page " + at("nodir/x.html").string() + ": the folder " +
           at("nodir").string() + " does not exist"},
      {"a track file that is a pipe",
       [this] {
         fs::remove(at("set/LINEA_TR1.dat"));
         ASSERT_EQ(::mkfifo(at("set/LINEA_TR1.dat").c_str(), 0600), 0);
       },
       {"inspect", at("set").string()},
       2,
       at("set/LINEA_TR1.dat").string() + " (is a pipe, device or socket, not a regular file)"},
      {"a track file that is a folder",
       [this] {
         fs::remove(at("set/LINEA_TR1.dat"));
         fs::create_directories(at("set/LINEA_TR1.dat"));
       },
       {"render", at("set/LINEA_TR1.sim").string(), "--svg", at("d.svg").string()},
       2,
       at("set/LINEA_TR1.dat").string() + " (is a folder, not a regular file)"},
      {"a track file that is a link",
       [this] {
         fs::remove(at("set/LINEA_TR1.dat"));
         fs::create_symlink(at("elsewhere.dat"), at("set/LINEA_TR1.dat"));
       },
       {"inspect", at("set").string()},
       2,
       at("set/LINEA_TR1.dat").string() + " (is a symbolic link, not a regular file)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    if (c.arrange) c.arrange();
    ToolRun r = tool(c.args);
    EXPECT_EQ(r.status, c.status);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("File does not exist"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find(".partial-"), std::string::npos) << r.err;
    fs::remove_all(at("set"));
    fs::create_directories(at("set"));
  }
  EXPECT_FALSE(fs::exists(at("d.svg")));
  EXPECT_FALSE(fs::exists(at("n")));
}

TEST_F(CliMessagesTest, AFolderThatCannotBeSearchedIsNotAMissingFile) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not hold for root";
  fs::create_directories(at("locked"));
  write_file(at("locked/r.txt"), testing::kSmallRoute);
  fs::permissions(at("locked"), fs::perms::none);
  ToolRun r = tool({"check", "--route", at("locked/r.txt").string(), "--train", train_.string()});
  fs::permissions(at("locked"), fs::perms::owner_all);
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(
      r.err.find("--route: cannot look at " + at("locked/r.txt").string() + " (Permission denied)"),
      std::string::npos)
      << r.err;
}

TEST_F(CliMessagesTest, FoldersGivenThroughALinkAndLongNamesAreWrittenInto) {
  fs::create_directories(at("real"));
  fs::create_symlink(at("real"), at("link"));
  ToolRun r = tool(compile(at("link").string()));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(at("real/BRENTALVO_TRN4417.sim")));
  EXPECT_TRUE(fs::is_symlink(at("link")));

  fs::create_directories(at("real2"));
  fs::create_symlink(at("real2"), at("link2"));
  r = tool({"new", at("link2").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(at("real2/BRENTALVO_linea.txt")));

  // A drawing's name of up to 255 bytes, the longest a name may be.
  for (size_t length : {229u, 255u}) {
    const fs::path svg = at(std::string(length - 4, 'd') + ".svg");
    r = tool({"render", at("set").string(), "--svg", svg.string()});
    EXPECT_EQ(r.status, 0) << length << ": " << r.err;
    EXPECT_TRUE(fs::exists(svg)) << length;
  }
}

}  // namespace
}  // namespace tools
