// The file steps of the compiler and of the tool, on whole files, over any
// file system (platform/file_system.h).
//
// Every file the programs write is replaced, never rewritten in place: its
// bytes go to a new temporary file beside it (".<name>.partial-<tag>", the
// name cut to its first 218 bytes so that the temporary's stays within 255),
// which is flushed to the storage, closed and then renamed over the old
// file. Whatever stops the program (a failure, a full disk, a kill), the
// file under its own name is the old one or the new one, whole, never a
// part of either. A name that is not a regular file (a link, a folder, a
// pipe) is never written through: the replacement is refused.
//
// Every failure throws RuntimeFailure with the file's name and the reason.
#ifndef SCENARIO_PLATFORM_FILES_H_
#define SCENARIO_PLATFORM_FILES_H_

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace platform {

// The largest description file the readers take: far above any real one
// (the largest scenario the compiler takes is described in under 200 KB).
inline constexpr uint64_t kMaxDescriptionBytes = uint64_t{16} << 20;

// The folder that holds the running executable, without a final separator.
std::string app_folder();

// The platform's folder separator: "\" on Windows, "/" elsewhere.
char path_separator();

// `folder`, the separator, `name`; no check for a separator already there.
std::string join_path(std::string_view folder, std::string_view name);

// The folder part of `path` (up to its last "/" or "\"), "." when it has none.
std::string folder_of(std::string_view path);

// Whether a regular file of this name exists (the directory lookup of the
// compiler). A link, a folder or a pipe is not one.
bool file_exists(FileSystem& fs, const std::string& path);

// Reads a whole file of any size.
std::string read_file(FileSystem& fs, const std::string& path);

// Whether a description file is there to be read (file_exists). A failure
// to look (the storage failing) throws FileReadFailure.
bool description_exists(FileSystem& fs, const std::string& path);

// Reads a whole description file: refused past kMaxDescriptionBytes. Every
// failure (a missing file, the storage failing, the limit) throws
// FileReadFailure.
std::string read_description_file(FileSystem& fs, const std::string& path);

// Receives the parts of a file being written, in order.
using PartSink = std::function<void(std::string_view)>;
using PartWriter = std::function<void(const PartSink&)>;

// Replaces one file or a set of files so that none is ever seen part-written.
//
// stage() writes a file's new bytes to its temporary, synced and closed;
// commit() then renames every staged file over its own name, in the order
// staged, and makes the renames durable. Staging everything first means
// that a failure while writing any file of the set leaves every old file as
// it was; only a kill between two renames can leave old and new files side
// by side. Temporaries not committed are deleted when the object goes; on
// the machine's file system an interrupt deletes them too before the process
// ends (platform/interrupt_cleanup.h).
class FileReplacement {
 public:
  explicit FileReplacement(FileSystem& fs) : fs_(fs) {}
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;
  ~FileReplacement();

  // `write_parts` is called once with a sink that writes each part as it
  // comes, so a large file never has to be held whole in memory.
  void stage(const std::string& path, const PartWriter& write_parts);
  void stage(const std::string& path, std::string_view bytes);
  // A file this same run reads back and deletes: replaced the same way, so
  // that nothing ever reads it part-written, but neither flushed to the
  // storage nor a reason to sync its folder. After a crash it may be short
  // or missing; the next run writes it again.
  void stage_transient(const std::string& path, std::string_view bytes);
  // Renames, then syncs each folder that received a durable file once.
  void commit();
  // Renames the staged files as one set, through a journal beside them, so
  // that a kill, a failed rename or a power cut leaves a set that the next
  // run completes (platform/set_journal.h). For files of one folder, all
  // durable; anything else is committed as commit() does. A rename that
  // fails after others throws SetReplacementFailure.
  void commit_as_set();

 private:
  struct Staged {
    std::string path;
    std::string temporary;
    bool durable = true;
    int noted = -1;  // its slot in the interrupt's table, -1 when not noted
  };
  void stage(const std::string& path, const PartWriter& write_parts, bool durable);
  // Takes the staged temporaries off the interrupt's table: from then on a
  // journal names them, and only the next run may rename or delete them.
  void hand_over_temporaries();
  FileSystem& fs_;
  std::vector<Staged> staged_;
};

// One file replaced on its own.
void replace_file(FileSystem& fs, const std::string& path, std::string_view bytes);
void replace_file_by_parts(FileSystem& fs, const std::string& path, const PartWriter& write_parts);
// One file replaced on its own that this run deletes (see stage_transient).
void replace_transient_file(FileSystem& fs, const std::string& path, std::string_view bytes);

// Whether `name` is the temporary of a replacement of `target` (both without
// folder), as a killed run can leave behind.
bool is_partial_of(std::string_view name, std::string_view target);

// Deletes the temporaries that killed runs left in `folder` for the given
// file names. Call it only while holding the folder's lock: then no live
// run is writing them.
void remove_stale_partials(FileSystem& fs, const std::string& folder,
                           std::span<const std::string> targets);

}  // namespace platform

#endif  // SCENARIO_PLATFORM_FILES_H_
