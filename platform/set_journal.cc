// A set of files replaced as a unit: the journal, its recovery, and the
// commit that writes it (see platform/set_journal.h).
#include "platform/set_journal.h"

#include <utility>

#include "platform/files.h"

namespace platform {

namespace {

constexpr std::string_view kHeader = "scenario set replacement\n";
constexpr std::string_view kEnd = "end\n";
// Far above the journal of any set; a larger file is not one.
constexpr uint64_t kMaxJournalBytes = 64 * 1024;

std::string name_of(std::string_view path) {
  size_t slash = path.find_last_of("/\\");
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// A name of a file in the folder itself: no folder, no line break.
bool plain_name(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of("/\\\t\r\n", 0) == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

std::string journal_path(const std::string& folder) { return join_path(folder, kSetJournalName); }

// The journal's text, or nothing when there is none. A journal that is not
// a regular file is refused: nothing is renamed on its word.
std::optional<std::string> read_journal(FileSystem& fs, const std::string& folder) {
  const std::string path = journal_path(folder);
  const FileKind kind = fs.kind(path);
  if (kind == FileKind::kMissing) return std::nullopt;
  if (kind != FileKind::kRegular) throw not_regular_failure(path, kind);
  if (fs.file_size(path) > kMaxJournalBytes) return std::string();  // not a whole journal
  return fs.read_file(path, kMaxJournalBytes);
}

void delete_if_there(FileSystem& fs, const std::string& path) {
  if (fs.kind(path) == FileKind::kRegular) fs.delete_file(path);
}

}  // namespace

std::string list_names(const std::vector<std::string>& names) {
  std::string text;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += i + 1 == names.size() ? " and " : ", ";
    text += names[i];
  }
  return text;
}

std::string journal_text(const std::vector<JournalEntry>& entries) {
  std::string text(kHeader);
  for (const JournalEntry& e : entries) {
    text += e.name;
    text += '\t';
    text += e.temporary;
    text += '\n';
  }
  text += kEnd;
  return text;
}

std::optional<std::vector<JournalEntry>> parse_journal(std::string_view text) {
  if (text.substr(0, kHeader.size()) != kHeader) return std::nullopt;
  text.remove_prefix(kHeader.size());
  std::vector<JournalEntry> entries;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    if (end == std::string_view::npos) return std::nullopt;  // cut short
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end + 1);
    if (line == kEnd.substr(0, kEnd.size() - 1)) {
      if (!text.empty() || entries.empty()) return std::nullopt;
      return entries;
    }
    const size_t tab = line.find('\t');
    if (tab == std::string_view::npos) return std::nullopt;
    JournalEntry e{std::string(line.substr(0, tab)), std::string(line.substr(tab + 1))};
    if (!plain_name(e.name) || !plain_name(e.temporary) || !is_partial_of(e.temporary, e.name)) {
      return std::nullopt;
    }
    entries.push_back(std::move(e));
  }
  return std::nullopt;  // no "end": cut short
}

std::string SetRecovery::message(const std::string& folder) const {
  switch (outcome) {
    case Outcome::kNothing:
      return {};
    case Outcome::kCompleted:
      return "an earlier run was stopped while replacing " + list_names(names) + " in " + folder +
             ": its replacement was completed, so they are one set again";
    case Outcome::kUndone:
      return "an earlier run was stopped before replacing any compiled file in " + folder +
             ": its unfinished files were deleted and the old files kept";
  }
  return {};
}

namespace {

SetRecovery recover(FileSystem& fs, const std::string& folder) {
  SetRecovery recovery;
  const std::optional<std::string> text = read_journal(fs, folder);
  if (!text) return recovery;
  const std::string journal = journal_path(folder);
  const std::optional<std::vector<JournalEntry>> entries = parse_journal(*text);
  if (!entries) {
    // Cut short: written, but never followed by a rename. The temporaries
    // of the files it got to name go with it; the run's clean-up of
    // leftovers takes any others.
    std::string_view rest(*text);
    if (rest.substr(0, kHeader.size()) == kHeader) rest.remove_prefix(kHeader.size());
    while (!rest.empty()) {
      const size_t end = rest.find('\n');
      if (end == std::string_view::npos) break;
      const std::string_view line = rest.substr(0, end);
      rest.remove_prefix(end + 1);
      const size_t tab = line.find('\t');
      if (tab == std::string_view::npos) continue;
      const std::string_view name = line.substr(0, tab), temporary = line.substr(tab + 1);
      if (plain_name(name) && plain_name(temporary) && is_partial_of(temporary, name)) {
        delete_if_there(fs, join_path(folder, temporary));
      }
    }
    fs.delete_file(journal);
    fs.sync_folder(folder);
    recovery.outcome = SetRecovery::Outcome::kUndone;
    return recovery;
  }
  // Whole: every new file was on the storage before the first rename, and
  // a temporary that is gone was renamed.
  for (const JournalEntry& e : *entries) {
    const std::string temporary = join_path(folder, e.temporary);
    if (fs.kind(temporary) == FileKind::kRegular)
      fs.rename_file(temporary, join_path(folder, e.name));
    recovery.names.push_back(e.name);
  }
  fs.sync_folder(folder);
  fs.delete_file(journal);
  fs.sync_folder(folder);
  recovery.outcome = SetRecovery::Outcome::kCompleted;
  return recovery;
}

}  // namespace

SetRecovery recover_interrupted_set(FileSystem& fs, const std::string& folder) {
  try {
    return recover(fs, folder);
  } catch (const RuntimeFailure& f) {
    throw RuntimeFailure(f.number(),
                         "cannot complete the replacement of compiled files that an "
                         "earlier run left in " +
                             folder + " (" + std::string(kSetJournalName) + "): " + f.detail());
  }
}

std::optional<std::vector<std::string>> interrupted_set(FileSystem& fs, const std::string& folder) {
  std::optional<std::string> text;
  try {
    text = read_journal(fs, folder);
  } catch (const RuntimeFailure&) {
    // A journal that cannot be read, or is not a file: nothing shows which
    // files it stood for, so it stands for all of them.
    return std::vector<std::string>{};
  }
  if (!text) return std::nullopt;
  const std::optional<std::vector<JournalEntry>> entries = parse_journal(*text);
  if (!entries) return std::nullopt;
  std::vector<std::string> names;
  for (const JournalEntry& e : *entries) names.push_back(e.name);
  return names;
}

SetReplacementFailure::SetReplacementFailure(const RuntimeFailure& cause,
                                             std::vector<std::string> replaced,
                                             std::vector<std::string> not_replaced)
    : RuntimeFailure(
          cause.number(),
          cause.detail() + "; " + list_names(replaced) + (replaced.size() == 1 ? " was" : " were") +
              " replaced, " +
              (not_replaced.empty()
                   ? std::string("but the replacement was not finished: the next run into this "
                                 "folder finishes it")
                   : list_names(not_replaced) + (not_replaced.size() == 1 ? " was" : " were") +
                         " not: the files are not one set until the next run into this folder "
                         "completes the replacement")),
      replaced_(std::move(replaced)),
      not_replaced_(std::move(not_replaced)) {}

void FileReplacement::commit_as_set() {
  const std::string folder = staged_.empty() ? std::string() : folder_of(staged_.front().path);
  bool one_folder = true;
  for (const Staged& s : staged_)
    one_folder = one_folder && s.durable && folder_of(s.path) == folder;
  if (staged_.size() < 2 || !one_folder) {
    commit();
    return;
  }
  std::vector<JournalEntry> entries;
  for (const Staged& s : staged_) entries.push_back({name_of(s.path), name_of(s.temporary)});
  const std::string journal = journal_path(folder);
  try {
    std::unique_ptr<WritableFile> file = fs_.create_new(journal);
    file->append(journal_text(entries));
    file->sync();
    file->close();
    fs_.sync_folder(folder);
  } catch (const RuntimeFailure&) {
    // No file was renamed: the journal goes, and the temporaries with this
    // object; the old set stays as it was.
    try {
      delete_if_there(fs_, journal);
    } catch (...) {
      // A journal left behind is undone by the next run: nothing follows it.
    }
    throw;
  }
  // From here the journal owns the temporaries: whatever happens (a failed
  // rename, a kill, an interrupt), they are left for the next run to rename,
  // never deleted. A temporary gone is taken as renamed, so nothing may
  // delete one named by the journal, not even an interrupt's clean-up.
  hand_over_temporaries();
  std::vector<Staged> pending = std::move(staged_);
  staged_.clear();
  for (size_t i = 0; i < pending.size(); ++i) {
    try {
      fs_.rename_file(pending[i].temporary, pending[i].path);
    } catch (const RuntimeFailure& f) {
      if (i == 0) {
        // Nothing replaced yet: undone here and now, the old set whole.
        staged_ = std::move(pending);
        try {
          fs_.delete_file(journal);
          fs_.sync_folder(folder);
        } catch (...) {
          // Left behind: the next run undoes it (its temporaries are gone).
        }
        throw;
      }
      std::vector<std::string> replaced, not_replaced;
      for (size_t j = 0; j < pending.size(); ++j) {
        (j < i ? replaced : not_replaced).push_back(name_of(pending[j].path));
      }
      throw SetReplacementFailure(f, std::move(replaced), std::move(not_replaced));
    }
  }
  try {
    fs_.sync_folder(folder);
    fs_.delete_file(journal);
    fs_.sync_folder(folder);
  } catch (const RuntimeFailure& f) {
    // Every file is replaced, but not yet known to be durable, or the
    // journal is still there: the next run finishes it.
    std::vector<std::string> replaced;
    for (const Staged& s : pending) replaced.push_back(name_of(s.path));
    throw SetReplacementFailure(f, std::move(replaced), {});
  }
}

}  // namespace platform
