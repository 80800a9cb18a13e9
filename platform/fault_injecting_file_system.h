// A file system that passes every operation to another one, except the one
// chosen to go wrong: the Nth open, read, write, sync, close, rename or
// delete either fails (RuntimeFailure, as a full disk or a broken device
// would) or stops dead, as if the process had been killed right there.
//
// After a stop nothing more reaches the wrapped file system: every further
// operation, the clean-up of destructors included, throws SimulatedKill and
// changes nothing. What the wrapped file system then holds is what a killed
// run would have left on the disk.
//
// lose_power() goes one step further and leaves in the wrapped file system
// what a power cut would: the bytes of a file that were never synced are
// gone, and a create, rename or delete is undone unless its folder was
// synced after it. Files that were there before the wrapper saw them count
// as durable. Used by the tests of every failure path
// (tools/compile/compile_safety_test.cc, platform/files_test.cc).
#ifndef SCENARIO_PLATFORM_FAULT_INJECTING_FILE_SYSTEM_H_
#define SCENARIO_PLATFORM_FAULT_INJECTING_FILE_SYSTEM_H_

#include <array>
#include <exception>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/forwarding_file_system.h"
#include "platform/runtime_failure.h"

namespace platform {

// Thrown at and after a simulated kill; nothing in the program catches it.
class SimulatedKill : public std::exception {
 public:
  const char* what() const noexcept override { return "simulated kill"; }
};

class FaultInjectingFileSystem : public ForwardingFileSystem {
 public:
  enum class Operation { kOpen, kRead, kWrite, kSync, kClose, kRename, kDelete };
  static constexpr int kOperations = 7;
  enum class Fault { kFail, kStop };

  explicit FaultInjectingFileSystem(FileSystem& base) : ForwardingFileSystem(base) {}

  // Makes the `nth` (from 1) operation of this kind, counted from now, go
  // wrong; a failure carries `number` and the reason "injected fault".
  void inject(Operation op, int nth, Fault fault, int number = kDeviceIO);
  // How many operations of this kind have been made. A file's sync and a
  // folder's sync are both kSync; folder_syncs() counts the second alone.
  int count(Operation op) const { return counts_[static_cast<int>(op)]; }
  int folder_syncs() const { return folder_syncs_; }
  bool stopped() const { return stopped_; }

  // Cuts the power: stops the run as a kill would, then rewrites the wrapped
  // file system to what the storage would hold after a restart.
  void lose_power();

  FileKind kind(const std::string& path) override;
  uint64_t file_size(const std::string& path) override;
  std::string read_file(const std::string& path, uint64_t limit) override;
  std::unique_ptr<WritableFile> create_new(const std::string& path) override;
  void rename_file(const std::string& from, const std::string& to) override;
  void delete_file(const std::string& path) override;
  void sync_folder(const std::string& folder) override;
  void create_folders(const std::string& folder) override;
  void delete_folder(const std::string& folder) override;
  std::vector<std::string> list_folder(const std::string& folder) override;
  std::unique_ptr<FolderLock> lock_folder(const std::string& folder,
                                          std::chrono::milliseconds wait) override;
  // None: the files are a test's, and a temporary the interrupt handler
  // removed behind this layer's back would not be in its record of them.
  InterruptCleanup* interrupt_cleanup() override { return nullptr; }

 private:
  class File;
  // A file's content as written, and how much of it is on the storage.
  struct Content {
    std::string bytes;
    size_t synced = 0;
  };
  using ContentRef = std::shared_ptr<Content>;
  // A change to a folder's entries, undone at a power cut unless the folder
  // was synced after it: `name` held `before` (null: nothing) and `from`,
  // when not empty, held what `name` holds now.
  struct Change {
    std::string folder;
    std::string name;
    ContentRef before;
    std::string from;
  };

  // Counts the operation and goes wrong when it is the chosen one.
  void step(Operation op, const std::string& path);
  void alive() const;
  // What `path` holds now, as tracked; an untracked regular file is read
  // from the wrapped file system and taken as durable.
  ContentRef content_of(const std::string& path);

  std::array<int, kOperations> counts_{};
  int folder_syncs_ = 0;
  Operation fault_op_ = Operation::kOpen;
  int fault_at_ = 0;  // 0: no fault chosen
  Fault fault_ = Fault::kFail;
  int fault_number_ = kDeviceIO;
  bool stopped_ = false;

  std::map<std::string, ContentRef> names_;  // tracked names; null: missing
  std::vector<Change> unsynced_changes_;
};

}  // namespace platform

#endif  // SCENARIO_PLATFORM_FAULT_INJECTING_FILE_SYSTEM_H_
