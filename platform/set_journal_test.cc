// A set of files replaced as a unit: whatever stops the replacement (a kill
// or a power cut at any step, a failed rename), the set is one whole set
// again after the next run's recovery, and until then a mixed set is always
// flagged by its journal.
#include "platform/set_journal.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/fault_injecting_file_system.h"
#include "platform/files.h"
#include "platform/memory_file_system.h"

namespace platform {
namespace {

using Operation = FaultInjectingFileSystem::Operation;
using Fault = FaultInjectingFileSystem::Fault;

const std::vector<std::string> kNames = {"L_linea.dat", "L_T.sim", "L_T.dat"};
const std::string kFolder = "/d";
const std::string kOther = "/d/notes.txt";

std::string in_folder(const std::string& name) { return join_path(kFolder, name); }

// Old and new files of the same sizes, as an edit and a recompile give.
std::map<std::string, std::string> set_of(const std::string& age) {
  std::map<std::string, std::string> files;
  for (const std::string& name : kNames) files[in_folder(name)] = age + " " + name;
  return files;
}

void lay_out_old(MemoryFileSystem& memory) {
  for (const auto& [path, bytes] : set_of("old")) memory.add_file(path, bytes);
  memory.add_file(kOther, "not of the set");
}

void replace_set(FileSystem& fs) {
  FileReplacement replacement(fs);
  for (const auto& [name, bytes] :
       std::vector<std::pair<std::string, std::string>>{{kNames[0], "new " + kNames[0]},
                                                        {kNames[1], "new " + kNames[1]},
                                                        {kNames[2], "new " + kNames[2]}}) {
    replacement.stage(in_folder(name), bytes);
  }
  replacement.commit_as_set();
}

// "old", "new" or "mixed": what the set's files hold now.
std::string state_of(const MemoryFileSystem& memory) {
  int old_files = 0, new_files = 0;
  for (const std::string& name : kNames) {
    const std::string bytes = memory.contents(in_folder(name));
    old_files += bytes == "old " + name;
    new_files += bytes == "new " + name;
  }
  if (old_files == 3) return "old";
  if (new_files == 3) return "new";
  return "mixed";
}

// The folder holds the set and the other file, nothing else.
void expect_only_the_set(const MemoryFileSystem& memory) {
  std::map<std::string, std::string> files = memory.files();
  EXPECT_EQ(files.erase(kOther), 1u);
  for (const std::string& name : kNames) EXPECT_EQ(files.erase(in_folder(name)), 1u) << name;
  for (const auto& [path, bytes] : files) ADD_FAILURE() << path << " was left behind";
}

TEST(SetReplacementTest, AFinishedReplacementSurvivesAPowerCutAndLeavesNoJournal) {
  MemoryFileSystem memory;
  lay_out_old(memory);
  FaultInjectingFileSystem faulty(memory);
  replace_set(faulty);
  // Three files and the journal synced; the folder after the journal, after
  // the renames and after the journal's deletion.
  EXPECT_EQ(faulty.count(Operation::kSync) - faulty.folder_syncs(), 4);
  EXPECT_EQ(faulty.folder_syncs(), 3);
  faulty.lose_power();
  EXPECT_EQ(state_of(memory), "new");
  expect_only_the_set(memory);
  EXPECT_FALSE(interrupted_set(memory, kFolder));
}

TEST(SetReplacementTest, AKillOrPowerCutAtAnyStepLeavesOneWholeSetAfterRecovery) {
  MemoryFileSystem counted;
  lay_out_old(counted);
  FaultInjectingFileSystem counter(counted);
  replace_set(counter);

  for (Operation op : {Operation::kOpen, Operation::kWrite, Operation::kSync, Operation::kClose,
                       Operation::kRename, Operation::kDelete}) {
    for (int nth = 1; nth <= counter.count(op); ++nth) {
      for (bool power_cut : {false, true}) {
        SCOPED_TRACE((power_cut ? "power cut at operation " : "kill at operation ") +
                     std::to_string(static_cast<int>(op)) + " #" + std::to_string(nth));
        MemoryFileSystem memory;
        lay_out_old(memory);
        FaultInjectingFileSystem faulty(memory);
        faulty.inject(op, nth, Fault::kStop);
        EXPECT_THROW(replace_set(faulty), SimulatedKill);
        if (power_cut) faulty.lose_power();

        // Before any recovery, a mixed set is never without its journal:
        // the readers refuse it.
        const std::string before = state_of(memory);
        const auto pending = interrupted_set(memory, kFolder);
        if (before == "mixed") {
          ASSERT_TRUE(pending);
          EXPECT_EQ(*pending, kNames);
        }

        // The next run: recovery, then its clean-up of leftovers.
        const SetRecovery recovery = recover_interrupted_set(memory, kFolder);
        remove_stale_partials(memory, kFolder, kNames);
        const std::string after = state_of(memory);
        EXPECT_NE(after, "mixed");
        if (before != "old") {
          EXPECT_EQ(after, "new");
        }
        if (recovery.outcome == SetRecovery::Outcome::kCompleted) {
          EXPECT_EQ(after, "new");
          EXPECT_EQ(recovery.names, kNames);
        }
        expect_only_the_set(memory);
        EXPECT_FALSE(interrupted_set(memory, kFolder));
      }
    }
  }
}

TEST(SetReplacementTest, AFailedRenameSaysExactlyWhichFilesWereReplaced) {
  struct Case {
    Operation op;
    int nth;
    std::vector<std::string> replaced, not_replaced;
    std::string words;
  };
  const Case cases[] = {
      {Operation::kRename,
       2,
       {"L_linea.dat"},
       {"L_T.sim", "L_T.dat"},
       "L_linea.dat was replaced, L_T.sim and L_T.dat were not"},
      {Operation::kRename,
       3,
       {"L_linea.dat", "L_T.sim"},
       {"L_T.dat"},
       "L_linea.dat and L_T.sim were replaced, L_T.dat was not"},
      // The folder's sync after the renames (files 1-3, journal, folder).
      {Operation::kSync,
       6,
       kNames,
       {},
       "L_linea.dat, L_T.sim and L_T.dat were replaced, but the replacement was not finished"},
      {Operation::kDelete,
       1,
       kNames,
       {},
       "L_linea.dat, L_T.sim and L_T.dat were replaced, but the replacement was not finished"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("operation " + std::to_string(static_cast<int>(c.op)) + " #" +
                 std::to_string(c.nth));
    MemoryFileSystem memory;
    lay_out_old(memory);
    FaultInjectingFileSystem faulty(memory);
    faulty.inject(c.op, c.nth, Fault::kFail, kPermissionDenied);
    try {
      replace_set(faulty);
      ADD_FAILURE() << "the failed rename was not reported";
    } catch (const SetReplacementFailure& f) {
      EXPECT_EQ(f.number(), kPermissionDenied);
      EXPECT_EQ(f.replaced(), c.replaced);
      EXPECT_EQ(f.not_replaced(), c.not_replaced);
      EXPECT_NE(f.detail().find("(injected fault); " + c.words), std::string::npos) << f.detail();
    }
    // The journal stays: the set is flagged, and the next run completes it.
    EXPECT_EQ(state_of(memory), c.not_replaced.empty() ? "new" : "mixed");
    ASSERT_TRUE(interrupted_set(memory, kFolder));
    const SetRecovery recovery = recover_interrupted_set(memory, kFolder);
    EXPECT_EQ(recovery.outcome, SetRecovery::Outcome::kCompleted);
    EXPECT_EQ(recovery.message(kFolder),
              "an earlier run was stopped while replacing L_linea.dat, L_T.sim and L_T.dat in /d: "
              "its replacement was completed, so they are one set again");
    EXPECT_EQ(state_of(memory), "new");
    expect_only_the_set(memory);
  }

  // The first rename failing replaces nothing: undone at once, the old set
  // whole and nothing left behind.
  MemoryFileSystem memory;
  lay_out_old(memory);
  FaultInjectingFileSystem faulty(memory);
  faulty.inject(Operation::kRename, 1, Fault::kFail, kPermissionDenied);
  try {
    replace_set(faulty);
    ADD_FAILURE() << "the failed rename was not reported";
  } catch (const SetReplacementFailure&) {
    ADD_FAILURE() << "reported as a partial replacement";
  } catch (const RuntimeFailure& f) {
    EXPECT_EQ(f.number(), kPermissionDenied);
  }
  EXPECT_EQ(state_of(memory), "old");
  expect_only_the_set(memory);
}

TEST(SetJournalTest, OnlyAWholeJournalOfPlainNamesIsTaken) {
  const std::vector<JournalEntry> entries = {{"L_linea.dat", ".L_linea.dat.partial-00ab-0"},
                                             {"L_T.sim", ".L_T.sim.partial-00ab-1"}};
  const std::string whole = journal_text(entries);
  EXPECT_EQ(whole,
            "scenario set replacement\nL_linea.dat\t.L_linea.dat.partial-00ab-0\n"
            "L_T.sim\t.L_T.sim.partial-00ab-1\nend\n");
  const auto parsed = parse_journal(whole);
  ASSERT_TRUE(parsed);
  ASSERT_EQ(parsed->size(), 2u);
  EXPECT_EQ((*parsed)[1].name, "L_T.sim");
  EXPECT_EQ((*parsed)[1].temporary, ".L_T.sim.partial-00ab-1");
  // Cut short anywhere: not a journal.
  for (size_t cut = 0; cut < whole.size(); ++cut) {
    EXPECT_FALSE(parse_journal(std::string_view(whole).substr(0, cut))) << cut;
  }
  const char* refused[] = {
      "scenario set replacement\nend\n",                                     // no file
      "scenario set replacement\n../L_T.sim\t.../L_T.sim.partial-1\nend\n",  // a folder in the name
      "scenario set replacement\nL_T.sim\t../.L_T.sim.partial-1\nend\n",     // in the temporary
      "scenario set replacement\nL_T.sim\tnotes.txt\nend\n",                 // not its temporary
      "scenario set replacement\nL_T.sim\t.L_T.dat.partial-1\nend\n",        // another file's
      "scenario set replacement\nL_T.sim .L_T.sim.partial-1\nend\n",         // no tab
      "scenario set replacement\nL_T.sim\t.L_T.sim.partial-1\nend\nx",       // after the end
      "set replacement\nL_T.sim\t.L_T.sim.partial-1\nend\n",                 // another header
  };
  for (const char* text : refused) EXPECT_FALSE(parse_journal(text)) << text;
}

TEST(SetJournalTest, AJournalCutShortIsUndoneAndTouchesNothingElse) {
  MemoryFileSystem memory;
  lay_out_old(memory);
  memory.add_file(in_folder(".L_T.sim.partial-7"), "half");
  memory.add_file("/etc-like", "outside");
  // Cut short after a file it names, with a hostile line before it.
  memory.add_file(in_folder(std::string(kSetJournalName)),
                  "scenario set replacement\n../etc-like\t.x.partial-1\nnotes.txt\tL_T.sim\n"
                  "L_T.sim\t.L_T.sim.partial-7\nL_T.d");
  EXPECT_FALSE(interrupted_set(memory, kFolder));  // no rename follows a journal cut short
  const SetRecovery recovery = recover_interrupted_set(memory, kFolder);
  EXPECT_EQ(recovery.outcome, SetRecovery::Outcome::kUndone);
  EXPECT_EQ(state_of(memory), "old");
  EXPECT_EQ(memory.contents("/etc-like"), "outside");
  memory.delete_file("/etc-like");
  EXPECT_EQ(memory.contents(kOther), "not of the set");
  expect_only_the_set(memory);
}

TEST(SetJournalTest, AJournalThatIsNotAFileStopsTheRunAndStandsForEveryFile) {
  MemoryFileSystem memory;
  lay_out_old(memory);
  memory.add_folder(in_folder(std::string(kSetJournalName)));
  try {
    recover_interrupted_set(memory, kFolder);
    ADD_FAILURE() << "renamed on the word of a folder";
  } catch (const RuntimeFailure& f) {
    EXPECT_EQ(f.detail(),
              "cannot complete the replacement of compiled files that an earlier run left in /d "
              "(.scenario-set.journal): " +
                  in_folder(std::string(kSetJournalName)) + " (is a folder, not a regular file)");
  }
  const auto pending = interrupted_set(memory, kFolder);
  ASSERT_TRUE(pending);
  EXPECT_TRUE(pending->empty());
  EXPECT_EQ(state_of(memory), "old");
}

}  // namespace
}  // namespace platform
