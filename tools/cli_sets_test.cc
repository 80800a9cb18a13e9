// inspect and render through the command line on sets that do not belong
// together, on files crafted to be huge, and on where the drawing goes. The
// crafted files are read by the executable itself, run with little memory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "compiled/compiled_reader.h"
#include "compiled/test_scenario.h"
#include "model/compiled_files.h"
#include "tools/cli.h"
#include "tools/preview/html_preview.h"
#include "tools/preview/render.h"
#include "tools/preview/xml_check.h"
#include "tools/tool_run.h"

extern char** environ;

namespace tools {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::small_scenario;
using testing::TempFolder;
using testing::write_compiled;
using testing::write_file;

using testing::tool;
using testing::ToolRun;

// The executable run as a child, its address space capped at
// kAddressSpaceLimit (but under AddressSanitizer, which reserves terabytes of
// it): a run that tried to read or draw a crafted file whole would fail for
// want of memory. Its exit status, how long it took and what it printed on
// standard error.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

// Far below what reading or drawing a crafted file whole takes (the tool
// before its bounds went to gigabytes), far above what the largest real set
// needs (about 60 MB).
constexpr rlim_t kAddressSpaceLimit = rlim_t{512} << 20;

struct ChildRun {
  int status = -1;
  double seconds = 0;
  std::string err;
};

ChildRun run_executable(const std::vector<std::string>& args, const fs::path& dir) {
  std::vector<std::string> all{SCENARIO_TOOL};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  const std::string err = (dir / "child.err").string();
  ChildRun r;
  auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid < 0) return r;
  if (pid == 0) {
    // Only calls that are safe between fork and exec.
    if (!kAddressSanitizer) {
      struct rlimit limit {
        kAddressSpaceLimit, kAddressSpaceLimit
      };
      if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(120);
    }
    int in = open("/dev/null", O_RDONLY);
    int out = open("/dev/null", O_WRONLY);
    int error = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0 || error < 0) _exit(121);
    dup2(in, 0);
    dup2(out, 1);
    dup2(error, 2);
    execve(argv[0], argv.data(), environ);
    _exit(122);
  }
  int raw = 0;
  if (waitpid(pid, &raw, 0) != pid) return r;
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.err = read_file(err);
  return r;
}

// ---- Sets that do not belong together ---------------------------------------------

TEST(CliSetsTest, ASetOfTwoCompilesIsRefused) {
  TempFolder dir("mixed");
  model::Scenario s = small_scenario();
  write_compiled(s, dir.path());
  ASSERT_EQ(tool({"inspect", dir.path().string()}).status, 0);

  // A track file of the same names but a longer line: another compile's.
  model::Scenario longer = small_scenario();
  longer.track.resize(241);
  write_file(dir.path() / "LINEA_TR1.dat", model::encode_track_file(longer));
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"inspect", dir.path().string()},
        std::vector<std::string>{"inspect", dir.path().string(), "--json"},
        std::vector<std::string>{"render", (dir.path() / "LINEA_TR1.sim").string(), "--svg",
                                 (dir.path() / "d.svg").string()}}) {
    ToolRun r = tool(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "scenario_tool: the files were not written by one compile: the track file "
              "LINEA_TR1.dat has 241 cells (0 .. 240) but the station file LINEA_TR1.sim's line "
              "length 3000 m needs 201 cells (0 .. 200): 3000 m and 7000 m of spare track, a cell "
              "per 50 m\n");
  }
  EXPECT_FALSE(fs::exists(dir.path() / "d.svg"));
  // Each file alone is still shown.
  EXPECT_EQ(tool({"inspect", (dir.path() / "LINEA_TR1.dat").string()}).status, 0);
}

// A compile without a line file: inspected and drawn without the plan.
TEST(CliSetsTest, ASetWithoutItsLineFileInspectsAndDraws) {
  TempFolder dir("noline");
  model::Scenario s = small_scenario();
  write_file(dir.path() / "LINEA_TR1.sim", model::encode_station_file(s));
  write_file(dir.path() / "LINEA_TR1.dat", model::encode_track_file(s));
  ToolRun r = tool({"inspect", dir.path().string(), "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  nlohmann::json j = nlohmann::json::parse(r.out);
  EXPECT_TRUE(j["line_file"].is_null());
  EXPECT_EQ(j["track_file"]["cell_count"], 200);
  r = tool({"render", dir.path().string(), "--svg", "-"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.rfind(kDrawingProlog, 0), 0u);
  EXPECT_NE(r.out.find("no line file: the plan is not drawn"), std::string::npos);
}

// ---- Crafted files: refused fast, in little memory ------------------------------

TEST(CliSetsTest, CraftedHugeFilesAreRefusedFastInLittleMemory) {
  TempFolder dir("huge");
  model::Scenario s = small_scenario();
  // A station file that says its line is 2 000 000 000 m long, with a track
  // file that is not the one of its line file.
  s.item_table[84].area_end = 2000000000;
  write_compiled(s, dir.path());
  model::Scenario longer = small_scenario();
  longer.track.resize(241);
  write_file(dir.path() / "LINEA_TR1.dat", model::encode_track_file(longer));
  ChildRun r = run_executable({"inspect", dir.path().string()}, dir.path());
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("which has 201 cells (0 .. 200), but the track file LINEA_TR1.dat has 241"),
            std::string::npos)
      << r.err;

  // With its own track file, the set is the compiler's own (a refused
  // second length row): shown and drawn, nothing sized from the length.
  write_file(dir.path() / "LINEA_TR1.dat", model::encode_track_file(s));
  r = run_executable({"render", dir.path().string(), "--svg", (dir.path() / "d.svg").string()},
                     dir.path());
  EXPECT_EQ(r.status, 0) << r.err;

  // Line files of 60 MB (which took the tool past 512 MB before its bounds)
  // and of a gigabyte, sparse (all empty values): refused by their size.
  for (off_t size : {off_t{60} << 20, off_t{1} << 30}) {
    std::FILE* f = std::fopen((dir.path() / "LINEA_linea.dat").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(::ftruncate(fileno(f), size), 0);
    std::fclose(f);
    for (const std::string command : {"inspect", "render"}) {
      SCOPED_TRACE(command + " " + std::to_string(size));
      std::vector<std::string> args{command, dir.path().string()};
      if (command == "render") {
        args.insert(args.end(), {"--svg", (dir.path() / "d.svg").string()});
      }
      r = run_executable(args, dir.path());
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(r.err, "scenario_tool: LINEA_linea.dat: " + std::to_string(size) +
                           " bytes is more than the largest line file the compiler writes, "
                           "20140020 bytes (a route of 1000000 m): it is not one, and is not "
                           "read\n");
      EXPECT_LT(r.seconds, 20);
    }
  }

  // A line file just within the largest size, of empty values: more points
  // than any plan, refused while it is decoded.
  write_file(dir.path() / "LINEA_linea.dat", std::string(kMaxLineFileSize, '\0'));
  r = run_executable({"inspect", (dir.path() / "LINEA_linea.dat").string()}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("more than 2014002 values"), std::string::npos) << r.err;
}

// ---- Where the drawing goes -------------------------------------------------------

TEST(CliSetsTest, RenderNeverReplacesWhatItDidNotDraw) {
  struct Format {
    const char* option;
    const char* name;         // of its own drawing
    std::string_view prolog;  // that begins every drawing
    const char* not_ours;     // the refusal of another file
  };
  for (const Format& format :
       {Format{"--svg", "drawing.svg", kDrawingProlog, " exists and is not a drawing of "},
        Format{"--html", "page.html", kPreviewProlog, " exists and is not a page of "}}) {
    SCOPED_TRACE(format.option);
    TempFolder dir("target");
    model::Scenario s = small_scenario();
    write_compiled(s, dir.path());
    write_file(dir.path() / "LINEA_linea.txt", "[generale]\r\n");
    write_file(dir.path() / "LINEA_TR1-.txt", "[generale]\r\n");
    write_file(dir.path() / "notes.html", "<html>mine</html>");
    const std::string station = read_file(dir.path() / "LINEA_TR1.sim");
    auto render_to = [&](const std::string& name) {
      return tool({"render", dir.path().string(), format.option, (dir.path() / name).string()});
    };
    for (const char* name :
         {"LINEA_TR1.sim", "LINEA_TR1.dat", "LINEA_linea.txt", "LINEA_TR1-.txt", "notes.html"}) {
      SCOPED_TRACE(name);
      std::string before = read_file(dir.path() / name);
      ToolRun r = render_to(name);
      EXPECT_EQ(r.status, 2);
      EXPECT_EQ(r.out, "");
      EXPECT_NE(r.err.find(name == std::string("notes.html") ? format.not_ours
                                                             : ": refused: a name ending in"),
                std::string::npos)
          << r.err;
      EXPECT_EQ(read_file(dir.path() / name), before);
    }
    EXPECT_EQ(read_file(dir.path() / "LINEA_TR1.sim"), station);

    // Its own drawing, then over it.
    ToolRun first = render_to(format.name);
    ASSERT_EQ(first.status, 0) << first.err;
    std::string drawing = read_file(dir.path() / format.name);
    EXPECT_EQ(drawing.rfind(format.prolog, 0), 0u);
    if (format.option == std::string("--svg")) {
      EXPECT_EQ(testing::parse_xml(drawing).error, "");
    }
    write_file(dir.path() / format.name, drawing + "<!-- edited -->\n");
    ToolRun again = render_to(format.name);
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(read_file(dir.path() / format.name), drawing);
    // Standard output: the same bytes, and nothing else.
    ToolRun piped = tool({"render", dir.path().string(), format.option, "-"});
    ASSERT_EQ(piped.status, 0);
    EXPECT_EQ(piped.out, drawing);
    EXPECT_EQ(piped.err, "");
    // No temporary left behind.
    size_t entries = 0;
    for (const auto& e : fs::directory_iterator(dir.path())) {
      EXPECT_EQ(e.path().filename().string().find(".partial-"), std::string::npos);
      ++entries;
    }
    EXPECT_EQ(entries, 7u);
  }
}

}  // namespace
}  // namespace tools
