// A file system that passes every operation to another one. A wrapper that
// changes a few operations derives from it and overrides only those.
#ifndef SCENARIO_PLATFORM_FORWARDING_FILE_SYSTEM_H_
#define SCENARIO_PLATFORM_FORWARDING_FILE_SYSTEM_H_

#include "platform/file_system.h"

namespace platform {

class ForwardingFileSystem : public FileSystem {
 public:
  explicit ForwardingFileSystem(FileSystem& base) : base_(base) {}

  FileKind kind(const std::string& path) override { return base_.kind(path); }
  uint64_t file_size(const std::string& path) override { return base_.file_size(path); }
  std::string read_file(const std::string& path, uint64_t limit) override {
    return base_.read_file(path, limit);
  }
  std::unique_ptr<WritableFile> create_new(const std::string& path) override {
    return base_.create_new(path);
  }
  void rename_file(const std::string& from, const std::string& to) override {
    base_.rename_file(from, to);
  }
  void delete_file(const std::string& path) override { base_.delete_file(path); }
  void sync_folder(const std::string& folder) override { base_.sync_folder(folder); }
  void create_folders(const std::string& folder) override { base_.create_folders(folder); }
  void delete_folder(const std::string& folder) override { base_.delete_folder(folder); }
  std::vector<std::string> list_folder(const std::string& folder) override {
    return base_.list_folder(folder);
  }
  std::unique_ptr<FolderLock> lock_folder(const std::string& folder,
                                          std::chrono::milliseconds wait) override {
    return base_.lock_folder(folder, wait);
  }
  InterruptCleanup* interrupt_cleanup() override { return base_.interrupt_cleanup(); }

 protected:
  FileSystem& base() { return base_; }

 private:
  FileSystem& base_;
};

}  // namespace platform

#endif  // SCENARIO_PLATFORM_FORWARDING_FILE_SYSTEM_H_
