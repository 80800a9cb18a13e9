// The programs run as processes, each in a fresh folder of its own (they
// write beside their executable).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>

#include "platform/scoped_temp_dir.h"
#include "platform/set_journal.h"
#include "sources/builtin_texts.h"
#include "sources/line_writer.h"

namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::set<std::string> names_in(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
  return names;
}

struct ProcessRun {
  int status = -1;
  std::string out;
  std::string err;
};

class ProgramTest : public testing::Test {
 protected:
  void SetUp() override { fs::create_directories(dir_.path() / "bin"); }

  // Copies `program` into the test's bin folder and runs it there with no
  // standard input.
  ProcessRun run(const fs::path& program, const std::string& args = "") {
    fs::path exe = dir_.path() / "bin" / program.filename();
    fs::copy_file(program, exe, fs::copy_options::overwrite_existing);
    std::string command = "cd '" + (dir_.path() / "bin").string() + "' && '" + exe.string() + "' " +
                          args + " </dev/null >'" + (dir_.path() / "out").string() + "' 2>'" +
                          (dir_.path() / "err").string() + "'";
    int raw = std::system(command.c_str());
    ProcessRun r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = slurp(dir_.path() / "out");
    r.err = slurp(dir_.path() / "err");
    fs::remove(exe);
    return r;
  }

  fs::path write(const std::string& name, const std::string& text) {
    fs::path p = dir_.path() / name;
    std::ofstream(p, std::ios::binary) << text;
    return p;
  }

  platform::ScopedTempDir dir_{std::string("program_test_") +
                               testing::UnitTest::GetInstance()->current_test_info()->name()};
};

TEST_F(ProgramTest, ABuiltInRunLeavesTheDocumentsAndTheCompiledFiles) {
  ProcessRun first = run(SCENARIO_COMPILER);
  EXPECT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(first.out, "Attendere\n");
  EXPECT_EQ(first.err, "");
  fs::path bin = dir_.path() / "bin";
  EXPECT_EQ(names_in(bin), (std::set<std::string>{
                               "BRENTALVO_TRN4417_scheda_treno.txt",
                               "BRENTALVO_TRN4417_rallentamenti.txt",
                               "BRENTALVO_TRN4417_note.txt",
                               "BRENTALVO_linea.dat",
                               "BRENTALVO_TRN4417.sim",
                               "BRENTALVO_TRN4417.dat",
                           }));
  EXPECT_EQ(fs::file_size(bin / "BRENTALVO_linea.dat"), 2139964u);
  EXPECT_EQ(fs::file_size(bin / "BRENTALVO_TRN4417.dat"), 32115u);

  std::string line = slurp(bin / "BRENTALVO_linea.dat");
  std::string station = slurp(bin / "BRENTALVO_TRN4417.sim");
  std::string track = slurp(bin / "BRENTALVO_TRN4417.dat");
  ProcessRun second = run(SCENARIO_COMPILER);
  EXPECT_EQ(second.status, 0);
  EXPECT_TRUE(slurp(bin / "BRENTALVO_linea.dat") == line);
  EXPECT_TRUE(slurp(bin / "BRENTALVO_TRN4417.sim") == station);
  EXPECT_TRUE(slurp(bin / "BRENTALVO_TRN4417.dat") == track);
}

TEST_F(ProgramTest, WithArgumentsItOnlyAnswersAndWritesNothing) {
  struct Case {
    std::string args;
    int status;
    std::string out_has, err_has;
  };
  const Case cases[] = {
      {"--help", 0, "usage: scenario_compiler\n", ""},
      {"-h", 0, "It takes no arguments.", ""},
      {"--version", 0, "scenario_compiler 1.", ""},
      {"--verbose", 2, "", "unknown argument \"--verbose\": it takes none"},
      {"route.txt train.txt", 2, "", "2 arguments given: it takes none"},
      {"--help --version", 2, "", "2 arguments given"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    ProcessRun r = run(SCENARIO_COMPILER, c.args);
    EXPECT_EQ(r.status, c.status);
    if (c.out_has.empty()) {
      EXPECT_EQ(r.out, "");
    } else {
      EXPECT_NE(r.out.find(c.out_has), std::string::npos) << r.out;
    }
    if (c.err_has.empty()) {
      EXPECT_EQ(r.err, "");
    } else {
      EXPECT_NE(r.err.find(c.err_has), std::string::npos) << r.err;
      EXPECT_NE(r.err.find("usage: scenario_compiler"), std::string::npos);
    }
    EXPECT_TRUE(names_in(dir_.path() / "bin").empty());
  }
}

TEST_F(ProgramTest, AFileThatCannotBeWrittenEndsTheProgramWithAReport) {
  // A folder in the place of the route description: its writer cannot create it.
  fs::create_directory(dir_.path() / "bin" / "BRENTALVO_linea.txt");
  ProcessRun r = run(SCENARIO_COMPILER);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("run-time error 75"), std::string::npos) << r.err;
  EXPECT_EQ(names_in(dir_.path() / "bin"), std::set<std::string>{"BRENTALVO_linea.txt"});
}

TEST_F(ProgramTest, AnIdentityErrorShowsItsMessageAndWritesNoCompiledFile) {
  // A signal at 0 m sits in cell 1, whose first value is reserved.
  fs::path route = write("route.txt", "[generale]\r\nlunghezza percorso, 10000\r\n[fine]\r\n");
  fs::path train =
      write("train.txt", "[generale]\r\nsegnale, 0, 1,1,0,0,0,0,0,0,0,0\r\n[fine]\r\n");
  ProcessRun r = run(SCENARIO_TEST_PROGRAM, "'" + route.string() + "' '" + train.string() + "'");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "Attendere\n Errore n. 1250\n");
  EXPECT_TRUE(
      names_in(dir_.path() / "bin").empty());  // descriptions read and deleted, nothing written
}

TEST_F(ProgramTest, ARouteWithoutLengthEndsWithARunTimeFailure) {
  fs::path route = write("route.txt", "[generale]\r\nsfondo uno, 1\r\n[curve]\r\n[fine]\r\n");
  fs::path train = write("train.txt", "[generale]\r\n[fine]\r\n");
  ProcessRun r = run(SCENARIO_TEST_PROGRAM, "'" + route.string() + "' '" + train.string() + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("run-time error 9"), std::string::npos) << r.err;
  EXPECT_TRUE(names_in(dir_.path() / "bin").empty());
}

// The six files a built-in run leaves, with their bytes.
std::map<std::string, std::string> files_in(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::directory_iterator(dir)) {
    files[e.path().filename().string()] = slurp(e.path());
  }
  return files;
}

TEST_F(ProgramTest, RunsInOneFolderAtOnceWaitForEachOther) {
  fs::path bin = dir_.path() / "bin";
  ASSERT_EQ(run(SCENARIO_COMPILER).status, 0);
  const std::map<std::string, std::string> expected = files_in(bin);
  ASSERT_EQ(expected.size(), 6u);

  fs::path exe = bin / "scenario_compiler";
  fs::copy_file(SCENARIO_COMPILER, exe);
  // Three at once, ten times: each must end normally with the whole scenario.
  std::string command = "cd '" + bin.string() + "' && for i in 1 2 3 4 5 6 7 8 9 10; do " +
                        "./scenario_compiler >/dev/null & a=$!; ./scenario_compiler >/dev/null & " +
                        "b=$!; ./scenario_compiler >/dev/null || exit 1; wait $a || exit 1; " +
                        "wait $b || exit 1; done";
  EXPECT_EQ(std::system(command.c_str()), 0);
  fs::remove(exe);
  EXPECT_TRUE(files_in(bin) == expected);
}

// Starts the compiler in its folder and returns its process id.
pid_t start(const fs::path& exe) {
  pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(exe.parent_path().c_str()) != 0) ::_exit(127);
    int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  return pid;
}

TEST_F(ProgramTest, AKilledRunLeavesEveryFileWholeAndTheNextRunClearsUp) {
  fs::path bin = dir_.path() / "bin";
  ASSERT_EQ(run(SCENARIO_COMPILER).status, 0);
  const std::map<std::string, std::string> expected = files_in(bin);
  // A run killed before it has read its descriptions leaves them, whole.
  std::map<std::string, std::string> whole = expected;
  whole["BRENTALVO_linea.txt"] = sources::line_array_bytes(sources::route_description_text());
  whole["BRENTALVO_TRN4417-.txt"] = sources::line_array_bytes(sources::train_description_text());
  fs::path exe = bin / "scenario_compiler";
  fs::copy_file(SCENARIO_COMPILER, exe);

  std::mt19937 random(12345);
  for (int round = 0; round < 30; ++round) {
    const int signal_number = round % 2 == 0 ? SIGKILL : SIGTERM;
    SCOPED_TRACE("round " + std::to_string(round));
    pid_t pid = start(exe);
    ASSERT_GT(pid, 0);
    ::usleep(std::uniform_int_distribution<unsigned>(0, 20000)(random));
    ::kill(pid, signal_number);
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    const std::map<std::string, std::string> left = files_in(bin);
    // A run stopped between its set's journal and its end leaves the journal
    // and the temporaries it names: the next run completes the replacement.
    const bool journal = left.count(std::string(platform::kSetJournalName)) != 0;
    for (const auto& [name, bytes] : left) {
      if (name == "scenario_compiler" || name == platform::kSetJournalName) continue;
      if (journal && name.find(".partial-") != std::string::npos) continue;
      if (name.find(".partial-") != std::string::npos) {
        // Only a run that had no chance to clear up leaves a temporary;
        // it is cleared here to see what the next round leaves.
        EXPECT_EQ(signal_number, SIGKILL) << name << " left after SIGTERM";
        fs::remove(bin / name);
        continue;
      }
      ASSERT_TRUE(whole.count(name)) << name;
      EXPECT_TRUE(bytes == whole.at(name)) << name << " is not whole: " << bytes.size();
    }
  }
  fs::remove(exe);
  ASSERT_EQ(run(SCENARIO_COMPILER).status, 0);
  EXPECT_TRUE(files_in(bin) == expected);
}

TEST_F(ProgramTest, AStandardOutputWithNoReaderDoesNotEndTheRun) {
  // "Attendere" goes to a pipe that nobody reads: the compile goes on and
  // ends normally, as it would with its window hidden.
  fs::path bin = dir_.path() / "bin";
  fs::path exe = bin / "scenario_compiler";
  fs::copy_file(SCENARIO_COMPILER, exe);
  int pipe_ends[2];
  ASSERT_EQ(::pipe(pipe_ends), 0);
  ::close(pipe_ends[0]);
  pid_t pid = ::fork();
  if (pid == 0) {
    std::signal(SIGPIPE, SIG_DFL);
    if (::chdir(bin.c_str()) != 0) ::_exit(127);
    ::dup2(pipe_ends[1], 1);
    ::execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(pipe_ends[1]);
  int raw = 0;
  ::waitpid(pid, &raw, 0);
  fs::remove(exe);
  ASSERT_FALSE(WIFSIGNALED(raw)) << "ended by signal " << WTERMSIG(raw);
  EXPECT_EQ(WEXITSTATUS(raw), 0);
  EXPECT_EQ(files_in(bin).size(), 6u);
}

}  // namespace
