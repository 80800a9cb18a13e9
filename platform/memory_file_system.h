// A file system held in memory, for tests and fuzzing: the same contract as
// the machine's (platform/file_system.h), no storage touched, nothing left
// behind. Safe to share between threads.
//
// Folders exist only once created (create_folders or add_folder), except
// the roots "", "." and "/". Links and pipes can be planted with add_link
// and add_other, to see that nothing is written through them.
#ifndef SCENARIO_PLATFORM_MEMORY_FILE_SYSTEM_H_
#define SCENARIO_PLATFORM_MEMORY_FILE_SYSTEM_H_

#include <map>
#include <mutex>
#include <set>
#include <string>

#include "platform/file_system.h"

namespace platform {

class MemoryFileSystem : public FileSystem {
 public:
  MemoryFileSystem() = default;
  MemoryFileSystem(const MemoryFileSystem&) = delete;
  MemoryFileSystem& operator=(const MemoryFileSystem&) = delete;

  // Test set-up and inspection. add_file creates missing folders above.
  void add_file(const std::string& path, std::string bytes);
  void add_folder(const std::string& path) { create_folders(path); }
  void add_link(const std::string& path);
  void add_other(const std::string& path);
  // Every regular file, by path.
  std::map<std::string, std::string> files() const;
  // The file's bytes; empty when there is none.
  std::string contents(const std::string& path) const;
  // The file's bytes moved out, without a copy, leaving the file empty;
  // empty when there is none.
  std::string take(const std::string& path);

  FileKind kind(const std::string& path) override;
  uint64_t file_size(const std::string& path) override;
  std::string read_file(const std::string& path, uint64_t limit) override;
  std::unique_ptr<WritableFile> create_new(const std::string& path) override;
  void rename_file(const std::string& from, const std::string& to) override;
  void delete_file(const std::string& path) override;
  void sync_folder(const std::string&) override {}
  void create_folders(const std::string& folder) override;
  void delete_folder(const std::string& folder) override;
  std::vector<std::string> list_folder(const std::string& folder) override;
  std::unique_ptr<FolderLock> lock_folder(const std::string& folder,
                                          std::chrono::milliseconds wait) override;

 private:
  class File;
  class Lock;
  struct Entry {
    FileKind kind = FileKind::kRegular;
    std::string bytes;
  };

  // REQUIRES: mutex_ held.
  bool folder_exists(const std::string& folder) const;
  const Entry& regular(const std::string& path) const;

  mutable std::mutex mutex_;
  std::map<std::string, Entry> entries_;
  std::set<std::string> locked_;
};

}  // namespace platform

#endif  // SCENARIO_PLATFORM_MEMORY_FILE_SYSTEM_H_
