// A file system that passes every operation to another one, except the one
// chosen to go wrong: the Nth open, read, write, sync, close, rename or
// delete either fails (RuntimeFailure, as a full disk or a broken device
// would) or stops dead, as if the process had been killed right there.
//
// After a stop nothing more reaches the wrapped file system: every further
// operation, the clean-up of destructors included, throws SimulatedKill and
// changes nothing. What the wrapped file system then holds is what a killed
// run would have left on the disk. Used by the tests of every failure path
// (see tools/compile/compile_safety_test.cc).
#ifndef SCENARIO_PLATFORM_FAULT_INJECTING_FILE_SYSTEM_H_
#define SCENARIO_PLATFORM_FAULT_INJECTING_FILE_SYSTEM_H_

#include <array>
#include <atomic>
#include <exception>
#include <string>

#include "platform/file_system.h"
#include "platform/runtime_failure.h"

namespace platform {

// Thrown at and after a simulated kill; nothing in the program catches it.
class SimulatedKill : public std::exception {
 public:
  const char* what() const noexcept override { return "simulated kill"; }
};

class FaultInjectingFileSystem : public FileSystem {
 public:
  enum class Operation { kOpen, kRead, kWrite, kSync, kClose, kRename, kDelete };
  static constexpr int kOperations = 7;
  enum class Fault { kFail, kStop };

  explicit FaultInjectingFileSystem(FileSystem& base) : base_(base) {}

  // Makes the `nth` (from 1) operation of this kind, counted from now, go
  // wrong; a failure carries `number` and the reason "injected fault".
  void inject(Operation op, int nth, Fault fault, int number = kDeviceIO);
  // How many operations of this kind have been made.
  int count(Operation op) const { return counts_[static_cast<int>(op)]; }
  bool stopped() const { return stopped_; }

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

 private:
  class File;
  // Counts the operation and goes wrong when it is the chosen one.
  void step(Operation op, const std::string& path);
  void alive() const;

  FileSystem& base_;
  std::array<int, kOperations> counts_{};
  Operation fault_op_ = Operation::kOpen;
  int fault_at_ = 0;  // 0: no fault chosen
  Fault fault_ = Fault::kFail;
  int fault_number_ = kDeviceIO;
  bool stopped_ = false;
};

}  // namespace platform

#endif  // SCENARIO_PLATFORM_FAULT_INJECTING_FILE_SYSTEM_H_
