// The programs run as processes, each in a fresh folder of its own (they
// write beside their executable).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

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
  void SetUp() override {
    dir_ =
        fs::temp_directory_path() / ("program_test_" + std::to_string(::getpid()) + "_" +
                                     testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "bin");
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Copies `program` into the test's bin folder and runs it there with no
  // standard input.
  ProcessRun run(const fs::path& program, const std::string& args = "") {
    fs::path exe = dir_ / "bin" / program.filename();
    fs::copy_file(program, exe, fs::copy_options::overwrite_existing);
    std::string command = "cd '" + (dir_ / "bin").string() + "' && '" + exe.string() + "' " + args +
                          " </dev/null >'" + (dir_ / "out").string() + "' 2>'" +
                          (dir_ / "err").string() + "'";
    int raw = std::system(command.c_str());
    ProcessRun r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = slurp(dir_ / "out");
    r.err = slurp(dir_ / "err");
    fs::remove(exe);
    return r;
  }

  fs::path write(const std::string& name, const std::string& text) {
    fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary) << text;
    return p;
  }

  fs::path dir_;
};

TEST_F(ProgramTest, ABuiltInRunLeavesTheDocumentsAndTheCompiledFiles) {
  ProcessRun first = run(SCENARIO_COMPILER);
  EXPECT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(first.out, "Attendere\n");
  EXPECT_EQ(first.err, "");
  fs::path bin = dir_ / "bin";
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

TEST_F(ProgramTest, AFileThatCannotBeWrittenEndsTheProgramWithAReport) {
  // A folder in the place of the route description: its writer cannot create it.
  fs::create_directory(dir_ / "bin" / "BRENTALVO_linea.txt");
  ProcessRun r = run(SCENARIO_COMPILER);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("run-time error 75"), std::string::npos) << r.err;
  EXPECT_EQ(names_in(dir_ / "bin"), std::set<std::string>{"BRENTALVO_linea.txt"});
}

TEST_F(ProgramTest, AnIdentityErrorShowsItsMessageAndWritesNoCompiledFile) {
  // A signal at 0 m sits in cell 1, whose first value is reserved.
  fs::path route = write("route.txt", "[generale]\r\nlunghezza percorso, 10000\r\n[fine]\r\n");
  fs::path train =
      write("train.txt", "[generale]\r\nsegnale, 0, 1,1,0,0,0,0,0,0,0,0\r\n[fine]\r\n");
  ProcessRun r = run(SCENARIO_TEST_PROGRAM, "'" + route.string() + "' '" + train.string() + "'");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "Attendere\n Errore n. 1250\n");
  EXPECT_TRUE(names_in(dir_ / "bin").empty());  // descriptions read and deleted, nothing written
}

TEST_F(ProgramTest, ARouteWithoutLengthEndsWithARunTimeFailure) {
  fs::path route = write("route.txt", "[generale]\r\nsfondo uno, 1\r\n[curve]\r\n[fine]\r\n");
  fs::path train = write("train.txt", "[generale]\r\n[fine]\r\n");
  ProcessRun r = run(SCENARIO_TEST_PROGRAM, "'" + route.string() + "' '" + train.string() + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("run-time error 9"), std::string::npos) << r.err;
  EXPECT_TRUE(names_in(dir_ / "bin").empty());
}

}  // namespace
