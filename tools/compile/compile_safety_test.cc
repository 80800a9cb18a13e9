// What a compile does to the output folder when things go wrong: a failing
// or dying file system at every write, sync, close and rename; another run
// in the same folder; links and other scenarios' files under the names it
// writes. Whatever happens, each compiled file is the old one or the new
// one, whole, and the message says what failed.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "compiled/compiled_set.h"
#include "compiled/set_check.h"
#include "compiled/test_scenario.h"
#include "platform/fault_injecting_file_system.h"
#include "platform/files.h"
#include "platform/forwarding_file_system.h"
#include "platform/memory_file_system.h"
#include "platform/runtime_failure.h"
#include "platform/set_journal.h"
#include "sources/builtin_texts.h"
#include "sources/line_writer.h"
#include "tools/compile/compile_command.h"

namespace tools {
namespace {

using Operation = platform::FaultInjectingFileSystem::Operation;
using Fault = platform::FaultInjectingFileSystem::Fault;

const std::string kRoute = sources::line_array_bytes(sources::route_description_text());
const std::string kTrain = sources::line_array_bytes(sources::train_description_text());
const char kOut[] = "/work/out";
const std::vector<std::string> kCompiled = {"BRENTALVO_linea.dat", "BRENTALVO_TRN4417.sim",
                                            "BRENTALVO_TRN4417.dat"};

std::string path_in(const std::string& folder, const std::string& name) {
  return platform::join_path(folder, name);
}

// The built-in route with a background, a curve and a gradient changed:
// another content for each of the three compiled files, of the same sizes,
// as the previous compile of an author's edit would be.
std::string older_route() {
  std::string route = kRoute;
  for (auto [from, to] : {std::pair{"sfondo uno,    1", "sfondo uno,    2"},
                          std::pair{"curvad4,  2150,  100", "curvad5,  2150,  100"},
                          std::pair{"pendenza,  850,   4", "pendenza,  850,   7"}}) {
    size_t at = route.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) route.replace(at, std::string_view(from).size(), to);
  }
  return route;
}

CompileOptions options_on(platform::FileSystem& files, const std::string& route = "/work/r.txt") {
  CompileOptions o;
  o.route = route;
  o.train = "/work/t.txt";
  o.out = kOut;
  o.files = &files;
  o.documents = false;  // the compiled files alone: the documents have a test of their own
  return o;
}

// The compiled files of the built-in pair (new) and of older_route (old).
struct Sets {
  std::map<std::string, std::string> old_set, new_set;
};

const Sets& sets() {
  static const Sets sets = [] {
    Sets s;
    for (bool old : {true, false}) {
      platform::MemoryFileSystem memory;
      memory.add_file("/work/r.txt", old ? older_route() : kRoute);
      memory.add_file("/work/t.txt", kTrain);
      CompileReport report = compile_descriptions(options_on(memory));
      EXPECT_EQ(report.exit_status(), 0) << report.message();
      for (const std::string& name : kCompiled) {
        (old ? s.old_set : s.new_set)[name] = memory.contents(path_in(kOut, name));
      }
    }
    for (const std::string& name : kCompiled) {
      EXPECT_FALSE(s.old_set[name].empty()) << name;
      EXPECT_NE(s.old_set[name], s.new_set[name]) << name;
    }
    return s;
  }();
  return sets;
}

// A memory file system holding the descriptions and the old compiled set.
void lay_out(platform::MemoryFileSystem& memory) {
  memory.add_file("/work/r.txt", kRoute);
  memory.add_file("/work/t.txt", kTrain);
  for (const auto& [name, bytes] : sets().old_set) memory.add_file(path_in(kOut, name), bytes);
}

// Each compiled file is the old one or the new one, whole; with `all_old`
// every one is still the old one. Nothing else is in the folder.
void expect_whole_files(platform::MemoryFileSystem& memory, bool all_old, bool partials_allowed) {
  for (const std::string& name : kCompiled) {
    std::string bytes = memory.contents(path_in(kOut, name));
    if (all_old) {
      EXPECT_EQ(bytes, sets().old_set.at(name)) << name << " is not the old file";
    } else {
      EXPECT_TRUE(bytes == sets().old_set.at(name) || bytes == sets().new_set.at(name))
          << name << " is neither the old file nor the new one (" << bytes.size() << " bytes)";
    }
  }
  for (const std::string& name : memory.list_folder(kOut)) {
    bool compiled = std::find(kCompiled.begin(), kCompiled.end(), name) != kCompiled.end();
    EXPECT_TRUE(compiled || partials_allowed) << name << " was left in the output folder";
  }
}

// The set in the output folder is the old one or the new one, whole, or
// else the readers refuse it as one that a run was stopped replacing.
void expect_one_set_or_refused(platform::MemoryFileSystem& memory) {
  bool all_old = true, all_new = true;
  for (const std::string& name : kCompiled) {
    const std::string bytes = memory.contents(path_in(kOut, name));
    all_old = all_old && bytes == sets().old_set.at(name);
    all_new = all_new && bytes == sets().new_set.at(name);
  }
  try {
    load_compiled(memory, kOut, true);
    EXPECT_TRUE(all_old || all_new) << "a mixed set was read as one";
  } catch (const SetMismatch& e) {
    EXPECT_NE(std::string(e.what()).find("a run was stopped while replacing"), std::string::npos)
        << e.what();
  }
}

TEST(CompileSafetyTest, EveryFailingOrDyingFileStepLeavesWholeFiles) {
  // How many of each step a whole compile takes.
  platform::MemoryFileSystem counted;
  lay_out(counted);
  platform::FaultInjectingFileSystem counter(counted);
  ASSERT_EQ(compile_descriptions(options_on(counter)).exit_status(), 0);

  for (Operation op : {Operation::kOpen, Operation::kRead, Operation::kWrite, Operation::kSync,
                       Operation::kClose, Operation::kRename}) {
    for (int nth = 1; nth <= counter.count(op); ++nth) {
      for (Fault fault : {Fault::kFail, Fault::kStop}) {
        SCOPED_TRACE("operation " + std::to_string(static_cast<int>(op)) + " #" +
                     std::to_string(nth) + (fault == Fault::kStop ? " stopped dead" : " failed"));
        platform::MemoryFileSystem memory;
        lay_out(memory);
        platform::FaultInjectingFileSystem faulty(memory);
        faulty.inject(op, nth, fault, platform::kDiskFull);
        // Renames happen after every file and the journal are written:
        // before the first one (and when the first one fails) the old set is
        // whole. The last two syncs follow the renames.
        const bool before_renames =
            (op != Operation::kRename || (nth == 1 && fault == Fault::kFail)) &&
            !(op == Operation::kSync && nth > counter.count(op) - 2);
        try {
          CompileReport report = compile_descriptions(options_on(faulty));
          ASSERT_EQ(fault, Fault::kFail) << "a dead run went on";
          EXPECT_EQ(report.exit_status(), 2);
          EXPECT_TRUE(report.files.empty());
          EXPECT_NE(report.message().find("failure writing the compiled files: "),
                    std::string::npos)
              << report.message();
          EXPECT_NE(report.message().find("(injected fault)"), std::string::npos)
              << report.message();
        } catch (const ToolError& e) {
          // Reading the author's files fails before anything is written.
          EXPECT_TRUE(op == Operation::kOpen || op == Operation::kRead) << e.what();
          EXPECT_NE(std::string(e.what()).find("(injected fault)"), std::string::npos) << e.what();
        } catch (const platform::SimulatedKill&) {
          EXPECT_EQ(fault, Fault::kStop);
        }
        expect_whole_files(memory, before_renames, fault == Fault::kStop || !before_renames);
        expect_one_set_or_refused(memory);

        // The next compile clears what a dead one left and writes the new set.
        ASSERT_EQ(compile_descriptions(options_on(memory)).exit_status(), 0);
        for (const std::string& name : kCompiled) {
          EXPECT_EQ(memory.contents(path_in(kOut, name)), sets().new_set.at(name)) << name;
        }
        expect_whole_files(memory, false, false);
      }
    }
  }
}

TEST(CompileSafetyTest, AFailureWhilePuttingTheSetInPlaceSaysWhichFilesWereReplaced) {
  platform::MemoryFileSystem counted;
  lay_out(counted);
  platform::FaultInjectingFileSystem counter(counted);
  ASSERT_EQ(compile_descriptions(options_on(counter)).exit_status(), 0);
  struct Case {
    Operation op;
    int nth;
    size_t replaced;  // the first ones of kCompiled, in the order they are renamed
    const char* fate;
  };
  const Case cases[] = {
      {Operation::kRename, 1, 0, "; no compiled file was replaced"},
      {Operation::kRename, 2, 1,
       "; BRENTALVO_linea.dat was replaced, BRENTALVO_TRN4417.sim and BRENTALVO_TRN4417.dat "
       "were not"},
      {Operation::kRename, 3, 2,
       "; BRENTALVO_linea.dat and BRENTALVO_TRN4417.sim were replaced, BRENTALVO_TRN4417.dat "
       "was not"},
      // The folder's sync, after the renames.
      {Operation::kSync, counter.count(Operation::kSync), 3,
       "; BRENTALVO_linea.dat, BRENTALVO_TRN4417.sim and BRENTALVO_TRN4417.dat were replaced"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fate);
    platform::MemoryFileSystem memory;
    lay_out(memory);
    platform::FaultInjectingFileSystem faulty(memory);
    faulty.inject(c.op, c.nth, Fault::kFail, platform::kDeviceIO);
    const CompileReport report = compile_descriptions(options_on(faulty));
    EXPECT_EQ(report.exit_status(), 2);
    EXPECT_NE(report.message().find(c.fate), std::string::npos) << report.message();
    for (size_t i = 0; i < kCompiled.size(); ++i) {
      const auto& set = i < c.replaced ? sets().new_set : sets().old_set;
      EXPECT_EQ(memory.contents(path_in(kOut, kCompiled[i])), set.at(kCompiled[i])) << kCompiled[i];
    }
  }
}

// The machine's file system, except that it cannot tell a file's size.
class NoSizes : public platform::ForwardingFileSystem {
 public:
  using ForwardingFileSystem::ForwardingFileSystem;
  uint64_t file_size(const std::string& path) override {
    throw platform::RuntimeFailure(platform::kDiskFull, path + " (injected fault)");
  }
};

TEST(CompileSafetyTest, ASizeThatCannotBeLookedUpAfterTheWritingIsNoFailure) {
  platform::MemoryFileSystem memory;
  memory.add_file("/work/r.txt", kRoute);
  memory.add_file("/work/t.txt", kTrain);
  NoSizes files(memory);
  CompileOptions o = options_on(files);
  o.documents = true;
  const CompileReport report = compile_descriptions(o);
  EXPECT_EQ(report.exit_status(), 0) << report.message();
  EXPECT_TRUE(report.document_notes.empty());
  ASSERT_EQ(report.files.size(), kCompiled.size() + 2);
  for (const WrittenFile& f : report.files) {
    EXPECT_EQ(f.second, kSizeNotKnown) << f.first;
    EXPECT_EQ(memory.kind(path_in(kOut, f.first)), platform::FileKind::kRegular) << f.first;
  }
  EXPECT_EQ(memory.contents(path_in(kOut, kCompiled[0])), sets().new_set.at(kCompiled[0]));
}

TEST(CompileSafetyTest, DriverDocumentsAreWrittenAndHandEditsKept) {
  platform::MemoryFileSystem memory;
  memory.add_file("/work/r.txt", kRoute);
  memory.add_file("/work/t.txt", kTrain);
  CompileOptions o = options_on(memory);
  o.documents = true;
  const std::string card = path_in(kOut, "BRENTALVO_TRN4417_scheda_treno.txt");
  const std::string form = path_in(kOut, "BRENTALVO_TRN4417_rallentamenti.txt");
  CompileReport report = compile_descriptions(o);
  ASSERT_EQ(report.exit_status(), 0) << report.message();
  EXPECT_EQ(report.files.size(), kCompiled.size() + 2);
  EXPECT_EQ(memory.contents(form), sources::line_array_bytes(sources::slow_order_form_text()));
  EXPECT_NE(memory.contents(card).find("|ZARNETTO                    |          07.29 |"),
            std::string::npos);

  // An edited form is kept, with a note; the card is written again.
  platform::replace_file(memory, form, "my own form\r\n");
  report = compile_descriptions(o);
  EXPECT_EQ(memory.contents(form), "my own form\r\n");
  ASSERT_EQ(report.document_notes.size(), 1u);
  EXPECT_NE(report.document_notes[0].find("edited by hand"), std::string::npos);
  EXPECT_EQ(report.to_json()["document_notes"].size(), 1u);

  // --no-documents writes none.
  memory.delete_file(card);
  o.documents = false;
  EXPECT_EQ(compile_descriptions(o).files.size(), kCompiled.size());
  EXPECT_EQ(memory.kind(card), platform::FileKind::kMissing);
}

TEST(CompileSafetyTest, APowerCutKeepsAFinishedSetAndLeavesAnyOtherOldOrNew) {
  // A power cut right after a finished compile keeps the new set.
  platform::MemoryFileSystem finished;
  lay_out(finished);
  platform::FaultInjectingFileSystem counter(finished);
  ASSERT_EQ(compile_descriptions(options_on(counter)).exit_status(), 0);
  // A finished compile syncs each compiled file and the journal, then the
  // folder after the journal, after the renames and after the journal's
  // deletion.
  EXPECT_EQ(counter.count(Operation::kSync) - counter.folder_syncs(), 4);
  EXPECT_EQ(counter.folder_syncs(), 3);
  counter.lose_power();
  for (const std::string& name : kCompiled) {
    EXPECT_EQ(finished.contents(path_in(kOut, name)), sets().new_set.at(name)) << name;
  }

  // A power cut at any step of a compile: what was not synced is lost, and
  // each compiled file is still the old one or the new one, whole; the set
  // is one of them, or refused until the next run completes it.
  platform::MemoryFileSystem counted;
  lay_out(counted);
  platform::FaultInjectingFileSystem steps(counted);
  ASSERT_EQ(compile_descriptions(options_on(steps)).exit_status(), 0);
  for (Operation op : {Operation::kOpen, Operation::kWrite, Operation::kSync, Operation::kClose,
                       Operation::kRename, Operation::kDelete}) {
    for (int nth = 1; nth <= steps.count(op); ++nth) {
      SCOPED_TRACE("power cut at operation " + std::to_string(static_cast<int>(op)) + " #" +
                   std::to_string(nth));
      platform::MemoryFileSystem memory;
      lay_out(memory);
      platform::FaultInjectingFileSystem faulty(memory);
      faulty.inject(op, nth, Fault::kStop);
      try {
        compile_descriptions(options_on(faulty));
        ADD_FAILURE() << "a dead run went on";
      } catch (const platform::SimulatedKill&) {
      } catch (const ToolError&) {
        EXPECT_TRUE(faulty.stopped());
      }
      faulty.lose_power();
      expect_whole_files(memory, false, true);
      expect_one_set_or_refused(memory);
      // The next run's recovery and clean-up leave one set and nothing else.
      platform::recover_interrupted_set(memory, kOut);
      platform::remove_stale_partials(memory, kOut, kCompiled);
      expect_whole_files(memory, false, false);
      EXPECT_NO_THROW(load_compiled(memory, kOut, true));
    }
  }
}

TEST(CompileSafetyTest, ARenameRefusedMidSetIsNamedRefusedByReadersAndCompletedByTheNextRun) {
  // The line file is replaced, the station file's rename is refused (a
  // station file mounted read-only, say): the old station and track files
  // beside the new line file, all of the same sizes and names.
  platform::MemoryFileSystem memory;
  lay_out(memory);
  platform::FaultInjectingFileSystem faulty(memory);
  faulty.inject(Operation::kRename, 2, Fault::kFail, platform::kPermissionDenied);
  CompileReport report = compile_descriptions(options_on(faulty));
  EXPECT_EQ(report.exit_status(), 2);
  EXPECT_NE(report.message().find("failure writing the compiled files: /work/out/"
                                  "BRENTALVO_TRN4417.sim (injected fault); BRENTALVO_linea.dat "
                                  "was replaced, BRENTALVO_TRN4417.sim and BRENTALVO_TRN4417.dat "
                                  "were not"),
            std::string::npos)
      << report.message();
  EXPECT_EQ(report.message().find("no compiled file was replaced"), std::string::npos)
      << report.message();
  EXPECT_EQ(memory.contents(path_in(kOut, kCompiled[0])), sets().new_set.at(kCompiled[0]));

  // Every reader's way in refuses it: the folder, a file with its set, a
  // file alone.
  for (auto [path, whole] :
       {std::pair{std::string(kOut), true}, std::pair{path_in(kOut, "BRENTALVO_TRN4417.sim"), true},
        std::pair{path_in(kOut, "BRENTALVO_TRN4417.dat"), false},
        std::pair{path_in(kOut, "BRENTALVO_linea.dat"), false}}) {
    SCOPED_TRACE(path);
    try {
      load_compiled(memory, path, whole);
      ADD_FAILURE() << "a mixed set was read";
    } catch (const SetMismatch& e) {
      EXPECT_EQ(std::string(e.what()),
                "/work/out/.scenario-set.journal: a run was stopped while replacing "
                "BRENTALVO_linea.dat, BRENTALVO_TRN4417.sim and BRENTALVO_TRN4417.dat, which may "
                "now be of two compiles: not read (the next compile into /work/out completes the "
                "replacement)");
    }
  }

  // The next compile (of the older route) completes the set first, says
  // so, then replaces it whole.
  CompileOptions o = options_on(memory);
  memory.add_file("/work/older.txt", older_route());
  o.route = "/work/older.txt";
  report = compile_descriptions(o);
  EXPECT_EQ(report.exit_status(), 0) << report.message();
  EXPECT_EQ(report.recovery,
            "an earlier run was stopped while replacing BRENTALVO_linea.dat, BRENTALVO_TRN4417.sim "
            "and BRENTALVO_TRN4417.dat in /work/out: its replacement was completed, so they are "
            "one set again");
  EXPECT_EQ(report.to_json()["recovery"], report.recovery);
  expect_whole_files(memory, true, false);
  EXPECT_NO_THROW(load_compiled(memory, kOut, true));
}

TEST(CompileSafetyTest, AFolderHeldByAnotherRunIsWaitedForThenRefused) {
  platform::MemoryFileSystem memory;
  lay_out(memory);
  CompileOptions o = options_on(memory);
  o.folder_wait = std::chrono::milliseconds(30);
  {
    auto other_run = memory.lock_folder(kOut, std::chrono::milliseconds(0));
    try {
      compile_descriptions(o);
      ADD_FAILURE() << "compiled into a folder held by another run";
    } catch (const ToolError& e) {
      EXPECT_NE(std::string(e.what()).find("another run is writing there; waited 0.03 s"),
                std::string::npos)
          << e.what();
    }
    expect_whole_files(memory, true, false);
  }
  EXPECT_EQ(compile_descriptions(o).exit_status(), 0);
}

TEST(CompileSafetyTest, NothingIsWrittenThroughALinkOrOtherFileUnderAnOutputName) {
  for (const std::string& name : kCompiled) {
    for (bool link : {true, false}) {
      SCOPED_TRACE(name + (link ? " as a link" : " as a pipe"));
      platform::MemoryFileSystem memory;
      lay_out(memory);
      memory.delete_file(path_in(kOut, name));
      if (link) {
        memory.add_link(path_in(kOut, name));
      } else {
        memory.add_other(path_in(kOut, name));
      }
      CompileReport report = compile_descriptions(options_on(memory));
      EXPECT_EQ(report.exit_status(), 2);
      EXPECT_NE(report.message().find(name + " (is a "), std::string::npos) << report.message();
      EXPECT_NE(report.message().find("not a regular file"), std::string::npos) << report.message();
      EXPECT_EQ(memory.kind(path_in(kOut, name)),
                link ? platform::FileKind::kLink : platform::FileKind::kOther);
      for (const std::string& other : kCompiled) {
        if (other == name) continue;
        EXPECT_EQ(memory.contents(path_in(kOut, other)), sets().old_set.at(other));
      }
    }
  }
}

TEST(CompileSafetyTest, AnotherScenarioWithTheSameFileNamesIsKeptUnlessForced) {
  platform::MemoryFileSystem memory;
  memory.add_file("/work/r.txt", kRoute);
  memory.add_file("/work/t.txt", kTrain);
  CompileOptions first = options_on(memory);
  first.line_name = "A_B";
  first.train_code = "C";
  ASSERT_EQ(compile_descriptions(first).exit_status(), 0);
  const std::string station = memory.contents(path_in(kOut, "A_B_C.sim"));

  CompileOptions second = options_on(memory);
  second.line_name = "A";
  second.train_code = "B_C";
  try {
    compile_descriptions(second);
    ADD_FAILURE() << "the other scenario's files were replaced";
  } catch (const ToolError& e) {
    EXPECT_NE(std::string(e.what()).find(path_in(kOut, "A_B_C.sim") +
                                         " holds the compiled scenario of line A_B and train C, "
                                         "not of line A and train B_C"),
              std::string::npos)
        << e.what();
  }
  EXPECT_EQ(memory.contents(path_in(kOut, "A_B_C.sim")), station);

  second.force = true;
  EXPECT_EQ(compile_descriptions(second).exit_status(), 0);
  EXPECT_NE(memory.contents(path_in(kOut, "A_B_C.sim")), station);
}

TEST(CompileSafetyTest, NamesWhoseFilesWouldCoincideAreRefused) {
  struct Names {
    const char* line;
    const char* train;
  };
  struct Case {
    std::optional<Names> first;  // compiled into the folder before
    Names second;
    bool force;
    const char* refusal;  // null: the second compile runs
  };
  const Case cases[] = {
      // The track file would be the compile's own line file.
      {std::nullopt,
       {"A", "linea"},
       false,
       "train code (--train-code) \"linea\" is refused: the track file LINE_linea.dat would be "
       "the line file LINE_linea.dat of the same compile"},
      {std::nullopt, {"A", "LINEA"}, true, "train code (--train-code) \"LINEA\" is refused"},
      // Line A_B's line file is the track file of line A and train B_linea ...
      {Names{"A_B", "X"},
       {"A", "B_linea"},
       false,
       "/work/out/A_B_linea.dat is the line file of line A_B (its train X is compiled there, "
       "A_B_X.sim), not the track file of line A and train B_linea: nothing was written"},
      // ... and the other way round.
      {Names{"A", "B_linea"},
       {"A_B", "X"},
       false,
       "/work/out/A_B_linea.dat is the track file of line A and train B_linea (its station file "
       "A_B_linea.sim is beside it), not the line file of line A_B: nothing was written"},
      {Names{"A_B", "C"},
       {"A", "B_C"},
       false,
       "/work/out/A_B_C.sim holds the compiled scenario of line A_B and train C, not of line A "
       "and train B_C: nothing was written"},
      // Trains of one line share its line file; a compile replaces its own.
      {Names{"A", "B"}, {"A", "C"}, false, nullptr},
      {Names{"A", "B_linea"}, {"A", "B_linea"}, false, nullptr},
      {Names{"A_B", "X"}, {"A", "B_linea"}, true, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.second.line) + " " + c.second.train);
    platform::MemoryFileSystem memory;
    memory.add_file("/work/r.txt", kRoute);
    memory.add_file("/work/t.txt", kTrain);
    if (c.first) {
      CompileOptions first = options_on(memory);
      first.line_name = c.first->line;
      first.train_code = c.first->train;
      ASSERT_EQ(compile_descriptions(first).exit_status(), 0);
    }
    const std::map<std::string, std::string> before = memory.files();
    CompileOptions second = options_on(memory);
    second.line_name = c.second.line;
    second.train_code = c.second.train;
    second.force = c.force;
    if (c.refusal == nullptr) {
      EXPECT_EQ(compile_descriptions(second).exit_status(), 0);
      continue;
    }
    try {
      compile_descriptions(second);
      ADD_FAILURE() << "compiled";
    } catch (const ToolError& e) {
      EXPECT_NE(std::string(e.what()).find(c.refusal), std::string::npos) << e.what();
    }
    EXPECT_EQ(memory.files(), before);
  }
}

TEST(CompileSafetyTest, AnAuthorsDescriptionIsNeverReadPastItsLimitNorTouched) {
  platform::MemoryFileSystem memory;
  memory.add_file("/work/r.txt", std::string(platform::kMaxDescriptionBytes + 1, ' '));
  memory.add_file("/work/t.txt", kTrain);
  memory.add_other("/work/fifo.txt");
  try {
    compile_descriptions(options_on(memory));
    ADD_FAILURE() << "a description past the limit was compiled";
  } catch (const ToolError& e) {
    EXPECT_NE(std::string(e.what()).find("route description /work/r.txt (16777217 bytes, more "
                                         "than the 16777216 bytes a description may have)"),
              std::string::npos)
        << e.what();
  }
  try {
    compile_descriptions(options_on(memory, "/work/fifo.txt"));
    ADD_FAILURE() << "a pipe was read as a description";
  } catch (const ToolError& e) {
    EXPECT_NE(std::string(e.what()).find("/work/fifo.txt (is a pipe, device or socket, not a "
                                         "regular file)"),
              std::string::npos)
        << e.what();
  }
  // Nothing was created for a compile that did not start.
  EXPECT_EQ(memory.kind(kOut), platform::FileKind::kMissing);

  // A description in the output folder under the name the compile pass
  // reads and deletes is neither read nor deleted.
  platform::MemoryFileSystem same;
  same.add_file("/work/r.txt", kRoute);
  same.add_file("/work/t.txt", kTrain);
  same.add_file(path_in(kOut, "BRENTALVO_linea.txt"), "the author's own");
  EXPECT_EQ(compile_descriptions(options_on(same)).exit_status(), 0);
  EXPECT_EQ(same.contents(path_in(kOut, "BRENTALVO_linea.txt")), "the author's own");
  EXPECT_EQ(same.contents("/work/r.txt"), kRoute);
}

}  // namespace
}  // namespace tools
