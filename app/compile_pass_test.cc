#include "app/compile_pass.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "app/form_load.h"
#include "model/compile_errors.h"
#include "model/compiled_files.h"
#include "platform/fault_injecting_file_system.h"
#include "platform/files.h"
#include "platform/forwarding_file_system.h"
#include "platform/memory_file_system.h"
#include "platform/runtime_failure.h"
#include "platform/scoped_temp_dir.h"

namespace app {
namespace {

class CompilePassTest : public testing::Test {
 protected:
  void SetUp() override {
    s_.app_path = dir_.path().string();
    s_.line_name = "BRENTALVO";
    s_.train_code = "TRN4417";
  }

  std::string path(const std::string& name) {
    return platform::join_path(dir_.path().string(), name);
  }
  void write_route(const std::string& text) {
    platform::replace_file(platform::real_file_system(), path("BRENTALVO_linea.txt"), text);
  }
  void write_train(const std::string& text) {
    platform::replace_file(platform::real_file_system(), path("BRENTALVO_TRN4417-.txt"), text);
  }

  platform::ScopedTempDir dir_{std::string("compile_pass_test_") +
                               testing::UnitTest::GetInstance()->current_test_info()->name()};
  model::Scenario s_;
};

TEST_F(CompilePassTest, ARunTimeFailureWhileReadingBecomesCode25AndDeletesBothDescriptions) {
  struct Case {
    const char* name;
    std::string route;
    std::string train;
  };
  const Case cases[] = {
      {"unreadable number in the route",
       "[generale]\r\nlunghezza percorso, 10000\r\n[pendenze]\r\npendenza, 85O, 4\r\n", ""},
      {"route ends inside a row", "[generale]\r\nlunghezza percorso, 10000\r\n[x]\r\npendenza, 850",
       ""},
      {"number too large for its field in the train",
       "[generale]\r\nlunghezza percorso, 10000\r\n[fine]\r\n",
       "[generale]\r\nsabbia, 40000\r\n[fine]\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    s_.error_code = 0;
    model::clear_item_table(s_);
    write_route(c.route);
    write_train(c.train);
    memorizza_dati(s_);
    EXPECT_EQ(s_.error_code, model::kReadingFailure);
    EXPECT_FALSE(platform::file_exists(platform::real_file_system(), path("BRENTALVO_linea.txt")));
    EXPECT_FALSE(
        platform::file_exists(platform::real_file_system(), path("BRENTALVO_TRN4417-.txt")));
  }
}

TEST_F(CompilePassTest, AMissingRouteDescriptionDeletesNothing) {
  write_train("[generale]\r\n");
  memorizza_dati(s_);
  EXPECT_EQ(s_.error_code, model::kNoRouteDescription);
  EXPECT_TRUE(platform::file_exists(platform::real_file_system(), path("BRENTALVO_TRN4417-.txt")));
}

TEST_F(CompilePassTest, WithoutTheLineFileAnOlderOneIsLeftAlone) {
  write_route("[generale]\r\nlunghezza percorso, 0\r\n[fine]\r\n");
  write_train("[generale]\r\n[fine]\r\n");
  platform::replace_file(platform::real_file_system(), path("BRENTALVO_linea.dat"), "older plan");
  memorizza_percorso(s_, 0);
  EXPECT_EQ(s_.error_code, 0);
  EXPECT_FALSE(s_.track_plan_allocated);
  EXPECT_EQ(platform::read_file(platform::real_file_system(), path("BRENTALVO_linea.dat")),
            "older plan");
  EXPECT_EQ(platform::read_file(platform::real_file_system(), path("BRENTALVO_TRN4417.dat")).size(),
            2115u);  // 141 cells
  EXPECT_EQ(platform::read_file(platform::real_file_system(), path("BRENTALVO_TRN4417.sim")).size(),
            2958u + s_.line_name.size() + s_.train_code.size());
}

TEST_F(CompilePassTest, CompileErrorsStillWriteTheCompiledFiles) {
  // Two route signs on one cell: code 6 with the second sign's position.
  write_route(
      "[generale]\r\nlunghezza percorso, 10000\r\n[indicazioni]\r\n"
      "cartello_indicatore,  3000,   (A)(B)\r\ncartello_indicatore,  3010,   (C)(D)\r\n[fine]\r\n");
  write_train("[generale]\r\n[fine]\r\n");
  memorizza_percorso(s_, 1);
  EXPECT_EQ(s_.error_code, model::kSignCellTaken);
  EXPECT_EQ(s_.error_position, 3010);
  EXPECT_TRUE(platform::file_exists(platform::real_file_system(), path("BRENTALVO_linea.dat")));
  EXPECT_TRUE(platform::file_exists(platform::real_file_system(), path("BRENTALVO_TRN4417.sim")));
  EXPECT_TRUE(platform::file_exists(platform::real_file_system(), path("BRENTALVO_TRN4417.dat")));
}

// The built-in run on a file system that counts what it syncs and can lose
// power. The files the run keeps (three documents, three compiled files) are
// each synced once and their folder once per set after the renames; the
// compiled files are replaced as one set, through a journal synced with its
// folder before the renames and deleted after them (its folder synced
// again). The two descriptions, read back and deleted by the same run, are
// never synced.
using Operation = platform::FaultInjectingFileSystem::Operation;
using Fault = platform::FaultInjectingFileSystem::Fault;
const char kApp[] = "/work/app";

void run_builtin(platform::FileSystem& files) {
  model::Scenario s;
  s.app_path = kApp;
  s.files = &files;
  Form_Load(s);
  EXPECT_EQ(s.error_code, 0);
}

TEST(BuiltinRunDurabilityTest, KeptFilesSurviveAPowerCutRightAfterTheRun) {
  platform::MemoryFileSystem memory;
  memory.add_folder(kApp);
  platform::FaultInjectingFileSystem faulty(memory);
  run_builtin(faulty);
  EXPECT_EQ(faulty.count(Operation::kSync) - faulty.folder_syncs(), 7);
  EXPECT_EQ(faulty.folder_syncs(), 4);
  const std::map<std::string, std::string> kept = memory.files();
  EXPECT_EQ(kept.size(), 6u);
  for (const auto& [path, bytes] : kept) EXPECT_FALSE(bytes.empty()) << path;
  faulty.lose_power();
  EXPECT_EQ(memory.files(), kept);
}

TEST(BuiltinRunDurabilityTest, APowerCutAtAnyStepLeavesEachKeptFileOldOrNewAndWhole) {
  // The files a finished run keeps, and an older version of each.
  platform::MemoryFileSystem finished;
  finished.add_folder(kApp);
  run_builtin(finished);
  const std::map<std::string, std::string> fresh = finished.files();
  std::map<std::string, std::string> older;
  for (const auto& [path, bytes] : fresh) older[path] = "older " + path;

  platform::MemoryFileSystem counted;
  for (const auto& [path, bytes] : older) counted.add_file(path, bytes);
  platform::FaultInjectingFileSystem counter(counted);
  run_builtin(counter);

  for (Operation op : {Operation::kOpen, Operation::kWrite, Operation::kSync, Operation::kClose,
                       Operation::kRename, Operation::kDelete}) {
    for (int nth = 1; nth <= counter.count(op); ++nth) {
      SCOPED_TRACE("operation " + std::to_string(static_cast<int>(op)) + " #" +
                   std::to_string(nth));
      platform::MemoryFileSystem memory;
      for (const auto& [path, bytes] : older) memory.add_file(path, bytes);
      platform::FaultInjectingFileSystem faulty(memory);
      faulty.inject(op, nth, Fault::kStop);
      EXPECT_THROW(run_builtin(faulty), platform::SimulatedKill);
      faulty.lose_power();
      for (const auto& [path, bytes] : fresh) {
        std::string now = memory.contents(path);
        EXPECT_TRUE(now == bytes || now == older.at(path))
            << path << " is neither the old file nor the new one (" << now.size() << " bytes)";
      }
      // The next run completes or undoes what this one left, and leaves the
      // six files alone, no journal or temporary beside them.
      run_builtin(memory);
      EXPECT_EQ(memory.files(), fresh);
    }
  }
}

// A description that cannot be read back is not a fault of its text: the
// run ends with the system's reason and exit status 1 before any compiled
// file is written, and the older set stays as it was.
const std::string kRoute = platform::join_path(kApp, "BRENTALVO_linea.txt");
const std::string kTrain = platform::join_path(kApp, "BRENTALVO_TRN4417-.txt");

// Another program at work on the same folder: once `path` has been
// written, it is deleted as the run looks for it or as it reads it; or
// looking at it fails as on a failing disk.
class Tampering : public platform::ForwardingFileSystem {
 public:
  enum class Act { kVanishOnLook, kVanishOnRead, kLookFails };
  Tampering(platform::FileSystem& base, std::string path, Act act)
      : ForwardingFileSystem(base), path_(std::move(path)), act_(act) {}
  platform::FileKind kind(const std::string& path) override {
    if (path == path_ && act_ == Act::kLookFails &&
        base().kind(path) == platform::FileKind::kRegular) {
      throw platform::RuntimeFailure(platform::kDeviceIO, path + " (Input/output error)");
    }
    if (act_ == Act::kVanishOnLook) vanish(path);
    return ForwardingFileSystem::kind(path);
  }
  std::string read_file(const std::string& path, uint64_t limit) override {
    if (act_ == Act::kVanishOnRead) vanish(path);
    return ForwardingFileSystem::read_file(path, limit);
  }

 private:
  void vanish(const std::string& path) {
    if (path == path_ && base().kind(path) == platform::FileKind::kRegular)
      base().delete_file(path);
  }
  std::string path_;
  Act act_;
};

class UnreadableDescriptionTest : public testing::Test {
 protected:
  void SetUp() override {
    platform::MemoryFileSystem finished;
    finished.add_folder(kApp);
    run_builtin(finished);
    for (const auto& [path, bytes] : finished.files()) {
      if (path.ends_with(".dat") || path.ends_with(".sim")) older_[path] = "older " + path;
    }
    ASSERT_EQ(older_.size(), 3u);
  }

  // A folder that holds an older compiled set.
  platform::MemoryFileSystem& fresh_folder() {
    memory_ = std::make_unique<platform::MemoryFileSystem>();
    for (const auto& [path, bytes] : older_) memory_->add_file(path, bytes);
    return *memory_;
  }

  // Runs the built-in program on `files`, which fails it: returns the
  // failure as the program reports it ("run-time error N: words", exit
  // status 1).
  std::string run_failing(platform::FileSystem& files) {
    model::Scenario s;
    s.app_path = kApp;
    s.files = &files;
    try {
      Form_Load(s);
    } catch (const platform::FileReadFailure& f) {
      return "run-time error " + std::to_string(f.number()) + ": " + f.what();
    }
    ADD_FAILURE() << "the run ended without a failure to read";
    return {};
  }

  // The older compiled set is whole, no description and no temporary is left.
  void expect_old_set_kept() {
    for (const auto& [path, bytes] : older_) EXPECT_EQ(memory_->contents(path), bytes) << path;
    for (const auto& [path, bytes] : memory_->files()) {
      EXPECT_EQ(path.find(".partial-"), std::string::npos) << path;
      EXPECT_NE(path, kRoute);
      EXPECT_NE(path, kTrain);
    }
  }

  std::map<std::string, std::string> older_;
  std::unique_ptr<platform::MemoryFileSystem> memory_;
};

TEST_F(UnreadableDescriptionTest, AStorageFailureAtEachReadEndsTheRunAndKeepsTheOldSet) {
  platform::MemoryFileSystem counted;
  counted.add_folder(kApp);
  platform::FaultInjectingFileSystem counter(counted);
  run_builtin(counter);
  ASSERT_EQ(counter.count(Operation::kRead), 2);  // the two descriptions, read back
  const std::pair<int, std::string> reads[] = {{1, kRoute}, {2, kTrain}};
  for (int number : {platform::kDeviceIO, platform::kDiskFull}) {
    for (const auto& [nth, path] : reads) {
      SCOPED_TRACE(std::string(path) + " failing with " + std::to_string(number));
      platform::FaultInjectingFileSystem faulty(fresh_folder());
      faulty.inject(Operation::kRead, nth, Fault::kFail, number);
      EXPECT_EQ(run_failing(faulty), "run-time error " + std::to_string(number) + ": " +
                                         platform::failure_description(number) + ": " + path +
                                         " (injected fault)");
      expect_old_set_kept();
    }
  }
}

TEST_F(UnreadableDescriptionTest, ADescriptionThatVanishesOrCannotBeLookedAtEndsTheRun) {
  struct Case {
    std::string path;
    Tampering::Act act;
    std::string reported;
  };
  const std::string not_found = "run-time error 53: file not found: ";
  const Case cases[] = {
      {kRoute, Tampering::Act::kVanishOnLook,
       not_found + kRoute + " (the route description is not there)"},
      {kRoute, Tampering::Act::kVanishOnRead, not_found + kRoute + " (No such file or directory)"},
      {kTrain, Tampering::Act::kVanishOnRead, not_found + kTrain + " (No such file or directory)"},
      {kRoute, Tampering::Act::kLookFails,
       std::string("run-time error 57: device I/O error: ") + kRoute + " (Input/output error)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reported);
    Tampering tampering(fresh_folder(), c.path, c.act);
    EXPECT_EQ(run_failing(tampering), c.reported);
    expect_old_set_kept();
  }
}

}  // namespace
}  // namespace app
