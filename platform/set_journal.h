// A set of files replaced as a unit.
//
// The compiled files of a scenario are read together: a new line file beside
// an old station file is neither set. FileReplacement::commit_as_set
// (platform/files.h) replaces them so that, after a kill, a failed rename or
// a power cut, the set can always be brought back to one whole set:
//
//   1. every new file is written to its temporary and synced (stage());
//   2. a journal, ".scenario-set.journal" in the set's folder, names each
//      file of the set and its temporary; it is synced, then the folder;
//   3. each temporary is renamed over its file, then the folder is synced;
//   4. the journal is deleted, then the folder is synced.
//
// A journal that is whole (its last line "end") thus means that every new
// file was on the storage before the first rename: a temporary it names
// that is gone has been renamed already. The next run that writes into the
// folder, holding its lock, calls recover_interrupted_set before anything
// else: it renames the temporaries still there (the new set, completed) and
// deletes the journal. A journal cut short was never followed by a rename:
// its temporaries are deleted (the old set, untouched). Temporaries named
// by a journal are never deleted as a killed run's leftovers before that.
//
// The readers of compiled files refuse the files a journal names
// (interrupted_set): until the next run, they may be of two compiles.
//
// The journal is text, one line each, LF line ends:
//   scenario set replacement
//   <file name> TAB <temporary's name>      (one line per file, no folder)
//   end
// It exists only while a set is being replaced; a finished run leaves none.
#ifndef SCENARIO_PLATFORM_SET_JOURNAL_H_
#define SCENARIO_PLATFORM_SET_JOURNAL_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/runtime_failure.h"

namespace platform {

inline constexpr std::string_view kSetJournalName = ".scenario-set.journal";

// One file of a set being replaced: names without folder.
struct JournalEntry {
  std::string name;
  std::string temporary;
};

// The journal's bytes for these files.
std::string journal_text(const std::vector<JournalEntry>& entries);
// The files of a whole journal; nothing for one cut short or not of this
// form (a name with a folder in it, a temporary not of its file).
std::optional<std::vector<JournalEntry>> parse_journal(std::string_view text);

// What recover_interrupted_set did.
struct SetRecovery {
  enum class Outcome { kNothing, kCompleted, kUndone };
  Outcome outcome = Outcome::kNothing;
  std::vector<std::string> names;  // the set's files (kCompleted), without folder
  // One sentence for the user; empty for kNothing.
  std::string message(const std::string& folder) const;
};

// Completes or undoes a replacement that a run left in `folder` (see the
// top of this file). Call it holding the folder's lock, before any clean-up
// of temporaries. Throws RuntimeFailure when a step fails; the journal then
// stays for the next run.
SetRecovery recover_interrupted_set(FileSystem& fs, const std::string& folder);

// The files that a replacement left unfinished in `folder`: nothing when
// there is no journal or one cut short (no file was replaced then).
std::optional<std::vector<std::string>> interrupted_set(FileSystem& fs, const std::string& folder);

// A rename of a set failed after others were done, or a step after the
// last rename failed: the journal stays, so that readers refuse the set and
// the next run completes it. The detail says which files were replaced and
// which were not.
class SetReplacementFailure : public RuntimeFailure {
 public:
  SetReplacementFailure(const RuntimeFailure& cause, std::vector<std::string> replaced,
                        std::vector<std::string> not_replaced);
  const std::vector<std::string>& replaced() const { return replaced_; }
  const std::vector<std::string>& not_replaced() const { return not_replaced_; }

 private:
  std::vector<std::string> replaced_;
  std::vector<std::string> not_replaced_;
};

// "A", "A and B", "A, B and C".
std::string list_names(const std::vector<std::string>& names);

}  // namespace platform

#endif  // SCENARIO_PLATFORM_SET_JOURNAL_H_
