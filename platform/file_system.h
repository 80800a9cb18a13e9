// The file system as the program sees it: the one seam through which every
// file of the compiler and of the authoring tool is read, written, renamed
// and deleted.
//
// Implementations:
//   real_file_system()        the machine's own (POSIX or Win32, chosen by
//                             the build), the one the programs run on;
//   MemoryFileSystem          files held in memory, for tests and fuzzing
//                             (platform/memory_file_system.h);
//   FaultInjectingFileSystem  a wrapper that fails a chosen operation, or
//                             stops dead there as a killed process would
//                             (platform/fault_injecting_file_system.h).
//
// Paths are byte strings in Windows-1252, joined with path_separator(). No
// operation follows a symbolic link at the last component of its path: a
// link is a kLink, never the file it points to.
//
// Every failure throws RuntimeFailure with a number of
// platform/runtime_failure.h and the path with the system's reason
// ("no space left on device", "permission denied").
#ifndef SCENARIO_PLATFORM_FILE_SYSTEM_H_
#define SCENARIO_PLATFORM_FILE_SYSTEM_H_

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// What a name stands for, looked at without following a link.
enum class FileKind {
  kMissing,
  kRegular,
  kFolder,
  kLink,   // a symbolic link (or a Windows reparse point)
  kOther,  // a pipe, a device, a socket
};

// A file being written, created new by FileSystem::create_new. Bytes go out
// in order; nothing is promised to be on the storage before sync().
class WritableFile {
 public:
  virtual ~WritableFile() = default;  // closes, quietly, if close() was not called

  virtual void append(std::string_view bytes) = 0;
  // Makes everything appended so far durable: after sync() returns, a crash
  // or a kill cannot take those bytes back.
  virtual void sync() = 0;
  // Closes the file, reporting a failure to write what was buffered.
  virtual void close() = 0;
};

// An advisory lock on a folder, held until the object goes. Another process
// that asks for the same folder's lock waits; nothing else is kept out.
class FolderLock {
 public:
  virtual ~FolderLock() = default;
};

class InterruptCleanup;  // platform/interrupt_cleanup.h

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  virtual FileKind kind(const std::string& path) = 0;

  // The size in bytes of a regular file; throws for anything else.
  virtual uint64_t file_size(const std::string& path) = 0;

  // The whole content of a regular file. Refuses (kPathFileAccess, "is not
  // a regular file") anything else, a link included, and (kFileTooLarge) a
  // file of more than `limit` bytes before reading it.
  virtual std::string read_file(const std::string& path, uint64_t limit) = 0;

  // Creates `path` as a new, empty file for writing. Fails when anything at
  // all already has that name: it never opens an existing file or a link.
  virtual std::unique_ptr<WritableFile> create_new(const std::string& path) = 0;

  // Renames `from` to `to` in one step, replacing a file already named `to`.
  // Both lie in the same folder.
  virtual void rename_file(const std::string& from, const std::string& to) = 0;

  virtual void delete_file(const std::string& path) = 0;

  // Makes the folder's entries durable: a rename or create in it done before
  // survives a crash. A no-op where the system has no such step.
  virtual void sync_folder(const std::string& folder) = 0;

  // Creates the folder and any missing folder above it.
  virtual void create_folders(const std::string& folder) = 0;

  // Deletes an empty folder.
  virtual void delete_folder(const std::string& folder) = 0;

  // The names (without folder) of the entries of a folder, in no order.
  virtual std::vector<std::string> list_folder(const std::string& folder) = 0;

  // Takes the folder's advisory lock, waiting up to `wait` for another
  // holder to let it go. Throws RuntimeFailure(kFolderBusy) after that.
  virtual std::unique_ptr<FolderLock> lock_folder(const std::string& folder,
                                                  std::chrono::milliseconds wait) = 0;

  // How an interrupt removes the temporaries of replacements in progress
  // here; nullptr where files end with the process or belong to a test.
  virtual InterruptCleanup* interrupt_cleanup() { return nullptr; }
};

// The machine's own file system. It lives for the whole process.
FileSystem& real_file_system();

// The failures every implementation reports in the same words.
class RuntimeFailure;
RuntimeFailure not_regular_failure(const std::string& path, FileKind kind);
RuntimeFailure too_large_failure(const std::string& path, uint64_t size, uint64_t limit);
RuntimeFailure folder_busy_failure(const std::string& folder, std::chrono::milliseconds wait);

}  // namespace platform

#endif  // SCENARIO_PLATFORM_FILE_SYSTEM_H_
